#ifndef QAVSysCheckFailure_H
#define QAVSysCheckFailure_H

#include "QAVPlatformExport.h"

#include <cstdint>

// A failed internal check. It does not stop the process: it is counted and remembered, so that the
// caller can go on to its return, and a test or a debugger can see it.
QAV_PLATFORM_API void QAVSysCheckFailure(const char* iExpression, const char* iText1, const char* iText2,
                                         const char* iText3, const char* iFile, std::int32_t iLine);

// Number of failed checks since the process started, and the last one.
QAV_PLATFORM_API std::int32_t QAVSysCheckFailureCount();
QAV_PLATFORM_API const char* QAVSysLastCheckExpression();
QAV_PLATFORM_API std::int32_t QAVSysLastCheckLine();

#endif

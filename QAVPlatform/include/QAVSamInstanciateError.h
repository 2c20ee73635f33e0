#ifndef QAVSamInstanciateError_H
#define QAVSamInstanciateError_H

#include "QAVPlatformExport.h"

#include <cstdint>

// Receives each handed-over error. Installed by an application that wants errors printed.
typedef void (*QAVSamErrorSink)(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine);

// Keeps the error in the process-wide record and passes it to the installed sink, if any. The same
// report handed over again by the callers of the failing operation reaches the sink only once.
// iFlag is accepted for the callers' sake and not used.
QAV_PLATFORM_API void QAVSamInstanciateError(std::int32_t& ioKind, std::int32_t iDepth, const char* iFile,
                                             std::int32_t iLine, const char* iIncFile, std::int32_t iIncLine,
                                             const char* iText, std::int32_t iTextNumber, std::int32_t iFlag);

// Installs a sink (null: errors are only kept) and returns the previous one.
QAV_PLATFORM_API QAVSamErrorSink QAVSamSetErrorSink(QAVSamErrorSink iSink);

// A sink that prints one line per error on standard error.
QAV_PLATFORM_API void QAVSamPrintError(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine);

#endif

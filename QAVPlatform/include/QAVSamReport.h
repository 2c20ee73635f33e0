#ifndef QAVSamReport_H
#define QAVSamReport_H

#include "QAVHResult.h"
#include "QAVPlatformExport.h"

#include <cstdint>

// Error kinds of the record.
enum QAVSamErrorKind : std::int32_t
{
  QAVSamKindFailed = 1, // a computation failed; the text is empty
  QAVSamKindNull = 3    // a value was null; the text is the checked expression
};

// Reporting a failure is one line at the failing site. The reporting operation holds an
// ErrorDepthHandler for its whole body (see ErrorDepthHandler.h); each site then reads
//
//     static const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/MyClass";
//     ErrorDepthHandler depth;
//     if (!ipX)
//       return QAVSamReport(QAVSamKindNull, "ipX", kErrFile, 71);           // E_FAIL
//     if (failed)
//       return QAVSamReport(QAVSamKindFailed, "", kErrFile, 82, 1.0e10);    // the value named
//     if (step failed)
//       return QAVSamReportUnlessPending(kErrFile, 247);                    // keeps a callee's report
//
// QAVSamReport fills the record (kind, text, message number -1, file, line) and hands it to
// QAVSamInstanciateError; it returns E_FAIL, or the value given as last argument.
QAV_PLATFORM_API HRESULT QAVSamReport(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine);

template <class T>
T QAVSamReport(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine, T iResult)
{
  QAVSamReport(iKind, iText, iFile, iLine);
  return iResult;
}

// Kind 1 at iLine unless an error is already pending (then the pending report stays); either way
// the record is handed over. Returns E_FAIL, or the value given as last argument.
QAV_PLATFORM_API HRESULT QAVSamReportUnlessPending(const char* iFile, std::int32_t iLine);

template <class T>
T QAVSamReportUnlessPending(const char* iFile, std::int32_t iLine, T iResult)
{
  QAVSamReportUnlessPending(iFile, iLine);
  return iResult;
}

// Fill the record without handing it over, for an operation whose end-of-operation block hands it
// over (see QAVSamEndBlockGuard.h). The second keeps a pending report.
QAV_PLATFORM_API void QAVSamSetError(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine);
QAV_PLATFORM_API void QAVSamSetErrorUnlessPending(const char* iFile, std::int32_t iLine);

// Hands the record, as it stands, to QAVSamInstanciateError (the failure tail of an operation
// whose failing step filled the record).
QAV_PLATFORM_API void QAVSamHandOverRecord();

#endif

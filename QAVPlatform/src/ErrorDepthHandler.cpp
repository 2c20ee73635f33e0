#include "ErrorDepthHandler.h"
#include "QAVSamInstanciateError.h"
#include "QAVSamReport.h"

#include <cstring>
#include <iostream>

std::int32_t ErrorDepthHandler::_ier_ = 0;
std::string ErrorDepthHandler::_c_err_;
std::int32_t ErrorDepthHandler::_i_err_ = 0;
std::string ErrorDepthHandler::_errfile_;
std::int32_t ErrorDepthHandler::_i_errline_ = 0;
std::string ErrorDepthHandler::_errincfile_;
std::int32_t ErrorDepthHandler::_i_errincline_ = 0;
std::int32_t ErrorDepthHandler::_SamDepth_ = 0;
unsigned char ErrorDepthHandler::_MustJump_ = 0;

namespace
{
QAVSamErrorSink sSink = nullptr;
// Each filling of the record gets a new serial; a report reaches the sink once, however many
// callers hand it over.
std::uint64_t sRecordSerial = 0;
std::uint64_t sSunkSerial = 0;

const char* OrEmpty(const char* iText)
{
  return iText ? iText : "";
}

void AssignIfOther(std::string& ioField, const char* iText)
{
  if (iText != ioField.c_str())
    ioField = OrEmpty(iText);
}
} // namespace

ErrorDepthHandler::ErrorDepthHandler()
{
  if (_SamDepth_ == 0)
    ClearRecord();
  ++_SamDepth_;
}

ErrorDepthHandler::~ErrorDepthHandler()
{
  if (_SamDepth_ > 0)
    --_SamDepth_;
}

bool ErrorDepthHandler::IsErrorPending()
{
  return _ier_ != 0;
}

void ErrorDepthHandler::ClearRecord()
{
  _ier_ = 0;
  _c_err_.clear();
  _i_err_ = 0;
  _errfile_.clear();
  _i_errline_ = 0;
}

void QAVSamInstanciateError(std::int32_t& ioKind, std::int32_t, const char* iFile, std::int32_t iLine, const char*,
                            std::int32_t, const char* iText, std::int32_t iTextNumber, std::int32_t)
{
  typedef ErrorDepthHandler R;
  const bool same = ioKind == R::_ier_ && iLine == R::_i_errline_ && iTextNumber == R::_i_err_ &&
    R::_errfile_ == OrEmpty(iFile) && R::_c_err_ == OrEmpty(iText);
  if (!same)
  {
    R::_ier_ = ioKind;
    AssignIfOther(R::_c_err_, iText);
    R::_i_err_ = iTextNumber;
    AssignIfOther(R::_errfile_, iFile);
    R::_i_errline_ = iLine;
    ++sRecordSerial;
  }
  if (R::_ier_ == 0 || sSunkSerial == sRecordSerial)
    return;
  sSunkSerial = sRecordSerial;
  if (sSink)
    sSink(R::_ier_, R::_c_err_.c_str(), R::_errfile_.c_str(), R::_i_errline_);
}

QAVSamErrorSink QAVSamSetErrorSink(QAVSamErrorSink iSink)
{
  const QAVSamErrorSink previous = sSink;
  sSink = iSink;
  return previous;
}

void QAVSamPrintError(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine)
{
  std::cerr << "error: " << OrEmpty(iFile) << ':' << iLine << ": ";
  if (iKind == QAVSamKindNull)
    std::cerr << "null value '" << OrEmpty(iText) << "'\n";
  else if (iText && *iText)
    std::cerr << "computation failed: " << iText << '\n';
  else
    std::cerr << "computation failed\n";
}

void QAVSamHandOverRecord()
{
  typedef ErrorDepthHandler R;
  QAVSamInstanciateError(R::_ier_, R::_SamDepth_, R::_errfile_.c_str(), R::_i_errline_, R::_errincfile_.c_str(),
                         R::_i_errincline_, R::_c_err_.c_str(), R::_i_err_, 1);
}

void QAVSamSetError(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine)
{
  typedef ErrorDepthHandler R;
  R::_ier_ = iKind;
  R::_c_err_ = OrEmpty(iText);
  R::_i_err_ = -1;
  R::_errfile_ = OrEmpty(iFile);
  R::_i_errline_ = iLine;
  ++sRecordSerial;
}

void QAVSamSetErrorUnlessPending(const char* iFile, std::int32_t iLine)
{
  if (!ErrorDepthHandler::IsErrorPending())
    QAVSamSetError(QAVSamKindFailed, "", iFile, iLine);
}

HRESULT QAVSamReport(std::int32_t iKind, const char* iText, const char* iFile, std::int32_t iLine)
{
  QAVSamSetError(iKind, iText, iFile, iLine);
  QAVSamHandOverRecord();
  return E_FAIL;
}

HRESULT QAVSamReportUnlessPending(const char* iFile, std::int32_t iLine)
{
  QAVSamSetErrorUnlessPending(iFile, iLine);
  QAVSamHandOverRecord();
  return E_FAIL;
}

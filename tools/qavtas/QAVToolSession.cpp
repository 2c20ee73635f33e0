#include "QAVToolSession.h"

#include "ErrorDepthHandler.h"
#include "QAVToolOutput.h"

#include <iostream>

QAVToolSession::QAVToolSession(const std::string& iCommand, const QAVToolCli::Common& iCommon)
  : _Command("qavtas " + iCommand), _Common(iCommon),
    _Progress(QAVToolProgress::Choose(iCommon.quiet || iCommon.json, iCommon.progress)),
    _SavedSink(QAVSamSetErrorSink(iCommon.debug ? QAVSamPrintError : nullptr))
{
  if (iCommon.quiet || iCommon.json)
    _Silence.emplace();
}

QAVToolSession::~QAVToolSession()
{
  Speak();
  QAVSamSetErrorSink(_SavedSink);
}

void QAVToolSession::Speak()
{
  _Progress.Finish();
  _Silence.reset();
}

int QAVToolSession::Fail(QAVToolExit::Status iStatus, const std::string& iMessage) const
{
  std::cerr << _Command << ": " << iMessage << '\n';
  return iStatus;
}

std::string QAVToolSession::Detail() const
{
  if (!_Common.debug || ErrorDepthHandler::_errfile_.empty())
    return "";
  return " (" + ErrorDepthHandler::_errfile_ + ", line " + std::to_string(ErrorDepthHandler::_i_errline_) + ")";
}

double QAVToolSession::Seconds() const
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - _Start).count();
}

int QAVToolSession::Write(const std::string& iPath, const std::string& iText) const
{
  std::string error;
  if (QAVToolWriteOutput(iPath, iText, error))
    return QAVToolExit::Answered;
  return Fail(QAVToolExit::DataError, "cannot write " + error);
}

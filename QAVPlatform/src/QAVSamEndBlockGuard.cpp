#include "QAVSamEndBlockGuard.h"
#include "ErrorDepthHandler.h"
#include "QAVSamReport.h"
#include "QAVSysCheckFailure.h"
#include "QAVTrace.h"

namespace
{
void TraceLoop(QAVSamEndBlock iBlock)
{
  Tra_SAMTraceExpli.TraPutLN("**************************************************************");
  Tra_SAMTraceExpli.TraPutLN("* WARNING : Programming Error in Error Management            *");
  Tra_SAMTraceExpli.TraPutLN(iBlock == QAVSamEndBlock::EndError
                               ? "*   Cpu loop. Do not use error macro in QAVSamEndError_      *"
                               : "*   Cpu loop. Do not use error macro in QAVSamReturnE_FAIL_  *");
  Tra_SAMTraceExpli.TraPutLN("**************************************************************");
}
} // namespace

QAVSamEndBlockGuard::QAVSamEndBlockGuard(std::int32_t& ioCounter, QAVSamEndBlock iBlock, const char* iFile,
                                         std::int32_t iLine)
  : _Counter(ioCounter)
{
  if (_Counter++ == 0)
    ErrorDepthHandler::_MustJump_ = 0;
  else
  {
    TraceLoop(iBlock);
    QAVSysCheckFailure("ExpressionCheck:InfiniteLoopDetected == 0", nullptr, nullptr, nullptr, iFile, iLine);
    _Counter = 0;
    ErrorDepthHandler::_MustJump_ = 1;
  }
  QAVSamHandOverRecord();
}

QAVSamEndBlockGuard::~QAVSamEndBlockGuard()
{
  if (_Counter > 0)
    --_Counter;
}

bool QAVSamEndBlockGuard::MustJump() const
{
  return ErrorDepthHandler::_MustJump_ != 0;
}

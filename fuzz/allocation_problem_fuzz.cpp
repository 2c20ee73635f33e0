// libFuzzer target: an allocation problem built in memory, then the solver, the selector and the
// yield estimator on it.
#include "QAVToolFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* ipData, std::size_t iSize)
{
  return QAVToolFuzzAllocationProblem(ipData, iSize);
}

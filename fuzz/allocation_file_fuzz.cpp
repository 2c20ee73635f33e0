// libFuzzer target: an allocation problem file, then the solver on what was read.
#include "QAVToolFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* ipData, std::size_t iSize)
{
  return QAVToolFuzzAllocationFile(ipData, iSize);
}

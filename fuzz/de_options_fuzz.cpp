// libFuzzer target: 'qavtas de' options, one argument per line.
#include "QAVToolFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* ipData, std::size_t iSize)
{
  return QAVToolFuzzDeOptions(ipData, iSize);
}

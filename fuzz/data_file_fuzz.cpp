// libFuzzer target: a tolerancing data file.
#include "QAVToolFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* ipData, std::size_t iSize)
{
  return QAVToolFuzzDataFile(ipData, iSize);
}

// libFuzzer target: a point file of 'qavtas ellipse'.
#include "QAVToolFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* ipData, std::size_t iSize)
{
  return QAVToolFuzzPointFile(ipData, iSize);
}

// Cost per trial of the integer engine's generation against the same loop written bare.
#include "QAVBenchRatio.h"
#include "QAVMathIntGAOptimizer.h"

namespace
{
constexpr std::int32_t kLow = -1000;
constexpr std::int32_t kHigh = 1000;

std::int32_t Saturate(double v)
{
  if (v >= 2147483647.0)
    return INT32_MAX;
  return v > -2147483648.0 ? static_cast<std::int32_t>(v) : INT32_MIN;
}

struct IntFormula
{
  static std::int32_t Random(double u, std::int32_t lo, std::int32_t hi)
  {
    return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(std::floor(u * double(std::int64_t{hi} - lo))));
  }
  template <int Kind>
  static std::int32_t At(double f, std::int64_t b, std::int64_t t, std::int64_t x1, std::int64_t x2, std::int64_t x3,
                         std::int64_t x4, std::int64_t x5)
  {
    if (Kind == 0)
      return Saturate(b + std::floor(f * double(x2 - x3)));
    if (Kind == 1)
      return Saturate(x1 + std::floor(f * double(x2 - x3)));
    if (Kind == 2)
      return Saturate(t + std::floor(f * double(b - t) + f * double(x1 - x2)));
    if (Kind == 3)
      return Saturate(b + std::floor(f * double(x1 + x2 - x3 - x4)));
    return Saturate(x5 + std::floor(f * double(x1 + x2 - x3 - x4)));
  }
};
} // namespace

int main(int argc, char** argv)
{
  return QAVRunRatioBenchmarks(
    argc, argv, "integer engine",
    [](int d, int process)
    {
      return std::unique_ptr<QAVBenchRunner>(
        new QAVEngineRunner<QAVMathIntGAOptimizer, std::int32_t>(d, process, kLow, kHigh));
    },
    [](int d, int process) { return QAVMakeBare<std::int32_t, IntFormula>(d, process, kLow, kHigh); });
}

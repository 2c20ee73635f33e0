// Cost per trial of the real engine's generation against the same loop written bare.
#include "QAVBenchRatio.h"
#include "QAVTasGAOptimizer.h"

namespace
{
constexpr double kLow = -1000.0;
constexpr double kHigh = 1000.0;

struct RealFormula
{
  static double Random(double u, double lo, double hi) { return lo + u * (hi - lo); }
  template <int Kind>
  static double At(double f, double b, double t, double x1, double x2, double x3, double x4, double x5)
  {
    if (Kind == 0)
      return b + f * (x2 - x3);
    if (Kind == 1)
      return x1 + f * (x2 - x3);
    if (Kind == 2)
      return (t + f * (b - t)) + f * (x1 - x2);
    if (Kind == 3)
      return b + f * (((x1 + x2) - x3) - x4);
    return x5 + f * (((x1 + x2) - x3) - x4);
  }
};
} // namespace

int main(int argc, char** argv)
{
  auto makeEngine = [](int d, int process)
  {
    QAVBenchSilence quiet;
    return std::unique_ptr<QAVBenchRunner>(new QAVEngineRunner<QAVTasGAOptimizer, double>(d, process, kLow, kHigh));
  };
  return QAVRunRatioBenchmarks(argc, argv, "real engine", makeEngine,
                               [](int d, int process)
                               { return QAVMakeBare<double, RealFormula>(d, process, kLow, kHigh); });
}

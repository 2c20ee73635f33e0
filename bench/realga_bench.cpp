// Cost per trial of the real engine's generation against the same loop written bare.
#include "QAVBenchRatio.h"
#include "QAVTasGAOptimizer.h"

#include <iostream>
#include <sstream>

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

class SumOfGenes : public QAVTasGAOptimizer
{
public:
  double EvalFitness(std::int32_t n, double* x) override
  {
    double s = 0.0;
    for (std::int32_t k = 0; k < n; ++k)
      s += x[k];
    return s;
  }
};

class RealEngineRunner : public QAVBenchRunner
{
public:
  RealEngineRunner(int d, int process) : _Min(d, kLow), _Max(d, kHigh)
  {
    _Opt.SetNumParams(d);
    _Opt.SetPopulationSize(kBenchPopulation);
    _Opt.SetProcess(process);
    _Opt.SetCrossValue(kBenchF);
    _Opt.SetMutatValue(kBenchCR);
    _Opt.SetParamValLimits(_Min.data(), _Max.data());
  }
  void Init(long seed) override
  {
    // Initialize writes debug lines; keep them out of the benchmark's output.
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    _Opt.SetSeed(static_cast<std::int32_t>(seed));
    _Opt.Initialize();
    std::cout.rdbuf(saved);
  }
  void Generation() override
  {
    _Opt.GenerateMin();
    _Opt.ShiftPopulation();
  }
  double Optimum() const override { return _Opt._Optimum._Fitness; }

private:
  std::vector<double> _Min, _Max;
  SumOfGenes _Opt;
};
} // namespace

int main(int argc, char** argv)
{
  auto makeEngine = [](int d, int process) {
    // The constructor writes debug lines; keep them out of the benchmark's output.
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    std::unique_ptr<QAVBenchRunner> runner(new RealEngineRunner(d, process));
    std::cout.rdbuf(saved);
    return runner;
  };
  return QAVRunRatioBenchmarks(argc, argv, "real engine", makeEngine, [](int d, int process) {
    return QAVMakeBare<double, RealFormula>(d, process, kLow, kHigh);
  });
}

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

class SumOfGenes : public QAVMathIntGAOptimizer
{
public:
  double EvalFitness(std::int32_t n, std::int32_t* x) override
  {
    double s = 0.0;
    for (std::int32_t k = 0; k < n; ++k)
      s += x[k];
    return s;
  }
};

class IntEngineRunner : public QAVBenchRunner
{
public:
  IntEngineRunner(int d, int process) : _Min(d, kLow), _Max(d, kHigh)
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
    _Opt.SetSeed(static_cast<std::int32_t>(seed));
    _Opt.Initialize();
  }
  void Generation() override
  {
    _Opt.GenerateMin();
    _Opt.ShiftPopulation();
  }
  double Optimum() const override { return _Opt._Optimum._Fitness; }

private:
  std::vector<std::int32_t> _Min, _Max;
  SumOfGenes _Opt;
};
} // namespace

int main(int argc, char** argv)
{
  return QAVRunRatioBenchmarks(
    argc, argv, "integer engine",
    [](int d, int process) { return std::unique_ptr<QAVBenchRunner>(new IntEngineRunner(d, process)); },
    [](int d, int process) { return QAVMakeBare<std::int32_t, IntFormula>(d, process, kLow, kHigh); });
}

// Nonlinear stack-ups: 10^7 simulated clutches on the true contact angle (the target is under
// 2 s), the tape's value and Hessian, and the certified worst case of the clutch over its box.
#include "QAVTasAllocationFile.h"
#include "QAVTasExpression.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVTasWorstCase.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace
{
QAVTasAllocationProblem Clutch()
{
  const char* text = R"json({"dimensions": [
    {"name": "a", "nominal": 55.29, "tolerance": 0.1}, {"name": "b", "nominal": 22.86, "tolerance": 0.1},
    {"name": "c", "nominal": 22.86, "tolerance": 0.1}, {"name": "e", "nominal": 101.6, "tolerance": 0.1}],
    "stackups": [{"name": "angle", "lsl": 0.087266, "usl": 0.157080,
                  "function": "acos((a + (b + c)/2) / (e - (b + c)/2))"}]})json";
  QAVTasAllocationProblem p;
  std::string error;
  QAVTasAllocationFile::Read(text, p, error);
  return p;
}

const char kAngle[] = "acos((a + (b + c)/2) / (e - (b + c)/2))";

std::int32_t Names(const std::string& iName)
{
  return iName == "a" ? 0 : iName == "b" ? 1 : iName == "c" ? 2 : iName == "e" ? 3 : -1;
}

void BM_ClutchSimulation(benchmark::State& ioState)
{
  const QAVTasAllocationProblem p = Clutch();
  std::int32_t free = 0;
  const std::vector<double> t = QAVTasStackupAnalysis::FixedTolerances(p, free);
  QAVTasStackupAnalysis::Settings settings;
  settings.Samples = 10000000;
  settings.Threads = static_cast<std::int32_t>(ioState.range(0));
  for (auto _ : ioState)
    benchmark::DoNotOptimize(QAVTasStackupAnalysis(settings).Analyse(p, t));
}
BENCHMARK(BM_ClutchSimulation)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TapeHessian(benchmark::State& ioState)
{
  const QAVTasExpression f(kAngle, Names);
  const double x[] = {55.29, 22.86, 22.86, 101.6};
  double g[4], h[16];
  for (auto _ : ioState)
    benchmark::DoNotOptimize(f.Hessian(x, g, h));
}
BENCHMARK(BM_TapeHessian);

void BM_ClutchWorstCase(benchmark::State& ioState)
{
  const QAVTasExpression f(kAngle, Names);
  const double low[] = {55.19, 22.76, 22.76, 101.5}, high[] = {55.39, 22.96, 22.96, 101.7};
  for (auto _ : ioState)
    benchmark::DoNotOptimize(QAVTasWorstCase().Find(f, low, high));
}
BENCHMARK(BM_ClutchWorstCase)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();

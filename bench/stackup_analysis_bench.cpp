// Stack-up analysis: 10^7 simulated assemblies of 20 dimensions and 10 stack-ups (each over 8 to 14
// of the dimensions, a quarter of them uniform or triangular), on 1 and 2 threads. The target is
// under 2 s on two cores.
#include "QAVTasStackupAnalysis.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace
{
using Problem = QAVTasAllocationProblem;

Problem Assembly()
{
  Problem p;
  for (std::int32_t i = 0; i < 20; ++i)
  {
    Problem::Dimension d;
    d.Name = "d" + std::to_string(i);
    d.Nominal = 10.0 + i;
    d.Fixed = true;
    d.Tolerance = 0.01 * (1 + i % 5);
    d.Spread = i % 8 == 3 ? Problem::Distribution::Uniform
      : i % 8 == 5        ? Problem::Distribution::Triangular
                          : Problem::Distribution::Normal;
    p.Dimensions.push_back(d);
  }
  for (std::int32_t j = 0; j < 10; ++j)
  {
    Problem::Stackup s;
    s.Name = "s" + std::to_string(j);
    s.HasLaw = false;
    for (std::int32_t i = 0; i < 20; ++i)
      if ((i + j) % 3 != 0 || i < 4)
        s.Sensitivity.push_back({i, (i + j) % 2 ? 1.0 : -0.5});
    double centre = 0.0;
    for (const auto& [i, w] : s.Sensitivity)
      centre += w * p.Dimensions[static_cast<std::size_t>(i)].Nominal;
    s.HasLsl = s.HasUsl = true;
    s.Lsl = centre - 0.08;
    s.Usl = centre + 0.08;
    p.Stackups.push_back(s);
  }
  return p;
}

void Analyse(benchmark::State& ioState)
{
  const Problem p = Assembly();
  std::int32_t free = 0;
  const std::vector<double> t = QAVTasStackupAnalysis::FixedTolerances(p, free);
  QAVTasStackupAnalysis::Settings settings;
  settings.Samples = 10000000;
  settings.Threads = static_cast<std::int32_t>(ioState.range(0));
  settings.HistogramBins = 60;
  for (auto _ : ioState)
    benchmark::DoNotOptimize(QAVTasStackupAnalysis(settings).Analyse(p, t));
}
} // namespace

BENCHMARK(Analyse)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_MAIN();

#include "QAVAllocationChain.h"
#include "QAVTasAllocationSolver.h"

#include <benchmark/benchmark.h>

#include <cstdio>

#include <sys/resource.h>

// Time to a certified optimum of chained assemblies; the counters give the Newton iterations, the
// sensitivities (nonzeros) and the process's peak resident memory so far (sizes run in ascending
// order, so it is that of the largest one run).
static void BM_Allocation(benchmark::State& state)
{
  const QAVTasAllocationProblem problem = QAVAllocationChain(static_cast<std::int32_t>(state.range(0)));
  QAVTasAllocationResult result;
  for (auto _ : state)
    benchmark::DoNotOptimize(result = QAVTasAllocationSolver().Solve(problem));
  if (result.State != QAVTasAllocationResult::Status::Optimal)
    state.SkipWithError(("not certified: " + result.Reason).c_str());
  std::size_t nonzeros = 0;
  for (const auto& s : problem.Stackups)
    nonzeros += s.Sensitivity.size();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["iterations"] = result.Iterations;
  state.counters["nonzeros"] = static_cast<double>(nonzeros);
  char cost[32];
  std::snprintf(cost, sizeof cost, "cost %.12g", result.Cost);
  state.SetLabel(cost);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_Allocation)->Arg(20)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

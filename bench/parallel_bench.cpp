// Parallel evaluation: wall time of whole runs whose fitness busy-waits a fixed cost, on 1 and
// 2 threads (the speed-up is the ratio of the two), and the one-thread cost with a 50 ns fitness.
// On a loaded machine a busy wait shares the cores with the load; the sleeping variant does not.
#include "QAVTasGAOptimizer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

namespace
{
constexpr std::int32_t kPopulation = 32;
constexpr std::int32_t kGenes = 4;

// A sphere that costs iCost of wall time per call, spent spinning so that no sleep granularity
// enters the figures.
class Costly : public QAVTasGAOptimizer
{
public:
  Costly(std::chrono::nanoseconds iCost, bool iSleep) : _Cost(iCost), _Sleep(iSleep) {}
  double EvalFitness(std::int32_t iCount, double* ipX) override
  {
    const auto end = std::chrono::steady_clock::now() + _Cost;
    double s = 0.0;
    for (std::int32_t k = 0; k < iCount; ++k)
      s += ipX[k] * ipX[k];
    if (_Sleep)
      std::this_thread::sleep_until(end);
    while (std::chrono::steady_clock::now() < end)
    {
    }
    return s;
  }

private:
  std::chrono::nanoseconds _Cost;
  bool _Sleep;
};

// Minimisation of the sphere with rand/1 and a small weight: nearly every trial stays within the
// limits, so nearly every trial costs an evaluation.
void Runs(benchmark::State& ioState, std::chrono::nanoseconds iCost, std::int32_t iGenerations, bool iSleep = false)
{
  std::ostringstream sink;
  std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
  std::vector<double> min(kGenes, -10.0), max(kGenes, 10.0);
  Costly o(iCost, iSleep);
  o.SetNumParams(kGenes);
  o.SetParamValLimits(min.data(), max.data());
  o.SetPopulationSize(kPopulation);
  o.SetProcess(7);
  o.SetCrossValue(0.25);
  o.SetMutatValue(0.9);
  o.SetMaxNumber(iGenerations);
  o.SetIdemFitnessCount(iGenerations);
  o.SetFitnessReference(-1.0);
  o.SetRefresh(iGenerations + 1);
  o.SetEvaluationThreads(static_cast<std::int32_t>(ioState.range(1)));
  std::int64_t evaluations = 0;
  for (auto _ : ioState)
  {
    const std::int32_t before = nbeval;
    o.Minimize();
    evaluations += nbeval - before;
    sink.str("");
  }
  std::cout.rdbuf(saved);
  const double trials = static_cast<double>(ioState.iterations()) * kPopulation * (iGenerations + 1);
  ioState.counters["admissible"] = static_cast<double>(evaluations) / trials;
}

void Costed(benchmark::State& ioState)
{
  Runs(ioState, std::chrono::microseconds(ioState.range(0)), 10);
}

// The same wait spent asleep: the pool's concurrency, free of the machine's load.
void Sleeping(benchmark::State& ioState)
{
  Runs(ioState, std::chrono::microseconds(ioState.range(0)), 10, true);
}

void Cheap(benchmark::State& ioState)
{
  Runs(ioState, std::chrono::nanoseconds(50), 200);
}
} // namespace

// Arguments: fitness cost in microseconds, threads.
BENCHMARK(Costed)->ArgsProduct({{20, 200}, {1, 2}})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Sleeping)->ArgsProduct({{200}, {1, 2}})->UseRealTime()->Unit(benchmark::kMillisecond);
// Arguments: unused, threads (1: the sequential path, whose cost must not move).
BENCHMARK(Cheap)->Args({0, 1})->Args({0, 2})->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

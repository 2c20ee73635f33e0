// Ellipse fitting: one evaluation of the solver's fitness, and whole fits, against the point count.
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

namespace
{
// Noisy points around the ellipse with semi-axes 3 and 1.5, major axis at 0.4 rad, centred at 0.
std::vector<double> NoisyEllipse(std::int64_t n)
{
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> angle(0.0, 2 * M_PI);
  std::normal_distribution<double> noise(0.0, 0.01);
  std::vector<double> p;
  for (std::int64_t i = 0; i < n; ++i)
  {
    const double t = angle(random), u = 3.0 * std::cos(t), v = 1.5 * std::sin(t);
    p.push_back(u * std::cos(0.4) - v * std::sin(0.4) + noise(random));
    p.push_back(u * std::sin(0.4) + v * std::cos(0.4) + noise(random));
  }
  return p;
}

// The solver's own fitness: O(n), the largest pairwise distance known from construction.
void BM_EvalFitness(benchmark::State& state)
{
  std::vector<double> p = NoisyEllipse(state.range(0));
  QAVTasEllipseSolver solver(1.0, static_cast<std::int32_t>(state.range(0)), p.data());
  double candidate[3] = {0.178, 0.433, 0.143}; // a little inside the points: the full focal-sum loop runs
  for (auto _ : state)
    benchmark::DoNotOptimize(solver.EvalFitness(3, candidate));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same evaluation working the largest pairwise distance out again every time.
void BM_EvalFitnessRecomputingMaxDistance(benchmark::State& state)
{
  std::vector<double> p = NoisyEllipse(state.range(0));
  const std::int32_t n = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state)
  {
    const QAVTasCovarianceEllipse e(1.0, 0.0, 0.178, 0.433, 0.143, p.data(), n, 0);
    double variance = 0.0;
    e.GetVarianceOfDistanceFromPoints(p.data(), n, variance);
    benchmark::DoNotOptimize(variance);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WholeFit(benchmark::State& state)
{
  std::vector<double> p = NoisyEllipse(state.range(0));
  std::ostringstream sink;
  std::streambuf* old = std::cout.rdbuf(sink.rdbuf());
  std::int32_t generations = 0;
  for (auto _ : state)
  {
    QAVTasEllipseSolver solver(1.0, static_cast<std::int32_t>(state.range(0)), p.data());
    double params[6];
    solver.ComputeEllipseParameters(params);
    generations = solver.GetGenerationCount();
    benchmark::DoNotOptimize(params);
  }
  std::cout.rdbuf(old);
  state.counters["generations"] = generations;
}
} // namespace

BENCHMARK(BM_EvalFitness)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvalFitnessRecomputingMaxDistance)
  ->RangeMultiplier(10)
  ->Range(1000, 100000)
  ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeFit)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFit)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

#include "QAVTasOptimizerTolerancing.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

namespace
{
const int kNx = 20;
const int kNy = 10;

// A problem with Nx 20, Ny 10 and one candidate of each form that passes every bound, so that the
// multiplier form runs its whole arithmetic.
struct Problem
{
  std::vector<std::vector<double>> w;
  std::vector<double*> rows;
  std::vector<double> ymin, ymax, xsup, xinf;
  std::vector<double> direct, lambda;

  Problem()
  {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    w.assign(kNy, std::vector<double>(kNx));
    for (auto& row : w)
      for (double& v : row)
        v = 0.5 + unit(gen);
    for (int j = 0; j < kNy; ++j)
      lambda.push_back(10.0 + 90.0 * unit(gen));
    std::vector<double> s(kNx);
    for (int i = 0; i < kNx; ++i)
    {
      double sum = 0.0;
      for (int j = 0; j < kNy; ++j)
        sum += w[j][i] * lambda[j];
      s[i] = QAVTasSqrt3(0.5 * sum);
      xinf.push_back(0.5 / s[i]);
      xsup.push_back(2.0 / s[i]);
      direct.push_back(1.0 / s[i]);
    }
    for (int j = 0; j < kNy; ++j)
    {
      double y = 0.0;
      for (int i = 0; i < kNx; ++i)
        y += w[j][i] / s[i];
      ymin.push_back(0.5 * y);
      ymax.push_back(2.0 * y);
      direct.push_back(y);
    }
    for (auto& row : w)
      rows.push_back(row.data());
  }
};

Problem& Shared()
{
  static Problem problem;
  return problem;
}

void EvalBench(benchmark::State& state, int form)
{
  Problem& p = Shared();
  std::ostringstream quiet;
  std::streambuf* saved = std::cout.rdbuf(quiet.rdbuf());
  QAVTasOptimizerTolerancing optimizer(kNy, kNx, p.rows.data(), p.ymin.data(), p.ymax.data(), p.xsup.data(),
                                       p.xinf.data());
  std::cout.rdbuf(saved);
  optimizer._Formulation = form;
  double* genes = form == 2 ? p.direct.data() : p.lambda.data();
  for (auto _ : state)
    benchmark::DoNotOptimize(optimizer.EvalFitness(0, genes));
  if (optimizer._PenaltyFitness != 1.0e10)
    state.SkipWithError("the candidate took the penalty path");
}

void BM_EvalFitnessDirect(benchmark::State& state)
{
  EvalBench(state, 2);
}

void BM_EvalFitnessMultiplier(benchmark::State& state)
{
  EvalBench(state, 3);
}

// The same arithmetic as the fitness, written as plain loops over the same data.
void BM_BareDirect(benchmark::State& state)
{
  Problem& p = Shared();
  const double* g = p.direct.data();
  for (auto _ : state)
  {
    double f = 0.0;
    for (int i = 0; i < kNx; ++i)
      f += 1.0 / std::fabs(g[i]);
    for (int j = 0; j < kNy; ++j)
    {
      double wx = 0.0;
      for (int i = 0; i < kNx; ++i)
        wx += p.rows[j][i] * g[i];
      f += std::fabs(wx - g[kNx + j]);
    }
    benchmark::DoNotOptimize(f);
  }
}

void BM_BareMultiplier(benchmark::State& state)
{
  Problem& p = Shared();
  const double* l = p.lambda.data();
  double s[kNx];
  for (auto _ : state)
  {
    double f = 0.0;
    for (int i = 0; i < kNx; ++i)
    {
      double sum = 0.0;
      for (int j = 0; j < kNy; ++j)
        sum += p.rows[j][i] * l[j];
      const double h = 0.5 * sum;
      s[i] = h >= 0.0 ? std::pow(h, 1.0 / 3.0) : -std::pow(-h, 1.0 / 3.0);
      const double x = 1.0 / s[i];
      if (!(p.xinf[i] - x <= 1e-6 && x - p.xsup[i] <= 1e-6))
        break;
      f += s[i];
    }
    for (int j = 0; j < kNy; ++j)
    {
      double wy = 0.0;
      for (int i = 0; i < kNx; ++i)
        wy += p.rows[j][i] / s[i];
      if (!(p.ymin[j] - wy <= 1e-6 && wy - p.ymax[j] <= 1e-6))
        break;
      f += std::fabs(l[j] * (wy - p.ymax[j]));
    }
    benchmark::DoNotOptimize(f);
  }
}

// A whole run of a bundled example (run from the source tree, as make bench does).
void OptimizeBench(benchmark::State& state, const char* path)
{
  std::int64_t evaluations = 0;
  for (auto _ : state)
  {
    std::ostringstream quiet;
    std::streambuf* saved = std::cout.rdbuf(quiet.rdbuf());
    QAVTasOptimizerTolerancing optimizer;
    FILE* file = std::fopen(path, "r");
    const bool read = file != nullptr && optimizer.ReadDataFile(file) == S_OK;
    if (file != nullptr)
      std::fclose(file);
    const std::int32_t before = nbeval;
    const bool ran = read && optimizer.Optimize() == S_OK;
    evaluations += nbeval - before;
    std::cout.rdbuf(saved);
    if (!ran)
    {
      state.SkipWithError("cannot run the example (run from the source tree)");
      break;
    }
  }
  state.counters["evaluations"] =
    benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kAvgIterations);
  state.counters["evals_per_s"] = benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
}

void BM_OptimizeDirectExample(benchmark::State& state)
{
  OptimizeBench(state, "examples/tolerance_direct.txt");
}

void BM_OptimizeMultiplierExample(benchmark::State& state)
{
  OptimizeBench(state, "examples/tolerance_multiplier.txt");
}
} // namespace

BENCHMARK(BM_EvalFitnessDirect);
BENCHMARK(BM_BareDirect);
BENCHMARK(BM_EvalFitnessMultiplier);
BENCHMARK(BM_BareMultiplier);
BENCHMARK(BM_OptimizeDirectExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeMultiplierExample)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

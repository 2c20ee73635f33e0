// The geometric ellipse fit against the point count: the whole fit with standard errors, one
// thread, no robust loss; and the direct algebraic fit alone.
#include "QAVTasEllipseFitter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
// Noisy points on two thirds of the ellipse with semi-axes 3 and 1.5, major axis at 0.4 rad.
std::vector<double> NoisyArc(std::int64_t n)
{
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> angle(0.0, 4 * M_PI / 3);
  std::normal_distribution<double> noise(0.0, 0.01);
  std::vector<double> p;
  for (std::int64_t i = 0; i < n; ++i)
  {
    const double t = angle(random), u = 3.0 * std::cos(t), v = 1.5 * std::sin(t);
    p.push_back(1.0 + u * std::cos(0.4) - v * std::sin(0.4) + noise(random));
    p.push_back(-2.0 + u * std::sin(0.4) + v * std::cos(0.4) + noise(random));
  }
  return p;
}

void Run(benchmark::State& state, QAVTasEllipseFitter::FitMethod iMethod)
{
  const std::vector<double> p = NoisyArc(state.range(0));
  QAVTasEllipseFitter::Options options;
  options.Method = iMethod;
  const QAVTasEllipseFitter fitter(options);
  for (auto _ : state)
  {
    const QAVTasEllipseFitter::Result r = fitter.Fit(p.data(), static_cast<std::int32_t>(state.range(0)));
    if (r.State != QAVTasEllipseFitter::Status::Fitted)
      state.SkipWithError(r.Message.c_str());
    state.counters["iterations"] = r.Iterations;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_GeometricFit(benchmark::State& state)
{
  Run(state, QAVTasEllipseFitter::FitMethod::Geometric);
}

void BM_AlgebraicFit(benchmark::State& state)
{
  Run(state, QAVTasEllipseFitter::FitMethod::Algebraic);
}
} // namespace

BENCHMARK(BM_GeometricFit)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlgebraicFit)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

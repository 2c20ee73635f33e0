// Largest pairwise distance: the hull-and-calipers QAVTasGetMaxDistance against the all-pairs loop.
#include "QAVTasAllPairsDistance.h"
#include "QAVTasCovarianceEllipse.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
std::vector<double> RandomPoints(std::int64_t n, bool onCircle)
{
  std::mt19937_64 random(42);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> p(static_cast<std::size_t>(2 * n));
  for (std::int64_t i = 0; i < n; ++i)
  {
    const double x = normal(random), y = normal(random);
    const double r = onCircle ? std::hypot(x, y) : 1.0;
    p[2 * i] = x / r;
    p[2 * i + 1] = y / r;
  }
  return p;
}

double AllPairs(const std::vector<double>& p)
{
  return QAVTasAllPairsMaxDistance(p.data(), p.size() / 2);
}

void BM_MaxDistanceHull(benchmark::State& state)
{
  const std::vector<double> p = RandomPoints(state.range(0), state.range(1) != 0);
  for (auto _ : state)
  {
    double max = 0.0;
    QAVTasGetMaxDistance(p.data(), static_cast<std::int32_t>(state.range(0)), max);
    benchmark::DoNotOptimize(max);
  }
  state.SetComplexityN(state.range(0));
}

void BM_MaxDistanceAllPairs(benchmark::State& state)
{
  const std::vector<double> p = RandomPoints(state.range(0), state.range(1) != 0);
  for (auto _ : state)
    benchmark::DoNotOptimize(AllPairs(p));
}
} // namespace

// Second argument: 0 normal cloud (small hull), 1 points on a circle (every point on the hull).
BENCHMARK(BM_MaxDistanceHull)->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaxDistanceAllPairs)->Args({1000, 0})->Args({10000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaxDistanceAllPairs)->Args({100000, 0})->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

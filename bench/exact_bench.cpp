#include "QAVTasExactSolver.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
// A feasible tolerancing problem of realistic shape: tolerances of a few hundredths, a W with
// about a third of zeros, and Y bands around the stack-up of a point inside the box.
struct Problem
{
  std::vector<std::vector<double>> w;
  std::vector<const double*> rows;
  std::vector<double> ymin, ymax, xinf, xsup;

  Problem(int nx, int ny)
  {
    std::mt19937 gen(12345u + static_cast<unsigned>(nx));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> inside(nx);
    for (int i = 0; i < nx; ++i)
    {
      xinf.push_back(0.001 + 0.01 * unit(gen));
      xsup.push_back(xinf[i] + 0.1 * unit(gen));
      inside[i] = xinf[i] + unit(gen) * (xsup[i] - xinf[i]);
    }
    for (int j = 0; j < ny; ++j)
    {
      std::vector<double> row(nx);
      double y = 0.0;
      for (int i = 0; i < nx; ++i)
      {
        row[i] = unit(gen) < 0.3 ? 0.0 : 2.0 * unit(gen);
        y += row[i] * inside[i];
      }
      w.push_back(row);
      ymin.push_back(y - 0.05 * y * unit(gen));
      ymax.push_back(y + 0.05 * y * unit(gen));
    }
    for (const auto& r : w)
      rows.push_back(r.data());
  }
};

void BM_ExactSolver(benchmark::State& state)
{
  const int nx = static_cast<int>(state.range(0)), ny = static_cast<int>(state.range(1));
  Problem p(nx, ny);
  QAVTasExactSolver solver(ny, nx, p.rows.data(), p.ymin.data(), p.ymax.data(), p.xinf.data(), p.xsup.data());
  QAVTasExactSolver::Solution solution;
  for (auto _ : state)
  {
    if (solver.Solve(solution) != QAVTasExactSolver::Status::Optimal)
    {
      state.SkipWithError("no certified optimum");
      break;
    }
    benchmark::DoNotOptimize(solution.Objective);
  }
  state.counters["iterations"] = solution.Iterations;
  state.counters["rel_gap"] = solution.RelativeGap;
}
} // namespace

BENCHMARK(BM_ExactSolver)->Args({20, 10})->Args({100, 50})->Args({500, 250})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

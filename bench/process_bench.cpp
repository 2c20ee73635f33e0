#include "QAVProcessProblems.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasYieldEstimator.h"

#include <benchmark/benchmark.h>

#ifdef QAV_HAVE_CBC
#include <CbcModel.hpp>
#include <CbcSolver.hpp>
#include <CoinPackedMatrix.hpp>
#include <CoinPackedVector.hpp>
#include <OsiClpSolverInterface.hpp>
#endif

namespace
{
const int kDims = 30, kOptions = 5, kStackups = 15;

void BM_ProcessSelector(benchmark::State& state)
{
  const auto problem = QAVProcessProblem(kDims, kOptions, kStackups, static_cast<unsigned>(state.range(0)));
  QAVTasAllocationResult result;
  for (auto _ : state)
  {
    result = QAVTasProcessSelector().Solve(problem);
    if (result.State != QAVTasAllocationResult::Status::Optimal)
    {
      state.SkipWithError(("no proven optimum: " + result.Reason).c_str());
      break;
    }
  }
  state.counters["cost"] = result.Cost;
  state.counters["nodes"] = static_cast<double>(result.Nodes);
  state.counters["rel_gap"] = result.RelativeGap;
}
BENCHMARK(BM_ProcessSelector)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

#ifdef QAV_HAVE_CBC
// The same selection as a MILP: x_ik = 1 when dimension i takes option k, sum_k x_ik = 1; a
// worst-case row sum_ik |s_ij| t_ik x_ik <= T_j and a squared rss row
// sum_ik (s_ij t_ik)^2 x_ik <= (T_j / f_j)^2 are linear in x. Cbc at its default settings.
void BM_ProcessCbc(benchmark::State& state)
{
  using Problem = QAVTasAllocationProblem;
  const auto p = QAVProcessProblem(kDims, kOptions, kStackups, static_cast<unsigned>(state.range(0)));
  const int columns = kDims * kOptions;
  std::vector<double> cost(columns), zero(columns, 0.0), one(columns, 1.0), rowLo, rowHi;
  CoinPackedMatrix matrix(false, 0, 0);
  matrix.setDimensions(0, columns);
  for (int i = 0; i < kDims; ++i)
  {
    CoinPackedVector row;
    for (int k = 0; k < kOptions; ++k)
    {
      cost[i * kOptions + k] = p.Dimensions[i].Options[k].CostValue;
      row.insert(i * kOptions + k, 1.0);
    }
    matrix.appendRow(row);
    rowLo.push_back(1.0);
    rowHi.push_back(1.0);
  }
  for (const auto& s : p.Stackups)
  {
    const bool rss = s.Rule == Problem::Law::Rss;
    CoinPackedVector row;
    for (const auto& [i, w] : s.Sensitivity)
      for (int k = 0; k < kOptions; ++k)
      {
        const double t = p.Dimensions[i].Options[k].Tolerance;
        row.insert(i * kOptions + k, rss ? (w * t) * (w * t) : std::fabs(w) * t);
      }
    matrix.appendRow(row);
    rowLo.push_back(-COIN_DBL_MAX);
    rowHi.push_back(rss ? (s.Limit / s.Factor) * (s.Limit / s.Factor) : s.Limit);
  }
  double objective = 0.0;
  for (auto _ : state)
  {
    OsiClpSolverInterface solver;
    solver.loadProblem(matrix, zero.data(), one.data(), cost.data(), rowLo.data(), rowHi.data());
    for (int c = 0; c < columns; ++c)
      solver.setInteger(c);
    solver.messageHandler()->setLogLevel(0);
    CbcModel model(solver);
    CbcMain0(model);
    const char* argv[] = {"cbc", "-log", "0", "-ratio", "1e-9", "-solve", "-quit"};
    CbcMain1(7, argv, model);
    if (!model.isProvenOptimal())
    {
      state.SkipWithError("Cbc proved no optimum");
      break;
    }
    objective = model.getObjValue();
    state.counters["nodes"] = model.getNodeCount();
  }
  state.counters["cost"] = objective;
}
BENCHMARK(BM_ProcessCbc)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
#endif

// 20 dimensions (a quarter uniform, some shifted), 10 stack-ups of 8, limits near 3.5 sigma.
void BM_Yield(benchmark::State& state)
{
  auto p = QAVProcessProblem(20, 1, 10, 7);
  std::mt19937 gen(7);
  std::vector<double> t;
  for (std::size_t i = 0; i < p.Dimensions.size(); ++i)
  {
    auto& d = p.Dimensions[i];
    d.Spread = i % 4 == 0 ? QAVTasAllocationProblem::Distribution::Uniform : d.Spread;
    d.MeanShift = i % 5 == 0 ? 0.2 : 0.0;
    t.push_back(d.Options[0].Tolerance);
    d.Options.clear();
    d.Fixed = true;
    d.Tolerance = d.Min = d.Max = t.back();
  }
  for (std::size_t j = 0; j < p.Stackups.size(); ++j)
  {
    auto& s = p.Stackups[j];
    while (s.Sensitivity.size() < 8)
    {
      const auto i = static_cast<std::int32_t>(gen() % 20);
      if (std::none_of(s.Sensitivity.begin(), s.Sensitivity.end(), [i](const auto& e) { return e.first == i; }))
        s.Sensitivity.push_back({i, 1.0});
    }
    s.Rule = QAVTasAllocationProblem::Law::Rss;
    s.Factor = 1.0;
    s.Limit = 1.17 * p.StackupValue(j, t.data());
  }
  QAVTasYieldEstimator::Options o;
  o.Samples = 10000000;
  o.Threads = 2;
  o.Qmc = state.range(0) != 0;
  QAVTasYieldEstimator::Report report;
  for (auto _ : state)
    report = QAVTasYieldEstimator(o).Simulate(p, t);
  state.counters["joint"] = report.Joint.Yield;
  state.counters["ci_width"] = report.Joint.Upper - report.Joint.Lower;
}
BENCHMARK(BM_Yield)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();

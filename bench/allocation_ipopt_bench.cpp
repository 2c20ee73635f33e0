// The chained assemblies of allocation_bench solved by Ipopt (exact Hessian, MUMPS), for comparison:
// same problems, the same cost model and laws, tables as epigraph rows z >= each segment's line.
#include "QAVAllocationChain.h"

#include <IpIpoptApplication.hpp>
#include <IpSolveStatistics.hpp>
#include <IpTNLP.hpp>
#include <benchmark/benchmark.h>

#include <cstdio>

#include <cmath>
#include <vector>

namespace
{
using Problem = QAVTasAllocationProblem;
using Ipopt::Index;
using Ipopt::Number;

class AllocationNlp : public Ipopt::TNLP
{
public:
  explicit AllocationNlp(const Problem& iProblem) : _P(iProblem)
  {
    for (std::size_t i = 0; i < _P.Dimensions.size(); ++i)
    {
      const auto& points = _P.Dimensions[i].CostOf.Points;
      if (_P.Dimensions[i].CostOf.Model != Problem::CostModel::Table)
        continue;
      const Index z = static_cast<Index>(_P.Dimensions.size() + _Tables++);
      for (std::size_t k = 0; k + 1 < points.size(); ++k)
      {
        const double beta = (points[k + 1].second - points[k].second) / (points[k + 1].first - points[k].first);
        _Segments.push_back({static_cast<Index>(i), z, points[k].second - beta * points[k].first, beta});
      }
    }
    for (const auto& s : _P.Stackups)
      _Jacobian += static_cast<Index>(s.Sensitivity.size());
    _Hessian = static_cast<Index>(_P.Dimensions.size());
    for (const auto& s : _P.Stackups)
      if (Curved(s))
        _Hessian += static_cast<Index>(s.Sensitivity.size() * (s.Sensitivity.size() + 1) / 2);
  }

  double Cost = 0.0;

  bool get_nlp_info(Index& n, Index& m, Index& nnz_jac_g, Index& nnz_h_lag, IndexStyleEnum& style) override
  {
    n = static_cast<Index>(_P.Dimensions.size()) + _Tables;
    m = static_cast<Index>(_P.Stackups.size() + _Segments.size());
    nnz_jac_g = _Jacobian + 2 * static_cast<Index>(_Segments.size());
    nnz_h_lag = _Hessian;
    style = C_STYLE;
    return true;
  }

  bool get_bounds_info(Index n, Number* x_l, Number* x_u, Index, Number* g_l, Number* g_u) override
  {
    for (Index i = 0; i < n; ++i)
    {
      const bool z = i >= static_cast<Index>(_P.Dimensions.size());
      x_l[i] = z ? -1e19 : _P.Dimensions[i].Min;
      x_u[i] = z ? 1e19 : _P.Dimensions[i].Max;
    }
    for (std::size_t j = 0; j < _P.Stackups.size(); ++j)
    {
      const auto& s = _P.Stackups[j];
      g_l[j] = s.Rule == Problem::Law::Linear ? s.Lower : -1e19;
      g_u[j] = s.Rule == Problem::Law::Linear ? s.Upper : s.Limit;
    }
    for (std::size_t k = 0; k < _Segments.size(); ++k)
      g_l[_P.Stackups.size() + k] = _Segments[k].Alpha, g_u[_P.Stackups.size() + k] = 1e19;
    return true;
  }

  bool get_starting_point(Index n, bool, Number* x, bool, Number*, Number*, Index, bool, Number*) override
  {
    for (Index i = 0; i < static_cast<Index>(_P.Dimensions.size()); ++i)
      x[i] = _P.Dimensions[i].Min + 0.01 * (_P.Dimensions[i].Max - _P.Dimensions[i].Min);
    for (Index i = static_cast<Index>(_P.Dimensions.size()); i < n; ++i)
      x[i] = 0.0;
    return true;
  }

  bool eval_f(Index, const Number* x, bool, Number& obj_value) override
  {
    obj_value = 0.0;
    for (std::size_t i = 0; i < _P.Dimensions.size(); ++i)
      if (_P.Dimensions[i].CostOf.Model != Problem::CostModel::Table)
        obj_value += _P.Dimensions[i].CostOf.Value(x[i]);
    for (Index k = 0; k < _Tables; ++k)
      obj_value += x[_P.Dimensions.size() + k];
    return true;
  }

  bool eval_grad_f(Index n, const Number* x, bool, Number* grad_f) override
  {
    for (Index i = 0; i < n; ++i)
    {
      const bool z = i >= static_cast<Index>(_P.Dimensions.size());
      grad_f[i] = z                                                  ? 1.0
        : _P.Dimensions[i].CostOf.Model == Problem::CostModel::Table ? 0.0
                                                                     : _P.Dimensions[i].CostOf.Slope(x[i]);
    }
    return true;
  }

  bool eval_g(Index, const Number* x, bool, Index, Number* g) override
  {
    for (std::size_t j = 0; j < _P.Stackups.size(); ++j)
      g[j] = _P.StackupValue(j, x);
    for (std::size_t k = 0; k < _Segments.size(); ++k)
      g[_P.Stackups.size() + k] = x[_Segments[k].Z] - _Segments[k].Beta * x[_Segments[k].T];
    return true;
  }

  bool eval_jac_g(Index, const Number* x, bool, Index, Index, Index* iRow, Index* jCol, Number* values) override
  {
    Index e = 0;
    for (std::size_t j = 0; j < _P.Stackups.size(); ++j)
    {
      const auto& s = _P.Stackups[j];
      const double rho = values == nullptr ? 0.0 : Root(s, x);
      for (const auto& [i, w] : s.Sensitivity)
      {
        if (values == nullptr)
          iRow[e] = static_cast<Index>(j), jCol[e] = i;
        else
          values[e] = Linear(s, i, w) + (rho > 0.0 ? Factor(s) * Scale(s, i, w) * Scale(s, i, w) * x[i] / rho : 0.0);
        ++e;
      }
    }
    for (std::size_t k = 0; k < _Segments.size(); ++k, e += 2)
    {
      if (values == nullptr)
      {
        iRow[e] = iRow[e + 1] = static_cast<Index>(_P.Stackups.size() + k);
        jCol[e] = _Segments[k].Z, jCol[e + 1] = _Segments[k].T;
      }
      else
        values[e] = 1.0, values[e + 1] = -_Segments[k].Beta;
    }
    return true;
  }

  bool eval_h(Index, const Number* x, bool, Number obj_factor, Index, const Number* lambda, bool, Index, Index* iRow,
              Index* jCol, Number* values) override
  {
    const Index n = static_cast<Index>(_P.Dimensions.size());
    for (Index i = 0; i < n; ++i)
    {
      if (values == nullptr)
        iRow[i] = jCol[i] = i;
      else
        values[i] = obj_factor * _P.Dimensions[i].CostOf.Curvature(x[i]);
    }
    Index e = n;
    for (std::size_t j = 0; j < _P.Stackups.size(); ++j)
    {
      const auto& s = _P.Stackups[j];
      if (!Curved(s))
        continue;
      const double rho = values == nullptr ? 0.0 : Root(s, x), f = Factor(s);
      for (std::size_t p = 0; p < s.Sensitivity.size(); ++p)
        for (std::size_t q = 0; q <= p; ++q, ++e)
        {
          const auto [ip, wp] = s.Sensitivity[p];
          const auto [iq, wq] = s.Sensitivity[q];
          if (values == nullptr)
          {
            iRow[e] = std::max(ip, iq), jCol[e] = std::min(ip, iq);
            continue;
          }
          const double bp = Scale(s, ip, wp), bq = Scale(s, iq, wq);
          const double outer = bp * bp * x[ip] * bq * bq * x[iq] / (rho * rho * rho);
          values[e] = lambda[j] * f * ((p == q ? bp * bp / rho : 0.0) - outer);
        }
    }
    return true;
  }

  void finalize_solution(Ipopt::SolverReturn, Index, const Number* x, const Number*, const Number*, Index,
                         const Number*, const Number*, Number, const Ipopt::IpoptData*,
                         Ipopt::IpoptCalculatedQuantities*) override
  {
    Cost = _P.TotalCost(x);
  }

private:
  struct Segment
  {
    Index T, Z;
    double Alpha, Beta;
  };

  static bool Curved(const Problem::Stackup& s)
  {
    return s.Rule == Problem::Law::Rss || s.Rule == Problem::Law::MeanShift;
  }
  static double Factor(const Problem::Stackup& s) { return s.Rule == Problem::Law::Rss ? s.Factor : 1.0; }
  double Shift(const Problem::Stackup& s, Index i) const
  {
    return s.Rule == Problem::Law::MeanShift ? _P.Dimensions[i].MeanShift : 0.0;
  }
  double Scale(const Problem::Stackup& s, Index i, double w) const { return Curved(s) ? (1.0 - Shift(s, i)) * w : 0.0; }
  double Linear(const Problem::Stackup& s, Index i, double w) const
  {
    return s.Rule == Problem::Law::Linear ? w
      : s.Rule == Problem::Law::WorstCase ? std::fabs(w)
                                          : Shift(s, i) * std::fabs(w);
  }
  double Root(const Problem::Stackup& s, const Number* x) const
  {
    double sum = 0.0;
    for (const auto& [i, w] : s.Sensitivity)
      sum += (Scale(s, i, w) * x[i]) * (Scale(s, i, w) * x[i]);
    return std::sqrt(sum);
  }

  const Problem& _P;
  std::vector<Segment> _Segments;
  Index _Tables = 0, _Jacobian = 0, _Hessian = 0;
};
} // namespace

static void BM_AllocationIpopt(benchmark::State& state)
{
  const Problem problem = QAVAllocationChain(static_cast<std::int32_t>(state.range(0)));
  Ipopt::SmartPtr<Ipopt::IpoptApplication> app = IpoptApplicationFactory();
  app->Options()->SetIntegerValue("print_level", 0);
  app->Options()->SetNumericValue("tol", 1e-10);
  app->Options()->SetStringValue("mu_strategy", "adaptive");
  // By default Ipopt relaxes every bound by 1e-8 relative, which buys it a cost 1e-7 below the true optimum.
  app->Options()->SetNumericValue("bound_relax_factor", 0.0);
  app->Options()->SetNumericValue("constr_viol_tol", 1e-9);
  app->Options()->SetStringValue("sb", "yes");
  app->Initialize();
  Ipopt::SmartPtr<AllocationNlp> nlp = new AllocationNlp(problem);
  Ipopt::ApplicationReturnStatus status = Ipopt::Solve_Succeeded;
  for (auto _ : state)
    status = app->OptimizeTNLP(Ipopt::SmartPtr<Ipopt::TNLP>(nlp));
  if (status != Ipopt::Solve_Succeeded)
    state.SkipWithError("Ipopt did not succeed");
  char cost[32];
  std::snprintf(cost, sizeof cost, "cost %.12g", nlp->Cost);
  state.SetLabel(cost);
  state.counters["iterations"] = app->Statistics()->IterationCount();
}
BENCHMARK(BM_AllocationIpopt)->Arg(20)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// The allocation solve: min sum_i cost_i(t_i) subject to every stack-up row g_r(t) <= 0 and the
// bounds lo <= t <= hi, a convex program (convex costs, rows convex by QAVTasAllocationRows).
//   1. A start strictly inside every row: the box point at fraction 0.5, 0.1, ..., 1e-4 of each box,
//      else phase one (min s with g_r(t) <= s), which ends Feasible (s < 0) or Infeasible when its
//      multipliers make the cost-free Lagrangian bound positive: no t in the box meets every row.
//   2. Phase two follows the central path until cost - LowerBound <= Gap * max(1, |cost|), then
//      polishes (at most 4 more iterations towards a gap 1e-4 times smaller), keeping the
//      polished point unless its gap grew.
//   3. The certificate: by weak duality, for any lambda >= 0 and every feasible t',
//        cost(t') >= L(lambda) = min over the box of [cost(t) + sum_r lambda_r (supporting plane of
//        g_r at the final t)],
//      so LowerBound <= optimum whatever the accuracy of lambda. Optimal is reported only when the
//      path certified the gap, the answer's largest violation (in the problem's own terms) is
//      within Feasibility, and (cost - LowerBound) / max(1, |cost|) <= Gap.
// Prices: a binding row's multiplier divided by its row scale; the bounds' from the inner minima.
#include "QAVTasAllocationSolver.h"

#include "QAVTasAllocationNewton.h"
#include "QAVTasAllocationPath.h"
#include "QAVTasAllocationRows.h"
#include "QAVTasNegligiblePrices.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{
using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
const double kPolish = 1e-4; // the polished gap, relative to the target
const std::int32_t kPolishIterations = 4;

// The point at fraction iTheta of each box; an unbounded box counts as [lo, lo + max(1, lo)].
std::vector<double> InsideBox(const QAVTasAllocationRows& iRows, double iTheta)
{
  std::vector<double> t(iRows.Lo.size());
  for (std::size_t v = 0; v < t.size(); ++v)
  {
    const double span = std::isfinite(iRows.Hi[v]) ? iRows.Hi[v] - iRows.Lo[v] : std::max(1.0, iRows.Lo[v]);
    t[v] = iRows.Lo[v] + iTheta * span;
  }
  return t;
}

bool MeetsEveryRow(const QAVTasAllocationRows& iRows, const std::vector<double>& iT)
{
  for (std::int32_t r = 0; r < iRows.Rows(); ++r)
    if (!(iRows.Value(r, iT.data()) < 0.0))
      return false;
  return true;
}

// Every tolerance: the fixed ones, and the variables' values.
std::vector<double> AllTolerances(const Problem& iProblem, const QAVTasAllocationRows& iRows,
                                  const std::vector<double>& iT)
{
  std::vector<double> t(iProblem.Dimensions.size());
  for (std::size_t i = 0; i < t.size(); ++i)
  {
    const Problem::Dimension& d = iProblem.Dimensions[i];
    t[i] = d.Fixed
      ? d.Tolerance
      : std::max(d.Min,
                 d.CostOf.Model == Problem::CostModel::Table && !d.CostOf.Points.empty() ? d.CostOf.Points.front().first
                                                                                         : d.Min);
  }
  for (std::size_t v = 0; v < iT.size(); ++v)
    t[iRows.Dimension[v]] = iRows.Scale[v] * iT[v];
  return t;
}

void Describe(const Problem& iProblem, const std::vector<double>& iT, Result& oResult)
{
  oResult.Tolerances = iT;
  oResult.Cost = iProblem.TotalCost(iT.data());
  oResult.StackupValues.resize(iProblem.Stackups.size());
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    oResult.StackupValues[j] = iProblem.StackupValue(j, iT.data());
}

// Prices are the multipliers of the constraints that bind: the rows' (a linear row's binding
// side), and the bounds' from the certificate's inner minimum; both back in the problem's units.
// Both sides of an equality band bind, each with a multiplier of the order of the gap over the
// band's width; only their difference acts.
void Price(const QAVTasAllocationRows& iRows, const std::vector<double>& iT, const std::vector<double>& iLambda,
           Result& oResult)
{
  for (std::int32_t r = 0; r < iRows.Rows(); ++r)
  {
    if (!iRows.Binds(r, iT.data()))
      continue;
    double& price = oResult.StackupPrices[iRows.Stackup[r]];
    const bool pair = r + 1 < iRows.Rows() && iRows.Stackup[r + 1] == iRows.Stackup[r];
    if (pair && iRows.Binds(r + 1, iT.data()))
    {
      price = std::fabs(iLambda[r] - iLambda[r + 1]) / iRows.RowScale[r];
      ++r;
    }
    else
      price = std::max(price, iLambda[r] / iRows.RowScale[r]);
  }
  iRows.LowerBound(iT.data(), iLambda.data(), true);
  iRows.BoundPrices(iT.data(), oResult.MinPrices.data(), oResult.MaxPrices.data());
}
} // namespace

QAVTasAllocationResult QAVTasAllocationSolver::Solve(const QAVTasAllocationProblem& iProblem) const
{
  std::string reason = iProblem.Defects();
  const std::string options = Defects(_Options);
  if (!options.empty())
    reason += (reason.empty() ? "" : "; ") + options;
  if (reason.empty())
    return SolveValid(iProblem);
  Result refused;
  refused.Reason = reason;
  return refused;
}

std::string QAVTasAllocationSolver::Defects(const Options& iOptions, const std::string& iPrefix)
{
  std::string defects;
  const auto add = [&](bool iBad, const char* iWhat)
  {
    if (iBad)
      defects += (defects.empty() ? "" : "; ") + iPrefix + iWhat;
  };
  add(!(std::isfinite(iOptions.Gap) && iOptions.Gap > 0.0), "Gap: must be a finite number > 0");
  add(!(std::isfinite(iOptions.Feasibility) && iOptions.Feasibility > 0.0), "Feasibility: must be a finite number > 0");
  add(iOptions.MaxIterations < 1, "MaxIterations: must be >= 1");
  return defects;
}

QAVTasAllocationResult QAVTasAllocationSolver::SolveValid(const QAVTasAllocationProblem& iProblem) const
{
  Result result;
  const std::size_t n = iProblem.Dimensions.size(), m = iProblem.Stackups.size();
  result.StackupPrices.assign(m, 0.0);
  result.MinPrices.assign(n, 0.0), result.MaxPrices.assign(n, 0.0);
  result.Processes.assign(n, -1);
  QAVTasAllocationRows rows;
  result.Reason = rows.Build(iProblem);
  Describe(iProblem, AllTolerances(iProblem, rows, {}), result);
  if (!result.Reason.empty())
    return result;
  if (rows.Variables() == 0)
    return Analyse(iProblem, result);

  QAVTasAllocationNewton newton;
  newton.Analyse(rows);
  std::vector<double> start;
  for (double theta : {0.5, 0.1, 1e-2, 1e-3, 1e-4})
    if (MeetsEveryRow(rows, start = InsideBox(rows, theta)))
      break;
  if (!MeetsEveryRow(rows, start))
  {
    QAVTasAllocationPath one(rows, newton, true);
    one.Start(InsideBox(rows, 0.5));
    one.Run(0.0, _Options.MaxIterations);
    result.Iterations = one.Iterations;
    if (one.Infeasible)
    {
      result.State = Result::Status::Infeasible;
      result.Reason = "no tolerances within the bounds meet every stack-up (a Farkas certificate proves it)";
      return result;
    }
    if (!one.Feasible)
    {
      result.Reason = "no tolerances meeting every stack-up found, nor a proof that none exists";
      return result;
    }
    start = one.T;
  }
  QAVTasAllocationPath two(rows, newton, false);
  two.Start(start);
  const QAVTasAllocationPath::Outcome outcome = two.Run(_Options.Gap, _Options.MaxIterations);
  if (outcome == QAVTasAllocationPath::Outcome::Certified)
    two.Polish(_Options.Gap * kPolish, kPolishIterations);
  result.Iterations += two.Iterations;
  Describe(iProblem, AllTolerances(iProblem, rows, two.T), result);
  Price(rows, two.T, two.Lambda, result);
  QAVTasDropNegligiblePrices(iProblem, result);
  result.LowerBound = two.LowerBound;
  result.RelativeGap = std::max(0.0, result.Cost - result.LowerBound) / std::max(1.0, std::fabs(result.Cost));
  const bool feasible = iProblem.MaxViolation(result.Tolerances.data()) <= _Options.Feasibility;
  if (outcome == QAVTasAllocationPath::Outcome::Certified && feasible && result.RelativeGap <= _Options.Gap)
  {
    result.State = Result::Status::Optimal;
    result.Reason.clear();
  }
  else
    result.Reason = outcome == QAVTasAllocationPath::Outcome::Failed ? "the Newton matrix could not be factored"
      : !feasible                                                    ? "the answer breaks a limit"
                  : "the duality gap did not close within " + std::to_string(_Options.MaxIterations) + " iterations";
  return result;
}

// Every dimension fixed: nothing to optimise, the tolerances only need checking.
QAVTasAllocationResult QAVTasAllocationSolver::Analyse(const QAVTasAllocationProblem& iProblem,
                                                       QAVTasAllocationResult& ioResult) const
{
  ioResult.LowerBound = ioResult.Cost;
  ioResult.RelativeGap = 0.0;
  if (iProblem.MaxViolation(ioResult.Tolerances.data()) <= _Options.Feasibility)
  {
    ioResult.State = Result::Status::Optimal;
    return ioResult;
  }
  ioResult.State = Result::Status::Infeasible;
  ioResult.Reason = "the fixed tolerances break a limit";
  return ioResult;
}

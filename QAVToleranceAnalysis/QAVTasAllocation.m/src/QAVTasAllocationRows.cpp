// The rows g_r(t) = a.t + f sqrt(sum_k (b_k t_k)^2 + kappa) + c <= 0 of the header, and the bound
// (1) built on them. In code: rho = Root, g_r = Value, and
//   grad g_r = a + (f / rho) b^2 t   (Gradient; a alone at rho = 0, where the cone's term is
//                                     >= 0, so a.t' + c still lies below g_r),
//   LowerBound = FixedCost + sum_r lambda_r (c_r + f kappa_r / rho_r)
//              + sum_v min over [lo_v, hi_v] of (cost_v(x) + G_v x),  G = sum_r lambda_r grad g_r,
// each inner minimum in closed form (MinOnBox). lambda is clipped at 0, so any multipliers give a
// valid bound; a NaN bound is returned as -inf, which certifies nothing. A linear band too narrow to
// have an interior is widened within the feasibility tolerance: the widened problem is a
// relaxation, so its bound still holds for the original one.
// Scaling (ScaleVariables, StackupScale) divides each variable by a typical tolerance and each row
// by its stack-up's scale, so that a problem reads alike, and stops alike, in any unit of length.
#include "QAVTasAllocationRows.h"

#include "QAVTasStackupLaw.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
using Problem = QAVTasAllocationProblem;
const double kInf = std::numeric_limits<double>::infinity();
// A linear band narrower than this (relative) has no interior: it is widened by a fraction of the
// feasibility tolerance, which the answer may use anyway.
const double kNarrowBand = 1e-9, kWiden = 0.4e-9;
// A constraint binds when its slack is within this fraction of its terms (an interior point stops
// that close to the constraints that bind, and far from the others).
const double kOnBound = 1e-6;

// A table's slope left of t (Slope gives the right one, but the left one at the end).
double LeftSlope(const Problem::Cost& iCost, double iT)
{
  if (iCost.Model != Problem::CostModel::Table || iCost.Points.size() < 2)
    return iCost.Slope(iT);
  const auto& points = iCost.Points;
  const auto inner = std::lower_bound(points.begin() + 1, points.end() - 1, iT,
                                      [](const std::pair<double, double>& p, double t) { return p.first < t; });
  const auto& p = *(inner - 1);
  const auto& q = *inner;
  return (q.second - p.second) / (q.first - p.first);
}

// min over [lo, hi] of c(x) + g x: c is convex, so the stationary point clamped to the box.
double MinOnBox(const Problem::Cost& iCost, double iLo, double iHi, double iG)
{
  auto at = [&](double x) { return iCost.Value(x) + iG * x; };
  double x = iHi;
  switch (iCost.Model)
  {
    case Problem::CostModel::None:
      x = iG > 0.0 ? iLo : iHi;
      break;
    case Problem::CostModel::Reciprocal:
      x = iG > 0.0 ? std::sqrt(iCost.B / iG) : iHi;
      break;
    case Problem::CostModel::Power:
      x = iG > 0.0 ? std::pow(iCost.K * iCost.B / iG, 1.0 / (iCost.K + 1.0)) : iHi;
      break;
    case Problem::CostModel::Exponential:
      x = iG > 0.0 ? std::log(iCost.M * iCost.B / iG) / iCost.M : iHi;
      break;
    case Problem::CostModel::Table:
    {
      double best = std::min(at(iLo), at(iHi));
      for (const auto& p : iCost.Points)
        if (p.first > iLo && p.first < iHi)
          best = std::min(best, at(p.first));
      return best;
    }
  }
  if (std::isinf(x) && iG == 0.0)
    return iCost.Model == Problem::CostModel::None ? 0.0 : iCost.A;
  return at(std::clamp(x, iLo, iHi));
}

// A band narrower than kNarrowBand of its row's scale is widened on each side by kWiden of that
// side's scale (MaxViolation's: the larger of the side and the row's terms, which are at least
// iLeast anywhere in the box), so the answer stays within the feasibility tolerance.
void Widen(double& ioLower, double& ioUpper, double iLeast)
{
  if (ioUpper - ioLower >= kNarrowBand * std::max({std::fabs(ioLower), std::fabs(ioUpper), iLeast}))
    return;
  ioLower -= kWiden * std::max(std::fabs(ioLower), iLeast);
  ioUpper += kWiden * std::max(std::fabs(ioUpper), iLeast);
}

// The cost of t = iScale u as a function of u.
Problem::Cost ScaledCost(Problem::Cost iCost, double iScale)
{
  switch (iCost.Model)
  {
    case Problem::CostModel::Reciprocal:
      iCost.B /= iScale;
      break;
    case Problem::CostModel::Power:
      iCost.B /= std::pow(iScale, iCost.K);
      break;
    case Problem::CostModel::Exponential:
      iCost.M *= iScale;
      break;
    case Problem::CostModel::Table:
      for (auto& point : iCost.Points)
        point.first /= iScale;
      break;
    case Problem::CostModel::None:
      break;
  }
  return iCost;
}
} // namespace

std::string QAVTasAllocationRows::Build(const QAVTasAllocationProblem& iProblem)
{
  Problem = &iProblem;
  std::vector<double> fixed;
  std::string refusal = AddVariables(iProblem, fixed);
  if (!refusal.empty())
    return refusal;
  ScaleVariables(iProblem);
  return AddRows(iProblem, fixed);
}

// The free dimensions become variables in their box (a table's narrows it); the others keep a
// fixed tolerance: their own, or the lower bound of a box of one point.
std::string QAVTasAllocationRows::AddVariables(const QAVTasAllocationProblem& iProblem, std::vector<double>& oFixed)
{
  const std::size_t n = iProblem.Dimensions.size();
  _VarOf.assign(n, -1);
  oFixed.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
  {
    const Problem::Dimension& d = iProblem.Dimensions[i];
    if (!d.Options.empty())
      return "dimension " + d.Name + " has process options";
    double lo = d.Min, hi = d.Max;
    if (d.CostOf.Model == Problem::CostModel::Table && !d.Fixed && d.CostOf.Points.size() >= 2)
      lo = std::max(lo, d.CostOf.Points.front().first), hi = std::min(hi, d.CostOf.Points.back().first);
    if (!d.Fixed && !(lo > 0.0 && lo <= hi))
      return "dimension " + d.Name + " has no tolerance in its bounds";
    oFixed[i] = d.Fixed ? d.Tolerance : lo;
    if (d.Fixed || lo == hi)
    {
      FixedCost += d.CostOf.Value(oFixed[i]);
      continue;
    }
    _VarOf[i] = Variables();
    Dimension.push_back(static_cast<std::int32_t>(i));
    Lo.push_back(lo);
    Hi.push_back(hi);
  }
  return {};
}

// A variable's typical tolerance is the geometric mean of its lower bound and the largest value that
// its box and its norm rows allow (alone in a row t <= T / (Reach |s|)): the box and the limits
// scale with the unit, so the scaled problem does not.
void QAVTasAllocationRows::ScaleVariables(const QAVTasAllocationProblem& iProblem)
{
  std::vector<double> largest(Hi);
  for (const Problem::Stackup& s : iProblem.Stackups)
  {
    if (s.LawOf().Band() || !(s.Limit > 0.0))
      continue;
    const double factor = s.LawOf().Reach(s);
    for (const auto& [i, w] : s.Sensitivity)
      if (_VarOf[i] >= 0 && w != 0.0)
        largest[_VarOf[i]] = std::min(largest[_VarOf[i]], s.Limit / (factor * std::fabs(w)));
  }
  for (std::int32_t v = 0; v < Variables(); ++v)
  {
    const double top = largest[v];
    const double scale = std::isfinite(top) && top > Lo[v] ? std::sqrt(Lo[v]) * std::sqrt(top) : Lo[v];
    Scale.push_back(scale);
    Lo[v] /= scale, Hi[v] /= scale;
    Costs.push_back(ScaledCost(iProblem.Dimensions[Dimension[v]].CostOf, scale));
  }
}

// A stack-up's own scale: its limit; for a linear row the largest of its finite sides and its
// terms at the typical tolerances (a band at 0 has only its terms).
double QAVTasAllocationRows::StackupScale(const QAVTasAllocationProblem::Stackup& iS,
                                          const std::vector<double>& iFixed) const
{
  const bool band = iS.LawOf().Band();
  if (!band && iS.Limit > 0.0)
    return iS.Limit;
  double scale = 0.0;
  for (double side : {iS.Lower, iS.Upper})
    if (band && std::isfinite(side))
      scale = std::max(scale, std::fabs(side));
  double terms = 0.0;
  for (const auto& [i, w] : iS.Sensitivity)
    terms += std::fabs(w) * (_VarOf[i] >= 0 ? Scale[_VarOf[i]] : iFixed[i]);
  scale = std::max(scale, terms);
  return scale > 0.0 && std::isfinite(scale) ? scale : 1.0;
}

// The least sum of a row's terms |s t| over the box.
double QAVTasAllocationRows::LeastTerms(const QAVTasAllocationProblem::Stackup& iS,
                                        const std::vector<double>& iFixed) const
{
  double terms = 0.0;
  for (const auto& [i, w] : iS.Sensitivity)
    terms += std::fabs(w) * (_VarOf[i] >= 0 ? Lo[_VarOf[i]] * Scale[_VarOf[i]] : iFixed[i]);
  return terms;
}

// Each row divided by its stack-up's scale, in the scaled variables.
std::string QAVTasAllocationRows::AddRows(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iFixed)
{
  Start.push_back(0);
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    const double rowScale = StackupScale(s, iFixed);
    const QAVTasStackupLaw& law = s.LawOf();
    const bool band = law.Band();
    double lower = s.Lower, upper = s.Upper;
    if (band)
      Widen(lower, upper, LeastTerms(s, iFixed));
    for (int side = 0; side < 2; ++side)
    {
      if (band ? !std::isfinite(side == 0 ? upper : lower) : side == 1)
        continue;
      const double sign = side == 0 ? 1.0 : -1.0;
      double c = !band ? -s.Limit : side == 0 ? -upper : lower, kappa = 0.0;
      for (const auto& [i, w] : s.Sensitivity)
      {
        const QAVTasStackupLaw::Term term = law.TermOf(w, iProblem.Dimensions[i].MeanShift);
        const double a = sign * term.Linear, b = term.Cone;
        const std::int32_t v = _VarOf[i];
        if (v < 0)
        {
          const double bt = b * iFixed[i] / rowScale;
          c += a * iFixed[i];
          kappa += bt * bt;
          continue;
        }
        if (std::find(Var.begin() + Start.back(), Var.end(), v) != Var.end())
          return "stack-up " + s.Name + " names a dimension twice";
        Var.push_back(v);
        A.push_back(a * Scale[v] / rowScale);
        B.push_back(b * Scale[v] / rowScale);
      }
      Start.push_back(static_cast<std::int32_t>(Var.size()));
      F.push_back(law.ConeFactor(s));
      Kappa.push_back(kappa);
      C.push_back(c / rowScale);
      Stackup.push_back(static_cast<std::int32_t>(j));
      RowScale.push_back(rowScale);
    }
  }
  return {};
}

double QAVTasAllocationRows::Root(std::int32_t iRow, const double* ipT) const
{
  double squares = Kappa[iRow];
  for (std::int32_t k = Start[iRow]; k < Start[iRow + 1]; ++k)
    squares += (B[k] * ipT[Var[k]]) * (B[k] * ipT[Var[k]]);
  return std::sqrt(squares);
}

double QAVTasAllocationRows::Value(std::int32_t iRow, const double* ipT) const
{
  double value = C[iRow];
  for (std::int32_t k = Start[iRow]; k < Start[iRow + 1]; ++k)
    value += A[k] * ipT[Var[k]];
  return F[iRow] != 0.0 ? value + F[iRow] * Root(iRow, ipT) : value;
}

void QAVTasAllocationRows::Gradient(std::int32_t iRow, const double* ipT, double* opGradient) const
{
  const double rho = F[iRow] != 0.0 ? Root(iRow, ipT) : 0.0;
  const double scale = rho > 0.0 ? F[iRow] / rho : 0.0;
  for (std::int32_t k = Start[iRow]; k < Start[iRow + 1]; ++k)
    opGradient[k - Start[iRow]] = A[k] + scale * B[k] * B[k] * ipT[Var[k]];
}

double QAVTasAllocationRows::LowerBound(const double* ipT, const double* ipLambda, bool iWithCost) const
{
  _G.assign(Dimension.size(), 0.0);
  double bound = iWithCost ? FixedCost : 0.0;
  for (std::int32_t r = 0; r < Rows(); ++r)
  {
    const double lambda = std::max(0.0, ipLambda[r]);
    if (lambda == 0.0)
      continue;
    const double rho = F[r] != 0.0 ? Root(r, ipT) : 0.0;
    bound += lambda * (C[r] + (rho > 0.0 ? F[r] * Kappa[r] / rho : 0.0));
    _Grad.resize(static_cast<std::size_t>(Start[r + 1] - Start[r]));
    Gradient(r, ipT, _Grad.data());
    for (std::int32_t k = Start[r]; k < Start[r + 1]; ++k)
      _G[Var[k]] += lambda * _Grad[k - Start[r]];
  }
  static const Problem::Cost kNoCost;
  for (std::size_t v = 0; v < Dimension.size(); ++v)
  {
    const Problem::Cost& cost = iWithCost ? Costs[v] : kNoCost;
    bound += MinOnBox(cost, Lo[v], Hi[v], _G[v]);
  }
  return std::isnan(bound) ? -kInf : bound;
}

// The inner minimum of the Lagrangian lands on a bound when c'(x) + G_i points out of the box there;
// that excess is the bound's multiplier. Call after LowerBound (it leaves G behind).
void QAVTasAllocationRows::BoundPrices(const double* ipT, double* opMin, double* opMax) const
{
  for (std::size_t v = 0; v < Dimension.size(); ++v)
  {
    const Problem::Cost& cost = Costs[v];
    const double tolerance = kOnBound * (std::isfinite(Hi[v]) ? Hi[v] - Lo[v] : std::max(1.0, Lo[v]));
    const double atLo = cost.Slope(Lo[v]) + _G[v], atHi = LeftSlope(cost, Hi[v]) + _G[v];
    opMin[Dimension[v]] = ipT[v] - Lo[v] <= tolerance ? std::max(0.0, atLo) / Scale[v] : 0.0;
    opMax[Dimension[v]] = std::isfinite(Hi[v]) && Hi[v] - ipT[v] <= tolerance ? std::max(0.0, -atHi) / Scale[v] : 0.0;
  }
}

bool QAVTasAllocationRows::Binds(std::int32_t iRow, const double* ipT) const
{
  double scale = std::fabs(C[iRow]) + (F[iRow] != 0.0 ? F[iRow] * Root(iRow, ipT) : 0.0);
  for (std::int32_t k = Start[iRow]; k < Start[iRow + 1]; ++k)
    scale += std::fabs(A[k] * ipT[Var[k]]);
  return -Value(iRow, ipT) <= kOnBound * scale;
}

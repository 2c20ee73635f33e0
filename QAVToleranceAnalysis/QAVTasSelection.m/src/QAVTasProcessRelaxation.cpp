// The node bound of the process selection (derived in QAVTasProcessSelector.h), in code:
//   L(lambda) = Constant + sum_i min over the node of [c_i(t_i) + Slope_i t_i + Square_i t_i^2
//                                                      (+ Extra, a cut's or tangent's per-option price)]
// over options (TermMin) or, for a continuous dimension, over [Min, Max] in closed form
// (ContinuousMin: the stationary point of the convex c_i(t) + Slope_i t clamped to the box).
// Slope collects lambda_j g_ij, the law's gradient at the relaxed t (Gradient):
//   worst-case |s|;  linear s (signed by the nearer side);  rss f s^2 t / ||s t||;
//   mean-shift m |s| + (1 - m)^2 s^2 t / ||(1 - m) s t||   (the root's part 0 where its norm is 0).
// Each law V is convex and positively homogeneous, so V(t) >= g . t and L is a valid lower bound for
// any lambda >= 0. A pure cone row (rss) is better priced squared (AddSquared): Q(t) <= (T/f)^2 with
// mu = lambda f / (2 sqrt(Q)) gives Square_i += mu b_i^2, exact on options (a
// continuous dimension takes the tangent of t^2, which stays below it).
// Trim is reduced-cost fixing: with rest = L less choice c's own minimum, an option k at either
// end of c's run whose rest + term_k reaches the cutoff cannot beat the incumbent and is dropped
// (runs stay contiguous). Envelope is the relaxation's table cost: the lower convex hull of the
// run's (tolerance, cost) points (monotone chain), cut flat after its lowest vertex.
#include "QAVTasProcessRelaxation.h"

#include "QAVTasStackupLaw.h"

#include <algorithm>
#include <cmath>
#include <numeric>

using Model = QAVTasAllocationProblem;

namespace
{
bool InLinearRow(const Model& iProblem, std::size_t iDim)
{
  for (const auto& s : iProblem.Stackups)
    if (s.LawOf().Band())
      for (const auto& [i, w] : s.Sensitivity)
        if (static_cast<std::size_t>(i) == iDim && w != 0.0)
          return true;
  return false;
}

// Options sorted by tolerance, one per tolerance; with iDominance, costs strictly decreasing.
std::vector<QAVTasProcessRelaxation::Point> SortedOptions(const Model::Dimension& iDim, bool iDominance)
{
  std::vector<QAVTasProcessRelaxation::Point> all;
  for (std::size_t k = 0; k < iDim.Options.size(); ++k)
    all.push_back({iDim.Options[k].Tolerance, iDim.Options[k].CostValue, static_cast<std::int32_t>(k)});
  std::stable_sort(all.begin(), all.end(),
                   [](const auto& a, const auto& b)
                   { return a.Tolerance < b.Tolerance || (a.Tolerance == b.Tolerance && a.Cost < b.Cost); });
  std::vector<QAVTasProcessRelaxation::Point> kept;
  for (const auto& p : all)
    if (kept.empty() || p.Tolerance != kept.back().Tolerance)
      kept.push_back(p);
  if (!iDominance)
    return kept;
  std::vector<QAVTasProcessRelaxation::Point> useful;
  for (const auto& p : kept)
    if (useful.empty() || p.Cost < useful.back().Cost)
      useful.push_back(p);
  return useful;
}
} // namespace

std::vector<double> QAVTasProcessRelaxation::Gradient(const Model& iProblem, const Model::Stackup& iS,
                                                      const double* ipT)
{
  std::vector<double> gradient(iS.Sensitivity.size());
  iS.LawOf().Gradient(iProblem, iS, ipT, gradient.data());
  return gradient;
}

void QAVTasProcessRelaxation::AddGradient(const Model::Stackup& iS, const double* ipT, double iScale,
                                          std::vector<double>& ioSlope) const
{
  const std::vector<double> g = Gradient(_Problem, iS, ipT);
  for (std::size_t e = 0; e < g.size(); ++e)
    ioSlope[iS.Sensitivity[e].first] += iScale * g[e];
}

QAVTasProcessRelaxation::QAVTasProcessRelaxation(const Model& iProblem)
  : _Problem(iProblem), _ChoiceOf(iProblem.Dimensions.size(), -1)
{
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const auto& d = iProblem.Dimensions[i];
    if (d.Options.empty())
    {
      _HasContinuous = _HasContinuous || !d.Fixed;
      continue;
    }
    _ChoiceOf[i] = static_cast<std::int32_t>(_Dim.size());
    _Dim.push_back(static_cast<std::int32_t>(i));
    _FirstPoint.push_back(_Points.empty() ? 0 : _FirstPoint.back() + _Points.back().size());
    _Points.push_back(SortedOptions(d, !InLinearRow(iProblem, i)));
  }
}

QAVTasProcessRelaxation::Runs QAVTasProcessRelaxation::Root() const
{
  Runs runs;
  runs.Lo.assign(_Dim.size(), 0);
  for (const auto& points : _Points)
    runs.Hi.push_back(static_cast<std::int32_t>(points.size()) - 1);
  return runs;
}

bool QAVTasProcessRelaxation::IsLeaf(const Runs& iRuns)
{
  return iRuns.Lo == iRuns.Hi;
}

// Lower convex hull (Andrew's monotone chain), cut flat after its lowest vertex.
void QAVTasProcessRelaxation::Envelope(std::size_t iChoice, std::int32_t iLo, std::int32_t iHi,
                                       std::vector<std::pair<double, double>>& oPoints) const
{
  oPoints.clear();
  const auto& points = _Points[iChoice];
  for (std::int32_t k = iLo; k <= iHi; ++k)
  {
    const std::pair<double, double> p{points[k].Tolerance, points[k].Cost};
    while (oPoints.size() >= 2)
    {
      const auto& o = oPoints[oPoints.size() - 2];
      const auto& a = oPoints.back();
      if ((a.first - o.first) * (p.second - o.second) - (a.second - o.second) * (p.first - o.first) > 0.0)
        break;
      oPoints.pop_back();
    }
    oPoints.push_back(p);
  }
  const auto lowest =
    std::min_element(oPoints.begin(), oPoints.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  const double tEnd = points[iHi].Tolerance, cLow = lowest->second;
  oPoints.erase(lowest + 1, oPoints.end());
  if (oPoints.back().first < tEnd)
    oPoints.push_back({tEnd, cLow});
}

double QAVTasProcessRelaxation::Relax(const Runs& iRuns, Model& oRelaxed) const
{
  double fixedCost = 0.0;
  for (std::size_t c = 0; c < _Dim.size(); ++c)
  {
    Model::Dimension& d = oRelaxed.Dimensions[_Dim[c]];
    const Point& lo = _Points[c][iRuns.Lo[c]];
    d.Options.clear();
    d.Fixed = iRuns.Lo[c] == iRuns.Hi[c];
    if (d.Fixed)
    {
      d.Tolerance = lo.Tolerance;
      d.CostOf = Model::Cost{};
      fixedCost += lo.Cost;
      continue;
    }
    d.Min = lo.Tolerance;
    d.Max = _Points[c][iRuns.Hi[c]].Tolerance;
    d.CostOf.Model = Model::CostModel::Table;
    Envelope(c, iRuns.Lo[c], iRuns.Hi[c], d.CostOf.Points);
  }
  return fixedCost;
}

QAVTasProcessRelaxation::Prices QAVTasProcessRelaxation::PricesAt(const double* ipT,
                                                                  const std::vector<double>& iLambda) const
{
  Prices prices;
  prices.Slope.assign(_Problem.Dimensions.size(), 0.0);
  prices.Square.assign(_Problem.Dimensions.size(), 0.0);
  for (std::size_t j = 0; j < _Problem.Stackups.size() && j < iLambda.size(); ++j)
  {
    const double lambda = iLambda[j];
    if (!(lambda > 0.0) || !std::isfinite(lambda))
      continue;
    const auto& s = _Problem.Stackups[j];
    const QAVTasStackupLaw& law = s.LawOf();
    if (!law.HasLinearPart() && AddSquared(s, ipT, lambda, prices))
      continue;
    if (!law.Band())
    {
      AddGradient(s, ipT, lambda, prices.Slope);
      prices.Constant -= lambda * s.Limit;
      continue;
    }
    // Any side with any price >= 0 gives a valid bound; the nearer side is the one that binds.
    const double v = _Problem.StackupValue(j, ipT);
    const bool upper = std::fabs(v - s.Upper) <= std::fabs(v - s.Lower);
    AddGradient(s, ipT, upper ? lambda : -lambda, prices.Slope);
    prices.Constant += upper ? -lambda * s.Upper : lambda * s.Lower;
  }
  return prices;
}

// A pure cone row (rss) f sqrt(Q(t)) <= T holds exactly when Q(t) <= (T/f)^2, which is separable in t_i^2; its
// price mu = lambda f / (2 sqrt(Q(t))) makes both forms' terms and slopes agree at t, and as Q is
// convex the squared term lies above the linearised one everywhere: the bound can only rise. On an
// option t_i^2 is exact (the hull of (t, t^2, cost) points, as a MILP's relaxation sees it); a
// dimension without options takes the tangent of t_i^2 at t, which stays below it.
bool QAVTasProcessRelaxation::AddSquared(const Model::Stackup& iS, const double* ipT, double iLambda,
                                         Prices& ioPrices) const
{
  const QAVTasStackupLaw& law = iS.LawOf();
  const double factor = law.ConeFactor(iS);
  const auto cone = [&](std::int32_t i, double w) { return law.TermOf(w, _Problem.Dimensions[i].MeanShift).Cone; };
  double squares = 0.0;
  for (const auto& [i, w] : iS.Sensitivity)
  {
    const double b = cone(i, w);
    squares += (b * ipT[i]) * (b * ipT[i]);
  }
  if (!(squares > 0.0) || !(factor > 0.0))
    return false;
  const double mu = iLambda * factor / (2.0 * std::sqrt(squares)), root = iS.Limit / factor;
  ioPrices.Constant -= mu * root * root;
  for (const auto& [i, w] : iS.Sensitivity)
  {
    const double b = cone(i, w), price = mu * b * b, t = ipT[i];
    if (_ChoiceOf[i] >= 0)
      ioPrices.Square[i] += price;
    else
    {
      ioPrices.Slope[i] += 2.0 * price * t;
      ioPrices.Constant -= price * t * t;
    }
  }
  return true;
}

double QAVTasProcessRelaxation::Term(std::size_t iChoice, std::int32_t iK, const Prices& iPrices) const
{
  const Point& p = _Points[iChoice][iK];
  const std::size_t i = _Dim[iChoice];
  const double extra = iPrices.Extra.empty() ? 0.0 : iPrices.Extra[_FirstPoint[iChoice] + iK];
  return p.Cost + (iPrices.Slope[i] + iPrices.Square[i] * p.Tolerance) * p.Tolerance + extra;
}

double QAVTasProcessRelaxation::TermMin(std::size_t iChoice, std::int32_t iLo, std::int32_t iHi,
                                        const Prices& iPrices) const
{
  double best = HUGE_VAL;
  for (std::int32_t k = iLo; k <= iHi; ++k)
    best = std::min(best, Term(iChoice, k, iPrices));
  return best;
}

// min over [Min, Max] of c(t) + a t: c is convex, so its stationary point clamped to the bounds.
double QAVTasProcessRelaxation::ContinuousMin(std::size_t iDim, double iSlope) const
{
  const auto& d = _Problem.Dimensions[iDim];
  if (d.Fixed)
    return d.CostOf.Value(d.Tolerance) + iSlope * d.Tolerance;
  const auto& c = d.CostOf;
  if (c.Model == Model::CostModel::Table)
  {
    double best = std::min(c.Value(d.Min) + iSlope * d.Min, c.Value(d.Max) + iSlope * d.Max);
    for (const auto& [t, v] : c.Points)
      if (t > d.Min && t < d.Max)
        best = std::min(best, v + iSlope * t);
    return best;
  }
  double t = d.Max;
  if (iSlope > 0.0)
  {
    t = d.Min;
    if (c.Model == Model::CostModel::Reciprocal && c.B > 0.0)
      t = std::sqrt(c.B / iSlope);
    else if (c.Model == Model::CostModel::Power && c.B > 0.0)
      t = std::pow(c.K * c.B / iSlope, 1.0 / (c.K + 1.0));
    else if (c.Model == Model::CostModel::Exponential && c.M * c.B > 0.0)
      t = std::log(c.M * c.B / iSlope) / c.M;
  }
  t = std::clamp(t, d.Min, d.Max);
  return c.Value(t) + iSlope * t;
}

double QAVTasProcessRelaxation::Lagrangian(const Runs& iRuns, const Prices& iPrices) const
{
  double total = iPrices.Constant;
  for (std::size_t i = 0; i < _Problem.Dimensions.size(); ++i)
  {
    const std::int32_t c = _ChoiceOf[i];
    total += c < 0 ? ContinuousMin(i, iPrices.Slope[i]) : TermMin(c, iRuns.Lo[c], iRuns.Hi[c], iPrices);
  }
  return total;
}

bool QAVTasProcessRelaxation::Trim(Runs& ioRuns, const Prices& iPrices, double iCutoff) const
{
  const double bound = Lagrangian(ioRuns, iPrices);
  if (!(bound < iCutoff))
    return false;
  for (std::size_t c = 0; c < _Dim.size(); ++c)
  {
    const double rest = bound - TermMin(c, ioRuns.Lo[c], ioRuns.Hi[c], iPrices);
    const auto lifts = [&](std::int32_t k) { return rest + Term(c, k, iPrices) >= iCutoff; };
    while (ioRuns.Lo[c] < ioRuns.Hi[c] && lifts(ioRuns.Lo[c]))
      ++ioRuns.Lo[c];
    while (ioRuns.Lo[c] < ioRuns.Hi[c] && lifts(ioRuns.Hi[c]))
      --ioRuns.Hi[c];
  }
  return true;
}

void QAVTasProcessRelaxation::Place(const Runs& iRuns, std::vector<double>& ioT) const
{
  for (std::size_t i = 0; i < _Problem.Dimensions.size(); ++i)
    if (_Problem.Dimensions[i].Fixed && _ChoiceOf[i] < 0)
      ioT[i] = _Problem.Dimensions[i].Tolerance;
  for (std::size_t c = 0; c < _Dim.size(); ++c)
    ioT[_Dim[c]] = _Points[c][iRuns.Lo[c]].Tolerance;
}

double QAVTasProcessRelaxation::CostOf(const Runs& iRuns, const double* ipT) const
{
  double total = 0.0;
  for (std::size_t i = 0; i < _Problem.Dimensions.size(); ++i)
  {
    const std::int32_t c = _ChoiceOf[i];
    total += c < 0 ? _Problem.Dimensions[i].CostOf.Value(ipT[i]) : _Points[c][iRuns.Lo[c]].Cost;
  }
  return total;
}

void QAVTasProcessRelaxation::Loosen(Runs& ioRuns, std::vector<double>& ioT, double iFeasibility) const
{
  std::vector<std::size_t> order(_Dim.size());
  for (bool moved = true; moved;)
  {
    moved = false;
    const auto saving = [&](std::size_t c)
    {
      const std::int32_t k = ioRuns.Lo[c];
      return k + 1 < static_cast<std::int32_t>(_Points[c].size()) ? _Points[c][k].Cost - _Points[c][k + 1].Cost : 0.0;
    };
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return saving(a) > saving(b); });
    for (const std::size_t c : order)
    {
      if (!(saving(c) > 0.0))
        continue;
      const std::int32_t k = ioRuns.Lo[c];
      double& t = ioT[_Dim[c]];
      t = _Points[c][k + 1].Tolerance;
      if (_Problem.MaxViolation(ioT.data()) <= iFeasibility)
      {
        ioRuns.Lo[c] = ioRuns.Hi[c] = k + 1;
        moved = true;
      }
      else
        t = _Points[c][k].Tolerance;
    }
  }
}

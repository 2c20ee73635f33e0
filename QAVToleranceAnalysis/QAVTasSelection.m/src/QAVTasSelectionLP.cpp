// The model side of QAVTasSelectionLP; the simplex itself is in QAVTasSelectionLPBasis.cpp.
//
// Rows: each stack-up becomes one row over the options (LawRow), linear in x because each option
// carries its own tolerance: a law without a cone sum a t x <= T (worst case) or L <= sum a t x <= U
// (linear), a pure cone sum (b t)^2 x <= (T/f)^2 (rss), and a law with both its tangent
// g(t0) . t x <= T (mean shift; valid for a convex, positively homogeneous law). Each row is scaled so its largest coefficient is 1, which keeps the pivots and
// the feasibility tolerance of the simplex in one range across laws and units.
//
// Infeasible (Separates): a row w of B^-1 (tiny weights and other basic slacks' zeroed) gives the valid equation (w [A | -I]) (x, s) = 0. Its
// coefficients are rebuilt from the data, not taken from B^-1, and its left side's range over the
// variables' box [lo, hi] must exclude 0 by 1e-9 of its size; only then is the node empty.
//
// Prices (Report): a row slack's reduced cost d_s = y_r is the row's dual; mu_r = -y_r times the
// row's scale is its Lagrange multiplier in the stack-up's own units (clipped at 0 for a <= row). The
// caller evaluates the Lagrangian at these, so a poor basis weakens the bound, never breaks it.
//
// Solve: warm from the last basis (B^-1 rebuilt after 100 pivots, cold when that is singular);
// a warm start that ends Unknown is retried once from the cold start.
#include "QAVTasSelectionLP.h"

#include "QAVTasStackupLaw.h"

#include <algorithm>
#include <cmath>

using Model = QAVTasAllocationProblem;
using Runs = QAVTasProcessRelaxation::Runs;

namespace
{
const double kPivot = 1e-9;
const std::int32_t kRefactor = 100; // pivots between fresh inverses
// Rows of the largest LP (choices and stack-ups with four cuts each): a pivot costs rows^2, and
// larger selections are better served by the envelope's sparse solver.
const std::size_t kLargest = 600;
// A choice of many options makes the simplex walk its hull a vertex per pivot; the envelope's
// table takes them at once.
const std::size_t kMostOptions = 64;

// A row with both a linear part and a cone (mean shift) enters as tangents.
bool Tangent(const Model::Stackup& iS)
{
  const QAVTasStackupLaw& law = iS.LawOf();
  return law.HasLinearPart() && law.HasCone();
}
} // namespace

bool QAVTasSelectionLP::Applies(const QAVTasProcessRelaxation& iChoices)
{
  const Model& p = iChoices.Problem();
  for (std::size_t c = 0; c < iChoices.Choices(); ++c)
    if (iChoices.PointsOf(c).size() > kMostOptions)
      return false;
  return !iChoices.HasContinuous() && iChoices.Choices() + 5 * p.Stackups.size() <= kLargest;
}

QAVTasSelectionLP::QAVTasSelectionLP(const QAVTasProcessRelaxation& iChoices) : _Choices(iChoices)
{
  const Model& p = iChoices.Problem();
  _C = static_cast<std::int32_t>(iChoices.Choices());
  _S = static_cast<std::int32_t>(p.Stackups.size());
  _ChoiceOfDim.assign(p.Dimensions.size(), -1);
  for (std::int32_t c = 0; c < _C; ++c)
  {
    _ChoiceOfDim[iChoices.DimensionOf(c)] = c;
    _First.push_back(static_cast<std::int32_t>(_Cost.size()));
    for (const auto& point : iChoices.PointsOf(c))
      _Cost.push_back(point.Cost);
  }
  _First.push_back(static_cast<std::int32_t>(_Cost.size()));
  const std::size_t options = _Cost.size();
  for (std::int32_t c = 0; c < _C; ++c)
    _ChoiceOfColumn.insert(_ChoiceOfColumn.end(), _First[c + 1] - _First[c], c);
  _N = static_cast<std::int32_t>(options);
  _R = _S;
  _M = _C + _R;
  _Width = _N + _M;
  _Head.assign(_M, 0);
  std::vector<double> middle(p.Dimensions.size()), row;
  for (std::size_t i = 0; i < p.Dimensions.size(); ++i)
    middle[i] = p.Dimensions[i].Tolerance;
  for (std::int32_t c = 0; c < _C; ++c)
    middle[iChoices.DimensionOf(c)] = iChoices.PointsOf(c)[iChoices.PointsOf(c).size() / 2].Tolerance;
  for (std::int32_t r = 0; r < _S; ++r)
  {
    double lo = 0.0, hi = 0.0, scale = 1.0;
    LawRow(p.Stackups[r], middle.data(), row, lo, hi, scale);
    _A.insert(_A.end(), row.begin(), row.end());
    _Lo.push_back(lo);
    _Hi.push_back(hi);
    _Scale.push_back(scale);
  }
  const auto finite = [](double v) { return std::isfinite(v); };
  _Usable = std::all_of(_A.begin(), _A.end(), finite) && std::all_of(_Cost.begin(), _Cost.end(), finite) &&
    std::none_of(_Lo.begin(), _Lo.end(), [](double v) { return std::isnan(v); }) &&
    std::none_of(_Hi.begin(), _Hi.end(), [](double v) { return std::isnan(v); });
}

// A stack-up's row over the options, scaled so that its largest coefficient is 1, with fixed
// dimensions moved to the sides; a mean-shift row is its tangent at ipT (V(t') >= g . t' for all
// t' >= 0, V being convex and positively homogeneous, so the tangent holds wherever the row does).
void QAVTasSelectionLP::LawRow(const Model::Stackup& iS, const double* ipT, std::vector<double>& oRow, double& oLo,
                               double& oHi, double& oScale) const
{
  const Model& p = _Choices.Problem();
  // Rows without a cone are their own gradient times t; a pure cone row enters squared.
  const QAVTasStackupLaw& law = iS.LawOf();
  const bool squared = !law.HasLinearPart(), band = law.Band();
  const std::vector<double> g = QAVTasProcessRelaxation::Gradient(p, iS, ipT);
  const auto coefficient = [&](std::size_t e, double t)
  {
    const auto [i, w] = iS.Sensitivity[e];
    const double b = squared ? law.TermOf(w, p.Dimensions[i].MeanShift).Cone : 0.0;
    return squared ? (b * t) * (b * t) : g[e] * t;
  };
  oRow.assign(_N, 0.0);
  double fixed = 0.0, largest = 0.0;
  for (std::size_t e = 0; e < iS.Sensitivity.size(); ++e)
  {
    const std::int32_t i = iS.Sensitivity[e].first, c = _ChoiceOfDim[i];
    if (c < 0)
    {
      fixed += coefficient(e, p.Dimensions[i].Tolerance);
      continue;
    }
    for (std::int32_t o = _First[c]; o < _First[c + 1]; ++o)
    {
      oRow[o] += coefficient(e, _Choices.PointsOf(c)[o - _First[c]].Tolerance);
      largest = std::max(largest, std::fabs(oRow[o]));
    }
  }
  oScale = largest > 0.0 ? 1.0 / largest : 1.0;
  for (double& a : oRow)
    a *= oScale;
  const double root = iS.Limit / law.ConeFactor(iS);
  const double hi = band ? iS.Upper : squared ? root * root : iS.Limit;
  oHi = (hi - fixed) * oScale;
  oLo = band ? (iS.Lower - fixed) * oScale : -HUGE_VAL;
}

std::int32_t QAVTasSelectionLP::AddTangents(const std::vector<double>& iT)
{
  const Model& p = _Choices.Problem();
  std::vector<double> row;
  std::int32_t added = 0;
  for (std::size_t j = 0; j < p.Stackups.size(); ++j)
  {
    const Model::Stackup& s = p.Stackups[j];
    if (!Tangent(s) || !(p.StackupValue(j, iT.data()) > s.Limit * (1.0 + 1e-9)))
      continue;
    double lo = 0.0, hi = 0.0, scale = 1.0;
    LawRow(s, iT.data(), row, lo, hi, scale);
    if (std::all_of(row.begin(), row.end(), [](double a) { return std::isfinite(a); }) && std::isfinite(hi))
      AddRow(row, lo, hi), ++added;
  }
  return added;
}

// Any weights w on the original rows give the valid equation sum_j (w A)_j x_j = sum_i w_i s_i. With
// the weights of the leaving row of B^-1 (those of other rows' basic slacks, and the rounding left
// where a pivot found none, set to 0), the coefficients are rebuilt from the data, and the
// equation must have no solution in the variables' box by a margin: then the node holds no
// selection, whatever rounding did in B^-1.
bool QAVTasSelectionLP::Separates(std::int32_t iRow) const
{
  std::vector<double> w(_M);
  double largest = 0.0;
  for (std::int32_t i = 0; i < _M; ++i)
    largest = std::max(largest, std::fabs(w[i] = _Binv[static_cast<std::size_t>(iRow) * _M + i]));
  for (std::int32_t i = 0; i < _M; ++i)
    if ((_Basic[_N + i] && _Head[iRow] != _N + i) || std::fabs(w[i]) <= kPivot * largest)
      w[i] = 0.0;
  double lo = 0.0, hi = 0.0, size = 1.0;
  const auto add = [&](double iCoef, double iLo, double iHi)
  {
    if (iCoef == 0.0)
      return;
    lo += iCoef * (iCoef > 0.0 ? iLo : iHi);
    hi += iCoef * (iCoef > 0.0 ? iHi : iLo);
    for (const double side : {iLo, iHi})
      size += std::isfinite(side) ? std::fabs(iCoef * side) : 0.0;
  };
  for (std::int32_t j = 0; j < _N; ++j)
  {
    double coef = w[_ChoiceOfColumn[j]];
    for (std::int32_t r = 0; r < _R; ++r)
      coef += w[_C + r] * _A[r * _N + j];
    add(coef, _VarLo[j], _VarHi[j]);
  }
  for (std::int32_t i = 0; i < _M; ++i)
    add(-w[i], _VarLo[_N + i], _VarHi[_N + i]);
  return lo > 1e-9 * size || hi < -1e-9 * size;
}

void QAVTasSelectionLP::PricesFrom(const std::vector<double>& iMu, QAVTasProcessRelaxation::Prices& oPrices) const
{
  const Model& p = _Choices.Problem();
  oPrices.Slope.assign(p.Dimensions.size(), 0.0);
  oPrices.Square.assign(p.Dimensions.size(), 0.0);
  oPrices.Constant = 0.0;
  // Cuts and mean-shift tangents are rows over the options, priced per option in their own units.
  const auto generic = [&](std::int32_t r) { return r >= _S || Tangent(p.Stackups[r]); };
  oPrices.Extra.clear();
  for (std::int32_t r = 0; r < _R; ++r)
  {
    const double pi = std::max(0.0, iMu[r] / _Scale[r]);
    if (!generic(r) || !(pi > 0.0) || !std::isfinite(pi))
      continue;
    oPrices.Extra.resize(_N, 0.0);
    oPrices.Constant -= pi * _Hi[r];
    for (std::int32_t j = 0; j < _N; ++j)
      oPrices.Extra[j] += pi * _A[r * _N + j];
  }
  for (std::int32_t r = 0; r < _S; ++r)
  {
    const Model::Stackup& s = p.Stackups[r];
    if (generic(r))
      continue;
    const QAVTasStackupLaw& law = s.LawOf();
    const bool linear = law.Band(), squared = !law.HasLinearPart();
    const double mu = linear ? iMu[r] : std::max(0.0, iMu[r]);
    if (!(mu != 0.0) || !std::isfinite(mu))
      continue;
    const double root = s.Limit / law.ConeFactor(s);
    oPrices.Constant -= linear ? mu * (mu > 0.0 ? s.Upper : s.Lower) : mu * (squared ? root * root : s.Limit);
    for (const auto& [i, w] : s.Sensitivity)
    {
      const QAVTasStackupLaw::Term term = law.TermOf(w, p.Dimensions[i].MeanShift);
      if (!squared)
        oPrices.Slope[i] += mu * term.Linear;
      else if (p.Dimensions[i].Options.empty())
        oPrices.Slope[i] += mu * term.Cone * term.Cone * p.Dimensions[i].Tolerance; // a fixed t: mu b^2 t^2
      else
        oPrices.Square[i] += mu * term.Cone * term.Cone;
    }
  }
}

void QAVTasSelectionLP::Report(std::vector<double>& oT, QAVTasProcessRelaxation::Prices& oPrices)
{
  std::vector<double> mu(_R);
  for (std::int32_t r = 0; r < _R; ++r)
    mu[r] = -_D[_N + _C + r] * _Scale[r];
  PricesFrom(mu, oPrices);
  oT.assign(_Choices.Problem().Dimensions.size(), 0.0);
  std::vector<double>& x = _X;
  x.resize(_N);
  for (std::int32_t j = 0; j < _N; ++j)
    x[j] = _AtUpper[j] ? _VarHi[j] : _VarLo[j];
  for (std::int32_t i = 0; i < _M; ++i)
    if (_Head[i] < _N)
      x[_Head[i]] = std::clamp(_Value[i], 0.0, 1.0);
  for (std::int32_t j = 0; j < _N; ++j)
  {
    const std::int32_t c = _ChoiceOfColumn[j];
    oT[_Choices.DimensionOf(c)] += std::clamp(x[j], 0.0, 1.0) * _Choices.PointsOf(c)[j - _First[c]].Tolerance;
  }
}

// Warm from the last basis, whatever node it solved; a warm start that fails is retried cold.
QAVTasSelectionLP::Outcome QAVTasSelectionLP::Solve(const Runs& iRuns, std::vector<double>& oT,
                                                    QAVTasProcessRelaxation::Prices& oPrices)
{
  bool cold = !_Ready || (_Pivots > kRefactor && !Refactor());
  if (cold)
    Build(iRuns);
  Restrict(iRuns);
  Outcome outcome = Iterate();
  if (outcome == Outcome::Unknown && !cold)
  {
    Build(iRuns);
    Restrict(iRuns);
    outcome = Iterate();
  }
  _Ready = outcome != Outcome::Unknown;
  if (outcome == Outcome::Optimal)
    Report(oT, oPrices);
  return outcome;
}

#include "QAVTasSelectionLP.h"

#include <algorithm>
#include <cmath>

using Model = QAVTasAllocationProblem;
using Runs = QAVTasProcessRelaxation::Runs;

namespace
{
const double kFeasible = 1e-9, kPivot = 1e-9, kDual = 1e-12;
// A tableau grows denser with every pivot, so the last node's basis helps only a node near it (its
// sibling, a strong-branching probe) and only for a few solves in a row.
const std::int32_t kRebuild = 16, kNear = 4;
const double kLargest = 4194304.0; // tableau entries (32 MiB); larger selections use the envelope

// A row's coefficient of a tolerance t under its law (the linear form of the 0-1 program).
double Coefficient(Model::Law iLaw, double iS, double iT)
{
  switch (iLaw)
  {
    case Model::Law::Rss:
      return (iS * iT) * (iS * iT);
    case Model::Law::Linear:
      return iS * iT;
    default:
      return std::fabs(iS) * iT;
  }
}
} // namespace

bool QAVTasSelectionLP::Applies(const QAVTasProcessRelaxation& iChoices)
{
  const Model& p = iChoices.Problem();
  double options = 0.0;
  for (std::size_t c = 0; c < iChoices.Choices(); ++c)
    options += static_cast<double>(iChoices.PointsOf(c).size());
  const double rows = static_cast<double>(iChoices.Choices() + p.Stackups.size());
  return !iChoices.HasContinuous() && rows * (rows + options) <= kLargest &&
    std::none_of(p.Stackups.begin(), p.Stackups.end(),
                 [](const Model::Stackup& s) { return s.Rule == Model::Law::MeanShift; });
}

QAVTasSelectionLP::QAVTasSelectionLP(const QAVTasProcessRelaxation& iChoices) : _Choices(iChoices)
{
  const Model& p = iChoices.Problem();
  _C = static_cast<std::int32_t>(iChoices.Choices());
  _S = static_cast<std::int32_t>(p.Stackups.size());
  std::vector<std::int32_t> choiceOf(p.Dimensions.size(), -1);
  for (std::int32_t c = 0; c < _C; ++c)
  {
    choiceOf[iChoices.DimensionOf(c)] = c;
    _First.push_back(static_cast<std::int32_t>(_Cost.size()));
    for (const auto& point : iChoices.PointsOf(c))
      _Cost.push_back(point.Cost);
  }
  _First.push_back(static_cast<std::int32_t>(_Cost.size()));
  const std::size_t options = _Cost.size();
  for (std::int32_t c = 0; c < _C; ++c)
    _ChoiceOfColumn.insert(_ChoiceOfColumn.end(), _First[c + 1] - _First[c], c);
  _N = static_cast<std::int32_t>(options);
  _M = _C + _S;
  _Width = _N + _M;
  _Head.assign(_M, 0);
  _A.assign(options * _S, 0.0);
  for (std::int32_t r = 0; r < _S; ++r)
  {
    const Model::Stackup& s = p.Stackups[r];
    double* row = &_A[r * options];
    double fixed = 0.0, largest = 0.0;
    for (const auto& [i, w] : s.Sensitivity)
    {
      const std::int32_t c = choiceOf[i];
      if (c < 0)
      {
        fixed += Coefficient(s.Rule, w, p.Dimensions[i].Tolerance);
        continue;
      }
      for (std::int32_t o = _First[c]; o < _First[c + 1]; ++o)
      {
        row[o] += Coefficient(s.Rule, w, iChoices.PointsOf(c)[o - _First[c]].Tolerance);
        largest = std::max(largest, std::fabs(row[o]));
      }
    }
    const double scale = largest > 0.0 ? 1.0 / largest : 1.0;
    for (std::size_t o = 0; o < options; ++o)
      row[o] *= scale;
    const double root = s.Limit / s.Factor;
    const double hi = s.Rule == Model::Law::Linear ? s.Upper : s.Rule == Model::Law::Rss ? root * root : s.Limit;
    _Hi.push_back((hi - fixed) * scale);
    _Lo.push_back(s.Rule == Model::Law::Linear ? (s.Lower - fixed) * scale : -HUGE_VAL);
    _Scale.push_back(scale);
  }
}

// Each choice's cheapest option in the node is basic in its convexity row, every stack-up's slack
// in its own: with K the keys' row coefficients, B^-1 = [[I, 0], [K, -I]] and the tableau is written
// directly. It holds every option; a node fixes those outside its runs at 0 (Restrict).
void QAVTasSelectionLP::Build(const Runs& iRuns)
{
  std::vector<std::int32_t> key(_C);
  for (std::int32_t c = 0; c < _C; ++c)
  {
    key[c] = _First[c] + iRuns.Lo[c];
    for (std::int32_t o = key[c]; o <= _First[c] + iRuns.Hi[c]; ++o)
      key[c] = _Cost[o] < _Cost[key[c]] ? o : key[c];
  }
  _T.assign(static_cast<std::size_t>(_M) * _Width, 0.0);
  _D.assign(_Width, 0.0);
  _VarLo.assign(_Width, 0.0);
  _VarHi.assign(_Width, 1.0);
  _AtUpper.assign(_Width, 0);
  _Basic.assign(_Width, false);
  _Side.assign(_Width, 0.0);
  for (std::int32_t j = 0; j < _N; ++j)
  {
    const std::int32_t c = _ChoiceOfColumn[j];
    At(c, j) = 1.0;
    for (std::int32_t r = 0; r < _S; ++r)
      At(_C + r, j) = _A[r * _N + key[c]] - _A[r * _N + j];
    _D[j] = _Cost[j] - _Cost[key[c]];
    if (j == key[c])
      _Head[c] = j, _Basic[j] = true;
  }
  for (std::int32_t c = 0; c < _C; ++c)
  {
    At(c, _N + c) = -1.0;
    for (std::int32_t r = 0; r < _S; ++r)
      At(_C + r, _N + c) = -_A[r * _N + key[c]];
    _D[_N + c] = _Cost[key[c]];
    _VarLo[_N + c] = 1.0;
    _AtUpper[_N + c] = 1;
  }
  for (std::int32_t r = 0; r < _S; ++r)
  {
    const std::int32_t v = _N + _C + r;
    At(_C + r, v) = 1.0;
    _VarLo[v] = _Lo[r];
    _VarHi[v] = _Hi[r];
    _Head[_C + r] = v;
    _Basic[v] = true;
  }
  _Solves = 0;
}

// Options outside the runs are fixed at 0; the others sit on the side their reduced cost asks for,
// which keeps any basis dual feasible: the last node's basis is where the next one starts.
void QAVTasSelectionLP::Restrict(const Runs& iRuns)
{
  for (std::int32_t j = 0; j < _N; ++j)
  {
    const std::int32_t c = _ChoiceOfColumn[j], k = j - _First[c];
    const bool in = k >= iRuns.Lo[c] && k <= iRuns.Hi[c];
    _VarHi[j] = in ? 1.0 : 0.0;
    _AtUpper[j] = in && !_Basic[j] && _D[j] < 0.0;
    _Side[j] = !in || _Basic[j] ? 0.0 : _AtUpper[j] ? 1.0 : -1.0;
  }
  Values();
}

// Basic values from the nonbasic ones (the rows read B x_B + N x_N = 0), afresh each time.
void QAVTasSelectionLP::Values()
{
  _Value.assign(_M, 0.0);
  for (std::int32_t v = 0; v < _Width; ++v)
  {
    const double x = _AtUpper[v] ? _VarHi[v] : _VarLo[v];
    if (_Basic[v] || x == 0.0)
      continue;
    for (std::int32_t i = 0; i < _M; ++i)
      _Value[i] -= At(i, v) * x;
  }
}

std::int32_t QAVTasSelectionLP::Leaving() const
{
  std::int32_t row = -1;
  double worst = kFeasible;
  for (std::int32_t i = 0; i < _M; ++i)
  {
    const std::int32_t h = _Head[i];
    const double off = std::max(_VarLo[h] - _Value[i], _Value[i] - _VarHi[h]);
    if (off > worst)
      worst = off, row = i;
  }
  return row;
}

// Harris's two passes over the row's nonzeros: the smallest ratio with the dual tolerance, then the
// largest pivot within it.
std::int32_t QAVTasSelectionLP::Entering(std::int32_t iRow)
{
  // How x_p moves per unit of v moving off its side, in the direction x_p must go.
  const double toward = _Value[iRow] < _VarLo[_Head[iRow]] ? 1.0 : -1.0;
  const double* row = &_T[static_cast<std::size_t>(iRow) * _Width];
  _Eligible.clear();
  double bound = HUGE_VAL;
  for (std::int32_t v = 0; v < _Width; ++v)
    if (row[v] != 0.0 && _Side[v] != 0.0)
    {
      const double slope = toward * _Side[v] * row[v];
      if (slope > kPivot)
      {
        _Eligible.push_back(v);
        bound = std::min(bound, (std::fabs(_D[v]) + kDual) / slope);
      }
    }
  std::int32_t pick = -1;
  double largest = 0.0;
  for (const std::int32_t v : _Eligible)
  {
    const double slope = toward * _Side[v] * row[v];
    if (std::fabs(_D[v]) <= bound * slope && slope > largest)
      largest = slope, pick = v;
  }
  return pick;
}

// The entering variable moves by delta until the leaving one sits on the side it broke; the basic
// values follow its column.
void QAVTasSelectionLP::Pivot(std::int32_t iRow, std::int32_t iCol)
{
  const std::int32_t leaving = _Head[iRow];
  const bool upper = _Value[iRow] > _VarHi[leaving];
  const double delta = (_Value[iRow] - (upper ? _VarHi[leaving] : _VarLo[leaving])) / At(iRow, iCol);
  for (std::int32_t i = 0; i < _M; ++i)
    _Value[i] -= At(i, iCol) * delta;
  _Value[iRow] = (_AtUpper[iCol] ? _VarHi[iCol] : _VarLo[iCol]) + delta;
  _AtUpper[leaving] = upper;
  _Side[leaving] = upper ? 1.0 : -1.0;
  _Side[iCol] = 0.0;
  _Basic[leaving] = false;
  _Basic[iCol] = true;
  _Head[iRow] = iCol;
  // The tableau stays sparse (a choice sits in few rows): eliminate along the pivot row's nonzeros.
  double* pivotRow = &_T[static_cast<std::size_t>(iRow) * _Width];
  const double inverse = 1.0 / pivotRow[iCol];
  _Eligible.clear();
  for (std::int32_t v = 0; v < _Width; ++v)
    if (pivotRow[v] != 0.0)
      pivotRow[v] *= inverse, _Eligible.push_back(v);
  pivotRow[iCol] = 1.0;
  for (std::int32_t i = 0; i < _M; ++i)
  {
    double* row = &_T[static_cast<std::size_t>(i) * _Width];
    const double f = row[iCol];
    if (i == iRow || f == 0.0)
      continue;
    for (const std::int32_t v : _Eligible)
      row[v] -= f * pivotRow[v];
    row[iCol] = 0.0;
  }
  const double f = _D[iCol];
  for (const std::int32_t v : _Eligible)
    _D[v] -= f * pivotRow[v];
  _D[iCol] = 0.0;
}

// Any weights w on the original rows give the valid equation sum_j (w A)_j x_j = sum_i w_i s_i. With
// the weights of the tableau row (minus its slack entries; those of other rows' basic slacks, and
// the rounding left where a pivot found none, set to 0), the coefficients are rebuilt from the data, and the equation must have no
// solution in the variables' box by a margin: then the node holds no selection, whatever rounding
// did in the tableau.
bool QAVTasSelectionLP::Separates(std::int32_t iRow) const
{
  std::vector<double> w(_M);
  double largest = 0.0;
  for (std::int32_t i = 0; i < _M; ++i)
    largest = std::max(largest, std::fabs(w[i] = -At(iRow, _N + i)));
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
    for (std::int32_t r = 0; r < _S; ++r)
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
  for (std::int32_t r = 0; r < _S; ++r)
  {
    const Model::Stackup& s = p.Stackups[r];
    const bool linear = s.Rule == Model::Law::Linear;
    const double mu = linear ? iMu[r] : std::max(0.0, iMu[r]);
    if (!(mu != 0.0) || !std::isfinite(mu))
      continue;
    const double root = s.Limit / s.Factor;
    oPrices.Constant -=
      linear ? mu * (mu > 0.0 ? s.Upper : s.Lower) : mu * (s.Rule == Model::Law::Rss ? root * root : s.Limit);
    for (const auto& [i, w] : s.Sensitivity)
    {
      if (s.Rule != Model::Law::Rss)
        oPrices.Slope[i] += mu * (linear ? w : std::fabs(w));
      else if (p.Dimensions[i].Options.empty())
        oPrices.Slope[i] += mu * w * w * p.Dimensions[i].Tolerance; // a fixed t: slope * t is mu s^2 t^2
      else
        oPrices.Square[i] += mu * w * w;
    }
  }
}

QAVTasSelectionLP::Outcome QAVTasSelectionLP::Iterate()
{
  for (std::int32_t iteration = 0; iteration < 20 * _Width; ++iteration)
  {
    std::int32_t row = Leaving();
    if (row < 0)
    {
      Values();
      row = Leaving();
    }
    if (row < 0)
      return Outcome::Optimal;
    const std::int32_t col = Entering(row);
    if (col < 0)
      return Separates(row) ? Outcome::Infeasible : Outcome::Unknown;
    Pivot(row, col);
  }
  return Outcome::Unknown;
}

void QAVTasSelectionLP::Report(std::vector<double>& oT, QAVTasProcessRelaxation::Prices& oPrices) const
{
  std::vector<double> mu(_S);
  for (std::int32_t r = 0; r < _S; ++r)
    mu[r] = -_D[_N + _C + r] * _Scale[r];
  PricesFrom(mu, oPrices);
  oT.assign(_Choices.Problem().Dimensions.size(), 0.0);
  std::vector<double> x(_N);
  for (std::int32_t j = 0; j < _N; ++j)
    x[j] = _AtUpper[j] ? _VarHi[j] : _VarLo[j];
  for (std::int32_t i = 0; i < _M; ++i)
    if (_Head[i] < _N)
      x[_Head[i]] = _Value[i];
  for (std::int32_t j = 0; j < _N; ++j)
  {
    const std::int32_t c = _ChoiceOfColumn[j];
    oT[_Choices.DimensionOf(c)] += std::clamp(x[j], 0.0, 1.0) * _Choices.PointsOf(c)[j - _First[c]].Tolerance;
  }
}

// Warm from the last basis when the node is near it; a warm start that fails is retried cold.
QAVTasSelectionLP::Outcome QAVTasSelectionLP::Solve(const Runs& iRuns, std::vector<double>& oT,
                                                    QAVTasProcessRelaxation::Prices& oPrices)
{
  std::int32_t moved = 0;
  for (std::int32_t c = 0; c < _C && _Solves > 0; ++c)
    moved += iRuns.Lo[c] != _Last.Lo[c] || iRuns.Hi[c] != _Last.Hi[c];
  _Last = iRuns;
  const bool warm = _Solves > 0 && _Solves < kRebuild && moved <= kNear;
  if (!warm)
    Build(iRuns);
  ++_Solves;
  Restrict(iRuns);
  Outcome outcome = Iterate();
  if (outcome == Outcome::Unknown && warm)
  {
    Build(iRuns);
    ++_Solves;
    Restrict(iRuns);
    outcome = Iterate();
  }
  if (outcome == Outcome::Unknown)
    _Solves = 0;
  if (outcome == Outcome::Optimal)
    Report(oT, oPrices);
  return outcome;
}

// The bounded dual simplex of QAVTasSelectionLP, in revised form.
//
// Problem: minimise c x over the options x (bounds [0, 1], or [0, 0] outside the node) and one slack
// per row, s_i = a_i x, whose bounds are the row's sides (a convexity row's are [1, 1]). The rows
// read [A | -I] (x, s) = 0, so with B the basic columns x_B = -B^-1 N x_N. Duals y = c_B B^-1 give
// the reduced costs d_v = c_v - y A_v; a basis is dual feasible when every nonbasic v sits on the
// side d_v asks for (lower when d_v > 0, upper when d_v < 0), and optimal when x_B is also inside
// its bounds. Each iteration (Iterate):
//   leaving  - the basic variable furthest outside its box (Leaving); its row r of B^-1 prices
//              every column, alpha_v = (B^-1)_r A_v;
//   entering - the dual ratio test (Entering): among nonbasic v whose move off its side pushes
//              x_r toward its box, the one whose d_v reaches 0 first, |d_v| / |alpha_v|, with
//              Harris's tolerance choosing the largest |alpha_v| among near-ties; none means row r
//              is a dual ray, and the node is infeasible once Separates confirms it from the data;
//   pivot    - u = B^-1 A_q; x_q moves by delta = (x_r - bound) / u_r so x_r lands on the bound it
//              broke; d_v -= (d_q / alpha_q) alpha_v keeps dual feasibility; and B^-1 is updated by
//              one Gauss-Jordan step (the product form B'^-1 = E B^-1): row r /= u_r, then every
//              other row i -= u_i * (new row r).
// Each pivot moves one variable: there is no bound-flipping (long-step) ratio test.
//
// Why dense: the LP has at most 600 rows (Applies), so a pivot at M^2 costs little whatever the
// fill-in; the pivot row is read from B^-1 without a solve; any basis can start the next node; and
// bordering B^-1 adds or drops a cut row in place. Rounding accumulates through the updates, so
// B^-1 is rebuilt from the basic columns (Refactor: Gauss-Jordan with partial pivoting) after 100
// pivots, x_B is recomputed afresh before optimality is declared, and a singular or failed warm
// basis falls back to the cold start (Build). Nothing returned rests on B^-1 being exact: the
// caller's bound is a Lagrangian at the returned prices, and infeasibility needs a Farkas row.
#include "QAVTasSelectionLP.h"

#include <algorithm>
#include <cmath>

using Runs = QAVTasProcessRelaxation::Runs;

namespace
{
const double kFeasible = 1e-9, kPivot = 1e-9, kDual = 1e-12, kSingular = 1e-11;
} // namespace

// Each option's nonzeros: its convexity row and the rows of _A.
void QAVTasSelectionLP::Columns()
{
  _ColStart.assign(1, 0);
  _ColRow.clear();
  _ColVal.clear();
  for (std::int32_t j = 0; j < _N; ++j)
  {
    _ColRow.push_back(_ChoiceOfColumn[j]);
    _ColVal.push_back(1.0);
    for (std::int32_t r = 0; r < _R; ++r)
      if (const double a = _A[static_cast<std::size_t>(r) * _N + j]; a != 0.0)
        _ColRow.push_back(_C + r), _ColVal.push_back(a);
    _ColStart.push_back(static_cast<std::int32_t>(_ColRow.size()));
  }
}

double QAVTasSelectionLP::RowTimesColumn(const double* ipRho, std::int32_t iV) const
{
  if (iV >= _N)
    return -ipRho[iV - _N];
  double sum = 0.0;
  for (std::int32_t e = _ColStart[iV]; e < _ColStart[iV + 1]; ++e)
    sum += ipRho[_ColRow[e]] * _ColVal[e];
  return sum;
}

void QAVTasSelectionLP::InverseTimesColumn(std::int32_t iV, double* opU) const
{
  std::fill(opU, opU + _M, 0.0);
  if (iV >= _N)
  {
    for (std::int32_t k = 0; k < _M; ++k)
      opU[k] = -_Binv[static_cast<std::size_t>(k) * _M + (iV - _N)];
    return;
  }
  for (std::int32_t e = _ColStart[iV]; e < _ColStart[iV + 1]; ++e)
    for (std::int32_t k = 0; k < _M; ++k)
      opU[k] += _ColVal[e] * _Binv[static_cast<std::size_t>(k) * _M + _ColRow[e]];
}

// y = c_B B^-1, then every reduced cost.
void QAVTasSelectionLP::Duals()
{
  std::vector<double>& y = _Z;
  y.assign(_M, 0.0);
  for (std::int32_t i = 0; i < _M; ++i)
    if (const double c = _Head[i] < _N ? _Cost[_Head[i]] : 0.0; c != 0.0)
      for (std::int32_t k = 0; k < _M; ++k)
        y[k] += c * _Binv[static_cast<std::size_t>(i) * _M + k];
  for (std::int32_t v = 0; v < _Width; ++v)
    _D[v] = _Basic[v] ? 0.0 : (v < _N ? _Cost[v] : 0.0) - RowTimesColumn(y.data(), v);
}

// Each choice's cheapest option in the node is basic in its convexity row and every other row's
// slack in its own: with K the keys' row coefficients B = B^-1 = [[I, 0], [K, -I]].
void QAVTasSelectionLP::Build(const Runs& iRuns)
{
  Columns();
  _Binv.assign(static_cast<std::size_t>(_M) * _M, 0.0);
  _D.assign(_Width, 0.0);
  _VarLo.assign(_Width, 0.0);
  _VarHi.assign(_Width, 1.0);
  _AtUpper.assign(_Width, 0);
  _Basic.assign(_Width, false);
  _Side.assign(_Width, 0.0);
  _Head.assign(_M, 0);
  for (std::int32_t c = 0; c < _C; ++c)
  {
    std::int32_t key = _First[c] + iRuns.Lo[c];
    for (std::int32_t o = key; o <= _First[c] + iRuns.Hi[c]; ++o)
      key = _Cost[o] < _Cost[key] ? o : key;
    _Head[c] = key;
    _Basic[key] = true;
    _Binv[static_cast<std::size_t>(c) * _M + c] = 1.0;
    for (std::int32_t r = 0; r < _R; ++r)
      _Binv[static_cast<std::size_t>(_C + r) * _M + c] = _A[static_cast<std::size_t>(r) * _N + key];
    _VarLo[_N + c] = 1.0;
    _AtUpper[_N + c] = 1;
  }
  for (std::int32_t r = 0; r < _R; ++r)
  {
    const std::int32_t v = _N + _C + r;
    _Binv[static_cast<std::size_t>(_C + r) * _M + _C + r] = -1.0;
    _VarLo[v] = _Lo[r];
    _VarHi[v] = _Hi[r];
    _Head[_C + r] = v;
    _Basic[v] = true;
  }
  Duals();
  _Pivots = 0;
  _Ready = true;
}

// B^-1 afresh from the basic columns (Gauss-Jordan with partial pivoting); false when singular.
// [B | I] is reduced to [I | B^-1]: for each column the largest remaining entry is swapped onto the
// diagonal (a pivot at or below 1e-11 means B is numerically singular), its row is scaled to 1, and
// the column is cleared from every other row. Duals and reduced costs are then recomputed from it.
bool QAVTasSelectionLP::Refactor()
{
  const std::size_t m = _M;
  std::vector<double> b(m * m, 0.0);
  for (std::size_t i = 0; i < m; ++i)
  {
    const std::int32_t v = _Head[i];
    if (v >= _N)
      b[(v - _N) * m + i] = -1.0;
    else
      for (std::int32_t e = _ColStart[v]; e < _ColStart[v + 1]; ++e)
        b[static_cast<std::size_t>(_ColRow[e]) * m + i] = _ColVal[e];
  }
  std::vector<double>& inv = _Binv;
  inv.assign(m * m, 0.0);
  for (std::size_t i = 0; i < m; ++i)
    inv[i * m + i] = 1.0;
  for (std::size_t col = 0; col < m; ++col)
  {
    std::size_t pivot = col;
    for (std::size_t i = col + 1; i < m; ++i)
      pivot = std::fabs(b[i * m + col]) > std::fabs(b[pivot * m + col]) ? i : pivot;
    if (!(std::fabs(b[pivot * m + col]) > kSingular))
      return false;
    std::swap_ranges(b.begin() + pivot * m, b.begin() + pivot * m + m, b.begin() + col * m);
    std::swap_ranges(inv.begin() + pivot * m, inv.begin() + pivot * m + m, inv.begin() + col * m);
    const double scale = 1.0 / b[col * m + col];
    for (std::size_t k = 0; k < m; ++k)
      b[col * m + k] *= scale, inv[col * m + k] *= scale;
    for (std::size_t i = 0; i < m; ++i)
      if (const double f = b[i * m + col]; i != col && f != 0.0)
        for (std::size_t k = 0; k < m; ++k)
          b[i * m + k] -= f * b[col * m + k], inv[i * m + k] -= f * inv[col * m + k];
  }
  Duals();
  _Pivots = 0;
  return true;
}

// Options outside the runs are fixed at 0; the others sit on the side their reduced cost asks for.
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

// x_B = -B^-1 N x_N, afresh (clears the drift of the incremental updates in Pivot).
void QAVTasSelectionLP::Values()
{
  _Z.assign(_M, 0.0);
  for (std::int32_t v = 0; v < _Width; ++v)
  {
    const double x = _AtUpper[v] ? _VarHi[v] : _VarLo[v];
    if (_Basic[v] || x == 0.0)
      continue;
    if (v >= _N)
      _Z[v - _N] -= x;
    else
      for (std::int32_t e = _ColStart[v]; e < _ColStart[v + 1]; ++e)
        _Z[_ColRow[e]] += _ColVal[e] * x;
  }
  _Value.assign(_M, 0.0);
  for (std::int32_t i = 0; i < _M; ++i)
  {
    const double* row = &_Binv[static_cast<std::size_t>(i) * _M];
    double sum = 0.0;
    for (std::int32_t k = 0; k < _M; ++k)
      sum += row[k] * _Z[k];
    _Value[i] = -sum;
  }
}

// The dual simplex's leaving row: the basic variable furthest outside its bounds, beyond 1e-9;
// -1 when x_B is primal feasible.
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

// The pivot row alpha_v = (B^-1)_r A_v of every nonbasic v (the reduced costs need them all), then
// Harris's two passes: the smallest ratio with the dual tolerance, the largest pivot within it.
std::int32_t QAVTasSelectionLP::Entering(std::int32_t iRow)
{
  // How x_p moves per unit of v moving off its side, in the direction x_p must go.
  const double toward = _Value[iRow] < _VarLo[_Head[iRow]] ? 1.0 : -1.0;
  const double* rho = &_Binv[static_cast<std::size_t>(iRow) * _M];
  _Alpha.assign(_Width, 0.0);
  _Eligible.clear();
  double bound = HUGE_VAL;
  for (std::int32_t v = 0; v < _Width; ++v)
  {
    if (_Basic[v])
      continue;
    _Alpha[v] = RowTimesColumn(rho, v);
    const double slope = toward * _Side[v] * _Alpha[v];
    if (_Side[v] != 0.0 && slope > kPivot)
    {
      _Eligible.push_back(v);
      bound = std::min(bound, (std::fabs(_D[v]) + kDual) / slope);
    }
  }
  std::int32_t pick = -1;
  double largest = 0.0;
  for (const std::int32_t v : _Eligible)
  {
    const double slope = toward * _Side[v] * _Alpha[v];
    if (std::fabs(_D[v]) <= bound * slope && slope > largest)
      largest = slope, pick = v;
  }
  return pick;
}

// The entering variable moves by delta until the leaving one sits on the side it broke. The update
// of B^-1 is the Gauss-Jordan step on column u = B^-1 A_q, pivot u_r (nonzero: Entering asked for
// |alpha_q| > 1e-9, and u_r = alpha_q); the leaving variable becomes nonbasic on that bound with
// d = -d_q / alpha_q, of the sign that side needs.
void QAVTasSelectionLP::Pivot(std::int32_t iRow, std::int32_t iCol)
{
  _U.resize(_M);
  InverseTimesColumn(iCol, _U.data());
  const double pivot = _U[iRow];
  const std::int32_t leaving = _Head[iRow];
  const bool upper = _Value[iRow] > _VarHi[leaving];
  const double delta = (_Value[iRow] - (upper ? _VarHi[leaving] : _VarLo[leaving])) / pivot;
  for (std::int32_t i = 0; i < _M; ++i)
    _Value[i] -= _U[i] * delta;
  _Value[iRow] = (_AtUpper[iCol] ? _VarHi[iCol] : _VarLo[iCol]) + delta;
  const double ratio = _D[iCol] / _Alpha[iCol];
  for (std::int32_t v = 0; v < _Width; ++v)
    if (!_Basic[v])
      _D[v] -= ratio * _Alpha[v];
  _D[iCol] = 0.0;
  _D[leaving] = -ratio;
  double* pivotRow = &_Binv[static_cast<std::size_t>(iRow) * _M];
  for (std::int32_t k = 0; k < _M; ++k)
    pivotRow[k] /= pivot;
  for (std::int32_t i = 0; i < _M; ++i)
    if (const double f = _U[i]; i != iRow && f != 0.0)
    {
      double* row = &_Binv[static_cast<std::size_t>(i) * _M];
      for (std::int32_t k = 0; k < _M; ++k)
        row[k] -= f * pivotRow[k];
    }
  _AtUpper[leaving] = upper;
  _Side[leaving] = upper ? 1.0 : -1.0;
  _Side[iCol] = 0.0;
  _Basic[leaving] = false;
  _Basic[iCol] = true;
  _Head[iRow] = iCol;
  ++_Pivots;
}

// Optimal once no basic variable is out of bounds after a fresh x_B; Infeasible only when the
// dual ray's row separates; Unknown after 20 pivots per column or an unconfirmed ray.
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

// With the new row's slack basic, B' = [[B, 0], [a_B, -1]] and B'^-1 = [[B^-1, 0], [a_B B^-1, -1]]:
// y and every reduced cost stay as they were, so the basis still starts the next solve.
void QAVTasSelectionLP::AddRow(const std::vector<double>& iCoefficients, double iLo, double iHi)
{
  _A.insert(_A.end(), iCoefficients.begin(), iCoefficients.end());
  _Lo.push_back(iLo);
  _Hi.push_back(iHi);
  _Scale.push_back(1.0);
  ++_R;
  const std::int32_t m = _M++;
  ++_Width;
  if (!_Ready)
    return;
  std::vector<double> inv(static_cast<std::size_t>(_M) * _M, 0.0);
  for (std::int32_t i = 0; i < m; ++i)
    std::copy_n(&_Binv[static_cast<std::size_t>(i) * m], m, &inv[static_cast<std::size_t>(i) * _M]);
  for (std::int32_t i = 0; i < m; ++i)
    if (const double a = _Head[i] < _N ? iCoefficients[_Head[i]] : 0.0; a != 0.0)
      for (std::int32_t k = 0; k < m; ++k)
        inv[static_cast<std::size_t>(m) * _M + k] += a * _Binv[static_cast<std::size_t>(i) * m + k];
  inv[static_cast<std::size_t>(m) * _M + m] = -1.0;
  _Binv.swap(inv);
  _Head.push_back(_N + m);
  _D.push_back(0.0);
  _VarLo.push_back(iLo);
  _VarHi.push_back(iHi);
  _AtUpper.push_back(0);
  _Basic.push_back(true);
  _Side.push_back(0.0);
  Columns();
}

// An added row whose slack is basic leaves B^-1 less its slack's position and its own column.
std::int32_t QAVTasSelectionLP::DropSlackRows()
{
  if (!_Ready)
    return 0;
  std::vector<std::int32_t> row(_M, -1); // new index of each row
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < _M; ++i)
    if (i < _C + _S || !_Basic[_N + i])
      row[i] = kept++;
  const std::int32_t dropped = _M - kept;
  if (dropped == 0)
    return 0;
  std::vector<double> inv;
  std::vector<std::int32_t> head;
  for (std::int32_t k = 0; k < _M; ++k)
  {
    const std::int32_t v = _Head[k];
    if (v >= _N && row[v - _N] < 0)
      continue;
    head.push_back(v < _N ? v : _N + row[v - _N]);
    for (std::int32_t i = 0; i < _M; ++i)
      if (row[i] >= 0)
        inv.push_back(_Binv[static_cast<std::size_t>(k) * _M + i]);
  }
  const auto keep = [&](auto& ioValues)
  {
    std::int32_t to = _N;
    for (std::int32_t i = 0; i < _M; ++i)
      if (row[i] >= 0)
        ioValues[to++] = ioValues[_N + i];
    ioValues.resize(to);
  };
  for (std::int32_t i = _C; i < _M; ++i)
    if (row[i] >= 0)
    {
      const std::int32_t from = i - _C, to = row[i] - _C;
      std::copy_n(_A.begin() + static_cast<std::ptrdiff_t>(from) * _N, _N,
                  _A.begin() + static_cast<std::ptrdiff_t>(to) * _N);
      _Lo[to] = _Lo[from], _Hi[to] = _Hi[from], _Scale[to] = _Scale[from];
    }
  keep(_D), keep(_VarLo), keep(_VarHi), keep(_AtUpper), keep(_Basic), keep(_Side);
  _R -= dropped;
  _M = kept;
  _Width = _N + _M;
  _A.resize(static_cast<std::size_t>(_R) * _N);
  _Lo.resize(_R), _Hi.resize(_R), _Scale.resize(_R);
  _Binv.swap(inv);
  _Head.swap(head);
  Columns();
  return dropped;
}

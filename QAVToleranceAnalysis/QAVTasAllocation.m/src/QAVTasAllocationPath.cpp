// One path-following iteration (Run), with the KKT system and its Newton step as in the header:
//   1. eta = sum lambda (-h) over the m' constraints with lambda != 0; H is assembled (Matrix, table
//      z's eliminated by their 2 x 2 Schur complements) and factored once.
//   2. Predictor (Predict): the Newton step to mu = 0, cut to stay feasible, gives eta_aff; the
//      centring target is mu = sigma eta / m' with sigma = (eta_aff / eta)^3, clamped to
//      [0.01, 1] so mu falls at most a hundredfold per iteration.
//   3. Corrector: the right-hand side for mu plus xi_c = dlambda_c dh_c (the product the
//      linearisation of lambda (-h) = mu drops) and, for cone rows, lambda_r times the curvature
//      g_r(t + dt) - g_r(t) - grad g_r.dt its linearisation misses (Correct); the factor is reused.
//   4. Step (Step): the largest step <= 1 that keeps lambda at least 1% of the way from 0 and
//      linear constraints 1% of the way from their boundary, then halved until every h < 0 keeps
//      1e-3 of its slack and the KKT residual norm falls by 1% per unit step (accepted anyway
//      on the 40th try). A corrected step halved below 10% of its longest is dropped for the
//      plain Newton step to mu, a descent direction of the residual; when neither finds a step, Stalled.
//   5. Certify: phase one is Feasible once s < 0, Infeasible once the Farkas bound at lambda is
//      positive; phase two stops once cost - LowerBound (the Lagrangian bound at lambda, valid for
//      any lambda >= 0) is within gap * max(1, |cost|). The path's own residuals are never the stopping test.
// Phase one adds s (min s, rows g_r - s <= 0), a dense border of H solved by block elimination:
// ds = (r_s - b.H^-1 r_t) / (h_ss - b.H^-1 b), then dt = H^-1 r_t - H^-1 b ds.
#include "QAVTasAllocationPath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
using Problem = QAVTasAllocationProblem;
const double kToBoundary = 0.99;   // fraction of the way to lambda = 0 a step may go
const double kSigmaFloor = 1e-2;   // smallest factor by which mu may fall in one step
const double kKeep = 1e-3;         // least fraction of its slack a constraint keeps in one step
const double kDecrease = 0.01;     // sufficient fall of the residual norm, per unit step
const std::int32_t kHalvings = 40; // of one step, before it is taken as it is
// A corrected step halved below this share of its longest gives way to the plain Newton step.
const double kShortStep = 0.1;
} // namespace

QAVTasAllocationPath::QAVTasAllocationPath(const QAVTasAllocationRows& iRows, QAVTasAllocationNewton& ioNewton,
                                           bool iPhaseOne)
  : _Rows(iRows), _Newton(ioNewton), _PhaseOne(iPhaseOne), _N(iRows.Variables()), _R(iRows.Rows())
{
  _TableOf.assign(static_cast<std::size_t>(_N), -1);
  std::int32_t tables = 0;
  for (std::int32_t v = 0; v < _N && !_PhaseOne; ++v)
  {
    const Problem::Cost& cost = iRows.Costs[v];
    if (cost.Model != Problem::CostModel::Table || cost.Points.size() < 2)
      continue;
    _TableOf[v] = tables++;
    for (std::size_t k = 0; k + 1 < cost.Points.size(); ++k)
    {
      const auto& p = cost.Points[k];
      const auto& q = cost.Points[k + 1];
      const double beta = (q.second - p.second) / (q.first - p.first);
      _Segments.push_back({v, _TableOf[v], p.second - beta * p.first, beta});
    }
  }
  _M = _R + 2 * _N + static_cast<std::int32_t>(_Segments.size());
  const std::size_t m = static_cast<std::size_t>(_M), z = static_cast<std::size_t>(tables);
  const std::size_t entries = iRows.Var.size();
  _Z.assign(z, 0.0);
  _Dz.assign(z, 0.0), _Hz.assign(z, 0.0), _Htz.assign(z, 0.0), _Rz.assign(z, 0.0), _TrialZ.assign(z, 0.0);
  _ResidualZ.assign(z, 0.0);
  _Grad.assign(entries, 0.0), _W.assign(entries, 0.0);
  Lambda.assign(m, 0.0), _H.assign(m, 0.0), _Dlambda.assign(m, 0.0), _TrialLambda.assign(m, 0.0),
    _TrialH.assign(m, 0.0);
  _Gh.assign(m, 0.0);
  _Xi.assign(m, 0.0);
  _Gradient.assign(static_cast<std::size_t>(_N), 0.0);
  _Rhs.resize(_N), _Border.resize(_N), _Solved.resize(_N), _Dt.resize(_N);
}

double QAVTasAllocationPath::Objective(const double* ipT) const
{
  double cost = _Rows.FixedCost;
  for (std::int32_t v = 0; v < _N; ++v)
    cost += _Rows.Costs[v].Value(ipT[v]);
  return cost;
}

// h at (t, z, s); an infinite upper bound is a constraint that is always met (h = -1, lambda = 0).
void QAVTasAllocationPath::Values(const double* ipT, const double* ipZ, double iS, std::vector<double>& oH) const
{
  for (std::int32_t r = 0; r < _R; ++r)
    oH[r] = _Rows.Value(r, ipT) - (_PhaseOne ? iS : 0.0);
  for (std::int32_t v = 0; v < _N; ++v)
  {
    oH[_R + v] = _Rows.Lo[v] - ipT[v];
    oH[_R + _N + v] = std::isfinite(_Rows.Hi[v]) ? ipT[v] - _Rows.Hi[v] : -1.0;
  }
  for (std::size_t k = 0; k < _Segments.size(); ++k)
  {
    const Segment& s = _Segments[k];
    oH[_R + 2 * _N + k] = s.Alpha + s.Beta * ipT[s.Var] - ipZ[s.Table];
  }
}

bool QAVTasAllocationPath::StrictlyFeasible(const std::vector<double>& iH) const
{
  for (std::size_t c = 0; c < iH.size(); ++c)
    if (!(iH[c] < kKeep * _H[c]))
      return false;
  return true;
}

void QAVTasAllocationPath::Start(const std::vector<double>& iT)
{
  T = iT;
  for (const Segment& s : _Segments)
    _Z[s.Table] = -std::numeric_limits<double>::infinity();
  for (const Segment& s : _Segments)
    _Z[s.Table] = std::max(_Z[s.Table], s.Alpha + s.Beta * T[s.Var]);
  for (double& z : _Z)
    z += 0.1 * std::fabs(z) + 1e-9;
  _S = 0.0;
  Values(T.data(), _Z.data(), 0.0, _H);
  double scale = 0.0;
  if (_PhaseOne)
  {
    double worst = -std::numeric_limits<double>::infinity();
    for (std::int32_t r = 0; r < _R; ++r)
      worst = std::max(worst, _H[r]);
    _S = _R > 0 ? worst + 0.5 * std::fabs(worst) + 1e-12 : -1.0;
    Values(T.data(), _Z.data(), _S, _H);
    for (std::int32_t r = 0; r < _R; ++r)
      scale += 1.0 / -_H[r];
    scale = 1.0 / std::max(scale, 1e-300);
  }
  else
    scale = std::max(std::fabs(Objective(T.data()) - _Rows.FixedCost), 1e-6) / _M;
  for (std::int32_t c = 0; c < _M; ++c)
    Lambda[c] = c >= _R + _N && c < _R + 2 * _N && !std::isfinite(_Rows.Hi[c - _R - _N]) ? 0.0 : scale / -_H[c];
  Feasible = _PhaseOne && _S < 0.0;
  Infeasible = false;
  Iterations = 0;
}

// grad f + sum lambda grad h, and the centrality residual, at the trial point; returns the norm.
double QAVTasAllocationPath::Residual(double iMu)
{
  double norm = 0.0, sum = 0.0;
  for (std::int32_t v = 0; v < _N; ++v)
  {
    const Problem::Cost& cost = _Rows.Costs[v];
    _Gradient[v] =
      (_PhaseOne || _TableOf[v] >= 0 ? 0.0 : cost.Slope(_TrialT[v])) - _TrialLambda[_R + v] + _TrialLambda[_R + _N + v];
  }
  for (std::int32_t r = 0; r < _R; ++r)
  {
    _Rows.Gradient(r, _TrialT.data(), _W.data() + _Rows.Start[r]);
    for (std::int32_t k = _Rows.Start[r]; k < _Rows.Start[r + 1]; ++k)
      _Gradient[_Rows.Var[k]] += _TrialLambda[r] * _W[k];
    sum += _TrialLambda[r];
  }
  std::fill(_ResidualZ.begin(), _ResidualZ.end(), 1.0);
  for (std::size_t k = 0; k < _Segments.size(); ++k)
  {
    const double lambda = _TrialLambda[_R + 2 * _N + k];
    _Gradient[_Segments[k].Var] += lambda * _Segments[k].Beta;
    _ResidualZ[_Segments[k].Table] -= lambda;
  }
  for (double g : _Gradient)
    norm += g * g;
  for (double z : _ResidualZ)
    norm += z * z;
  if (_PhaseOne)
    norm += (1.0 - sum) * (1.0 - sum);
  for (std::int32_t c = 0; c < _M; ++c)
    if (_TrialLambda[c] != 0.0)
      norm += (_TrialLambda[c] * -_TrialH[c] - iMu) * (_TrialLambda[c] * -_TrialH[c] - iMu);
  return std::sqrt(norm);
}

// The Newton matrix at the current point, with the tables' z eliminated from it.
void QAVTasAllocationPath::Matrix()
{
  _Newton.Zero();
  _Hss = 0.0;
  _Border.setZero();
  std::fill(_Hz.begin(), _Hz.end(), 0.0), std::fill(_Htz.begin(), _Htz.end(), 0.0);
  for (std::int32_t v = 0; v < _N; ++v)
  {
    const Problem::Cost& cost = _Rows.Costs[v];
    _Newton.AddDiagonal(v, !_PhaseOne && _TableOf[v] < 0 ? cost.Curvature(T[v]) : 0.0);
    for (int side = 0; side < 2; ++side)
    {
      const std::int32_t c = _R + side * _N + v;
      if (Lambda[c] != 0.0)
        _Newton.AddDiagonal(v, Lambda[c] / -_H[c]);
    }
  }
  for (std::int32_t r = 0; r < _R; ++r)
  {
    const std::int32_t first = _Rows.Start[r];
    double* grad = _Grad.data() + first;
    _Rows.Gradient(r, T.data(), grad);
    const double d = Lambda[r] / -_H[r];
    double e = 0.0;
    if (_Rows.F[r] != 0.0)
    {
      const double rho = _Rows.Root(r, T.data());
      e = rho > 0.0 ? Lambda[r] * _Rows.F[r] / (rho * rho * rho) : 0.0;
      for (std::int32_t k = first; k < _Rows.Start[r + 1]; ++k)
      {
        _W[k] = _Rows.B[k] * _Rows.B[k] * T[_Rows.Var[k]];
        _Newton.AddDiagonal(_Rows.Var[k], e * rho * rho * _Rows.B[k] * _Rows.B[k]);
      }
    }
    _Newton.AddRow(r, grad, d, _W.data() + first, e);
    for (std::int32_t k = first; k < _Rows.Start[r + 1]; ++k)
      _Border[_Rows.Var[k]] -= d * grad[k - first];
    _Hss += d;
  }
  for (std::size_t k = 0; k < _Segments.size(); ++k)
  {
    const Segment& s = _Segments[k];
    const std::int32_t c = _R + 2 * _N + static_cast<std::int32_t>(k);
    const double d = Lambda[c] / -_H[c];
    _Newton.AddDiagonal(s.Var, d * s.Beta * s.Beta);
    _Hz[s.Table] += d;
    _Htz[s.Table] -= d * s.Beta;
  }
  for (std::int32_t v = 0; v < _N; ++v)
    if (_TableOf[v] >= 0)
      _Newton.AddDiagonal(v, -_Htz[_TableOf[v]] * _Htz[_TableOf[v]] / _Hz[_TableOf[v]]);
}

// -(grad f + sum grad h_c (mu + xi_c) / -h_c), xi_c the corrections of the centrality equations.
void QAVTasAllocationPath::RightHandSide(double iMu)
{
  for (std::int32_t v = 0; v < _N; ++v)
  {
    const Problem::Cost& cost = _Rows.Costs[v];
    _Rhs[v] = !_PhaseOne && _TableOf[v] < 0 ? -cost.Slope(T[v]) : 0.0;
  }
  std::fill(_Rz.begin(), _Rz.end(), -1.0);
  _Rs = -1.0;
  for (std::int32_t c = 0; c < _M; ++c)
  {
    if (Lambda[c] == 0.0)
      continue;
    const double w = (iMu + _Xi[c]) / -_H[c];
    if (c < _R)
    {
      for (std::int32_t k = _Rows.Start[c]; k < _Rows.Start[c + 1]; ++k)
        _Rhs[_Rows.Var[k]] -= w * _Grad[k];
      _Rs += w;
    }
    else if (c < _R + 2 * _N)
      _Rhs[(c - _R) % _N] += c < _R + _N ? w : -w;
    else
    {
      const Segment& s = _Segments[c - _R - 2 * _N];
      _Rhs[s.Var] -= w * s.Beta;
      _Rz[s.Table] += w;
    }
  }
  for (std::int32_t v = 0; v < _N; ++v)
    if (_TableOf[v] >= 0)
      _Rhs[v] -= _Htz[_TableOf[v]] * _Rz[_TableOf[v]] / _Hz[_TableOf[v]];
}

// Mehrotra's predictor: the step towards mu = 0 shows how far mu can fall (sigma = (eta_aff /
// eta)^3), and its product dlambda dh corrects the centrality equations the linearisation drops.
double QAVTasAllocationPath::Predict(double iEta, std::int32_t iActive)
{
  std::fill(_Xi.begin(), _Xi.end(), 0.0);
  RightHandSide(0.0);
  Solve();
  double step = 1.0;
  for (std::int32_t c = 0; c < _M; ++c)
  {
    _Dlambda[c] = Lambda[c] == 0.0 ? 0.0 : -Lambda[c] + Lambda[c] * _Gh[c] / -_H[c];
    if (_Dlambda[c] < 0.0)
      step = std::min(step, -Lambda[c] / _Dlambda[c]);
    if (Lambda[c] != 0.0 && _Gh[c] > 0.0)
      step = std::min(step, -_H[c] / _Gh[c]);
  }
  double eta = 0.0;
  for (std::int32_t c = 0; c < _M; ++c)
  {
    eta += (Lambda[c] + step * _Dlambda[c]) * -(_H[c] + step * _Gh[c]);
    _Xi[c] = _Dlambda[c] * _Gh[c];
  }
  const double sigma = std::clamp(std::pow(std::max(eta, 0.0) / iEta, 3.0), kSigmaFloor, 1.0);
  return sigma * iEta / iActive;
}

// Solves the Newton system for the current right-hand sides, then recovers dz and grad h.dx.
void QAVTasAllocationPath::Solve()
{
  _Dt = _Rhs;
  _Newton.Solve(_Dt);
  _Ds = 0.0;
  if (_PhaseOne)
  {
    _Ds = (_Rs - _Border.dot(_Dt)) / (_Hss - _Border.dot(_Solved));
    _Dt -= _Solved * _Ds;
  }
  for (std::int32_t v = 0; v < _N; ++v)
    if (_TableOf[v] >= 0)
      _Dz[_TableOf[v]] = (_Rz[_TableOf[v]] - _Htz[_TableOf[v]] * _Dt[v]) / _Hz[_TableOf[v]];
  for (std::int32_t r = 0; r < _R; ++r)
  {
    double dot = -_Ds;
    for (std::int32_t k = _Rows.Start[r]; k < _Rows.Start[r + 1]; ++k)
      dot += _Grad[k] * _Dt[_Rows.Var[k]];
    _Gh[r] = dot;
  }
  for (std::int32_t v = 0; v < _N; ++v)
    _Gh[_R + v] = -_Dt[v], _Gh[_R + _N + v] = _Dt[v];
  for (std::size_t k = 0; k < _Segments.size(); ++k)
    _Gh[_R + 2 * _N + k] = _Segments[k].Beta * _Dt[_Segments[k].Var] - _Dz[_Segments[k].Table];
}

// Second-order correction: a cone row's linearisation misses its curvature
// e_r = g_r(t + dt) - g_r(t) - grad g_r.dt >= 0, which a full step would carry out of the feasible
// set. Asking the linearised row to absorb it adds -d_r e_r grad h_r to the right-hand side (and
// lambda e_r / -h to dlambda); the factorisation is reused.
void QAVTasAllocationPath::Correct(double iMu)
{
  bool any = false;
  for (std::int32_t r = 0; r < _R; ++r)
  {
    if (_Rows.F[r] == 0.0)
      continue;
    for (std::int32_t k = _Rows.Start[r]; k < _Rows.Start[r + 1]; ++k)
      _TrialT[_Rows.Var[k]] = T[_Rows.Var[k]] + _Dt[_Rows.Var[k]];
    const double curvature = _Rows.Value(r, _TrialT.data()) - (_H[r] + (_PhaseOne ? _S : 0.0)) - (_Gh[r] + _Ds);
    _Xi[r] += Lambda[r] * std::max(0.0, curvature);
    any = any || curvature > 0.0;
  }
  if (!any)
    return;
  RightHandSide(iMu);
  Solve();
}

QAVTasAllocationPath::Outcome QAVTasAllocationPath::Run(double iGap, std::int32_t iMaxIterations)
{
  Certify();
  if (Done(iGap))
    return Outcome::Certified;
  std::int32_t active = 0;
  for (double lambda : Lambda)
    active += lambda != 0.0;
  while (Iterations < iMaxIterations)
  {
    double eta = 0.0;
    for (std::int32_t c = 0; c < _M; ++c)
      eta += Lambda[c] * -_H[c];
    Matrix();
    if (!_Newton.Factor())
      return Outcome::Failed;
    if (_PhaseOne)
    {
      _Solved = _Border;
      _Newton.Solve(_Solved);
    }
    const double mu = Predict(eta, active);
    RightHandSide(mu);
    Solve();
    _TrialT = T;
    Correct(mu);
    if (Step(mu, kShortStep) == 0.0 && Uncorrected(mu) == 0.0)
      return Outcome::Stalled;
    ++Iterations;
    Certify();
    if (Done(iGap))
      return Outcome::Certified;
  }
  return Outcome::Stalled;
}

void QAVTasAllocationPath::Polish(double iGap, std::int32_t iIterations)
{
  const std::vector<double> t = T, lambda = Lambda, z = _Z, h = _H;
  const double cost = Cost, bound = LowerBound;
  Run(iGap, Iterations + iIterations);
  if (Cost - LowerBound <= cost - bound)
    return;
  T = t, Lambda = lambda, _Z = z, _H = h, Cost = cost, LowerBound = bound;
}

bool QAVTasAllocationPath::Done(double iGap) const
{
  return Feasible || Infeasible || (!_PhaseOne && Cost - LowerBound <= iGap * std::max(1.0, std::fabs(Cost)));
}

// The corrections steer well near the path but can point uphill for the residual far from it (a
// start far off-centre once stalled on steps of 1e-9): the plain Newton step to mu always descends.
double QAVTasAllocationPath::Uncorrected(double iMu)
{
  std::fill(_Xi.begin(), _Xi.end(), 0.0);
  RightHandSide(iMu);
  Solve();
  return Step(iMu, 0.0);
}

// Takes the longest step that keeps lambda > 0 and every constraint strictly met (each keeping a
// fraction of its slack), halved until the residual norm falls; returns it, 0 when none is found
// down to iLeast of the longest.
// A linear constraint moves by exactly step gh, so its limit is exact rather than found by halving
// (which would throw away up to half of a step that a bound cut just short of 1).
double QAVTasAllocationPath::Step(double iMu, double iLeast)
{
  double step = 1.0;
  for (std::int32_t c = 0; c < _M; ++c)
  {
    _Dlambda[c] = Lambda[c] == 0.0 ? 0.0 : -Lambda[c] + (iMu + Lambda[c] * _Gh[c] + _Xi[c]) / -_H[c];
    if (_Dlambda[c] < 0.0)
      step = std::min(step, -kToBoundary * Lambda[c] / _Dlambda[c]);
    if (Lambda[c] != 0.0 && _Gh[c] > 0.0 && (c >= _R || _Rows.F[c] == 0.0))
      step = std::min(step, kToBoundary * -_H[c] / _Gh[c]);
  }
  _TrialT = T, _TrialLambda = Lambda, _TrialH = _H;
  const double before = Residual(iMu), least = iLeast * step;
  for (std::int32_t halving = 0; halving < kHalvings && step >= least; ++halving, step *= 0.5)
  {
    for (std::int32_t v = 0; v < _N; ++v)
      _TrialT[v] = T[v] + step * _Dt[v];
    for (std::size_t k = 0; k < _Z.size(); ++k)
      _TrialZ[k] = _Z[k] + step * _Dz[k];
    Values(_TrialT.data(), _TrialZ.data(), _S + step * _Ds, _TrialH);
    if (!StrictlyFeasible(_TrialH))
      continue;
    for (std::int32_t c = 0; c < _M; ++c)
      _TrialLambda[c] = Lambda[c] + step * _Dlambda[c];
    if (Residual(iMu) <= (1.0 - kDecrease * step) * before || halving + 1 == kHalvings)
    {
      T.swap(_TrialT), _Z.swap(_TrialZ), Lambda.swap(_TrialLambda), _H.swap(_TrialH);
      _S += step * _Ds;
      return step;
    }
  }
  return 0.0;
}

void QAVTasAllocationPath::Certify()
{
  if (_PhaseOne)
  {
    Feasible = _S < 0.0;
    Infeasible = !Feasible && _Rows.LowerBound(T.data(), Lambda.data(), false) > 0.0;
    return;
  }
  Cost = Objective(T.data());
  LowerBound = _Rows.LowerBound(T.data(), Lambda.data(), true);
}

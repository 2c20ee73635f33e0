#include "QAVTasExactSolver.h"

#include "QAVMathDenseCholesky.h"
#include "QAVTasToleranceModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
const double kTargetGap = 1.0e-9;     // relative duality gap (and slackness) of a certified answer
const double kFeasibility = 1.0e-9;   // allowed excess over a bound, relative to max(1, |bound|)
const double kClosedBand = 5.0e-10;   // relative width under which a Y band is held as an equality
const double kToBoundary = 0.995;     // fraction of the way to the boundary a step may go
const double kCentring = 10.0;        // distance from the centre, in barrier units, that lets mu fall
const std::int32_t kRefinements = 8;  // passes of iterative refinement of each Newton solve
const std::int32_t kMaxIterations = 300;
const std::int32_t kPatience = 10;    // steps without a fall of mu after which a kept answer is final
const double kInf = std::numeric_limits<double>::infinity();

// a.b over n values, in four interleaved sums so that the compiler can vectorise it.
double Dot(const double* a, const double* b, std::int32_t n)
{
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4)
  {
    s0 += a[i] * b[i];
    s1 += a[i + 1] * b[i + 1];
    s2 += a[i + 2] * b[i + 2];
    s3 += a[i + 3] * b[i + 3];
  }
  for (; i < n; ++i)
    s0 += a[i] * b[i];
  return (s0 + s1) + (s2 + s3);
}

// lambda * bound, 0 for a zero multiplier whatever the bound.
double Weighted(double iLambda, double iBound)
{
  return iLambda != 0.0 ? iLambda * iBound : 0.0;
}
} // namespace

// One solve. Inequality rows r of G X + s = h come in four groups: [0, n) X_i >= lo_i,
// [n, 2n) X_i <= up_i, [2n, 2n + m) (W X)_j <= Ymax_j, [2n + m, 2n + 2m) (W X)_j >= Ymin_j. An
// infinite bound leaves its row out (mask 0, s = 1, z = 0 for ever). A Y band too narrow to have
// an interior is held as an equality (W X)_j = Y_j with a free multiplier nu_j instead: its
// row of B becomes W_j L^(-1/2) and the 1 on its diagonal of K a 0, which keeps the step one
// symmetric positive definite solve of order Ny.
class QAVTasExactSolver::Run
{
public:
  explicit Run(const QAVTasExactSolver& iProblem)
    : _P(iProblem), _N(iProblem._Nx), _M(iProblem._Ny), _R(2 * (_N + _M)), _Lo(_N), _Up(_N), _H(_R),
      _Mask(_R), _Eq(_M), _X(_N), _S(_R), _Z(_R), _Nu(_M), _Wx(_M), _Gx(_R), _Rp(_R),
      _Re(_M), _Rd(_N), _Rc(_R), _V(_R), _Dx(_N), _Ds(_R), _Dz(_R), _Dnu(_M), _Rhs(_N), _RhsE(_M),
      _Lambda(_N), _RootLambda(_N), _D(_M), _B(static_cast<std::size_t>(_M) * _N),
      _K(static_cast<std::size_t>(_M) * _M), _T(_M), _Fix(_N), _FixE(_M), _Res(_N), _ResE(_M), _Xhat(_N),
      _C(_N), _LMax(_M), _LMin(_M)
  {
  }

  // Iterates until the answer is fully certified. An answer within the gap whose X-bound
  // conditions stay above the target (the rounding of the Newton solves can hold them there on
  // badly conditioned problems) is kept aside and returned when the iterations stop improving.
  QAVTasExactSolver::Status Solve(QAVTasExactSolver::Solution& oSolution)
  {
    if (!SetUpRows())
      return Status::Infeasible;
    Start();
    bool kept = false;
    std::int32_t sinceMuFell = 0;
    for (std::int32_t it = 0; it < kMaxIterations; ++it)
    {
      Residuals();
      YMultipliers();
      const Level level = Certified();
      if (level == Level::Full)
      {
        Store(oSolution, it);
        return Status::Optimal;
      }
      if (level == Level::Gap)
      {
        Store(oSolution, it);
        kept = true;
      }
      if (kept && sinceMuFell > kPatience)
        return Status::Optimal;
      if (ProvenInfeasible(_LMax.data(), _LMin.data()))
        return Status::Infeasible;
      const double mu = _Mu;
      if (!Step())
        break;
      sinceMuFell = _Mu < mu ? 0 : sinceMuFell + 1;
    }
    if (kept)
      return Status::Optimal;
    Residuals();
    YMultipliers();
    return ProvenInfeasible(_LMax.data(), _LMin.data()) ? Status::Infeasible : Status::NotConverged;
  }

private:
  double W(std::int32_t j, std::int32_t i) const { return _P._ppW[j][i]; }
  std::int32_t YmaxRow(std::int32_t j) const { return 2 * _N + j; }
  std::int32_t YminRow(std::int32_t j) const { return 2 * _N + _M + j; }

  // ---------------------------------------------------------------- set-up

  // False when the data alone show that no X exists (or hold a NaN).
  bool SetUpRows()
  {
    for (std::int32_t i = 0; i < _N; ++i)
    {
      _Lo[i] = std::max(_P._pXinf[i], 0.0);
      _Up[i] = _P._pXsup[i];
      if (std::isnan(_P._pXinf[i]) || !(_Lo[i] <= _Up[i]) || !(_Up[i] > 0.0))
        return false;
      SetRow(i, -_Lo[i]);
      SetRow(_N + i, _Up[i]);
      for (std::int32_t j = 0; j < _M; ++j)
        if (!std::isfinite(W(j, i)))
          return false;
    }
    for (std::int32_t j = 0; j < _M; ++j)
    {
      const double low = _P._pYmin[j], high = _P._pYmax[j];
      if (std::isnan(low) || std::isnan(high) || low > high)
        return false;
      const double centre = 0.5 * (low + high);
      const bool closed = std::isfinite(centre) && high - low <= kClosedBand * std::max(1.0, std::fabs(centre));
      _Eq[j] = closed && !IsZeroRow(j) ? 1.0 : 0.0;
      SetRow(YmaxRow(j), closed ? kInf : high);
      SetRow(YminRow(j), closed ? kInf : -low);
    }
    return !SingleRowInfeasible();
  }

  void SetRow(std::int32_t r, double iH)
  {
    _Mask[r] = std::isfinite(iH) ? 1.0 : 0.0;
    _H[r] = _Mask[r] != 0.0 ? iH : 0.0;
  }

  bool IsZeroRow(std::int32_t j) const
  {
    for (std::int32_t i = 0; i < _N; ++i)
      if (W(j, i) != 0.0)
        return false;
    return true;
  }

  // Each Y bound on its own against the X box: the certificate with one unit multiplier.
  bool SingleRowInfeasible()
  {
    std::fill(_LMax.begin(), _LMax.end(), 0.0);
    std::fill(_LMin.begin(), _LMin.end(), 0.0);
    for (std::int32_t j = 0; j < _M; ++j)
    {
      bool proven = false;
      for (std::vector<double>* unit : {&_LMax, &_LMin})
      {
        (*unit)[j] = 1.0;
        proven = proven || ProvenInfeasible(_LMax.data(), _LMin.data());
        (*unit)[j] = 0.0;
      }
      if (proven)
        return true;
    }
    return false;
  }

  // X at the scale the Y bounds suggest, kept inside its box; slacks at least a little positive,
  // and multipliers balancing s z at the mean size of 1 / X.
  void Start()
  {
    const double scale = StartScale();
    double f = 0.0;
    for (std::int32_t i = 0; i < _N; ++i)
    {
      _X[i] = StartValue(i, scale);
      f += 1.0 / _X[i];
    }
    _Mu = f / _N;
    MultiplyG(_X.data(), _Gx.data());
    for (std::int32_t r = 0; r < _R; ++r)
    {
      _S[r] = _Mask[r] != 0.0 ? std::max(_H[r] - _Gx[r], 1.0e-2 * (std::fabs(_H[r]) + _Mu / (_Mu + 1.0))) : 1.0;
      _Z[r] = _Mask[r] != 0.0 ? _Mu / _S[r] : 0.0;
    }
    Residuals();
    _Mu0 = _Mu;
    _Rp0 = PrimalResidual();
    double largest = 1.0;
    for (std::int32_t r = 0; r < _R; ++r)
      largest = std::max(largest, _Mask[r] * std::fabs(_H[r]));
    for (std::int32_t j = 0; j < _M; ++j)
      largest = std::max(largest, _Eq[j] != 0.0 ? std::fabs(_P._pYmax[j]) : 0.0);
    _RoundingLevel = 1.0e-12 * largest;
  }

  // Half the common value t of X that would put the tightest row with a positive upper bound and
  // a positive row sum at that bound; 0 when no row qualifies.
  double StartScale() const
  {
    double t = kInf;
    for (std::int32_t j = 0; j < _M; ++j)
    {
      double sum = 0.0;
      for (std::int32_t i = 0; i < _N; ++i)
        sum += W(j, i);
      const double high = _P._pYmax[j];
      if (sum > 0.0 && high > 0.0 && std::isfinite(high))
        t = std::min(t, 0.5 * high / sum);
    }
    return std::isfinite(t) ? t : 0.0;
  }

  // iScale brought 1 % of the box's width inside it; without a scale, the middle of the box (or
  // twice its lower end when it has no upper one).
  double StartValue(std::int32_t i, double iScale) const
  {
    const double lo = _Lo[i], up = _Up[i];
    if (iScale <= 0.0)
      return std::isfinite(up) ? 0.5 * (lo + up) : std::max(2.0 * lo, 1.0);
    if (!std::isfinite(up))
      return std::max(iScale, 2.0 * lo);
    const double margin = 0.01 * (up - lo);
    return std::min(std::max(iScale, lo + margin), up - margin);
  }

  // ---------------------------------------------------------------- products with G and W

  void MultiplyW(const double* ipX, double* oWx) const
  {
    for (std::int32_t j = 0; j < _M; ++j)
      oWx[j] = Dot(_P._ppW[j], ipX, _N);
  }

  // oGx = G ipX over every inequality row; leaves W ipX in _Wx.
  void MultiplyG(const double* ipX, double* oGx)
  {
    MultiplyW(ipX, _Wx.data());
    for (std::int32_t j = 0; j < _M; ++j)
    {
      oGx[YmaxRow(j)] = _Wx[j];
      oGx[YminRow(j)] = -_Wx[j];
    }
    for (std::int32_t i = 0; i < _N; ++i)
    {
      oGx[i] = -ipX[i];
      oGx[_N + i] = ipX[i];
    }
  }

  // oOut = G^T ipV + E^T ipNu, rows left out counting as 0.
  void MultiplyGT(const double* ipV, const double* ipNu, double* oOut) const
  {
    for (std::int32_t i = 0; i < _N; ++i)
      oOut[i] = -ipV[i] * _Mask[i] + ipV[_N + i] * _Mask[_N + i];
    for (std::int32_t j = 0; j < _M; ++j)
    {
      const double v = ipV[YmaxRow(j)] * _Mask[YmaxRow(j)] - ipV[YminRow(j)] * _Mask[YminRow(j)] + ipNu[j] * _Eq[j];
      if (v == 0.0)
        continue;
      for (std::int32_t i = 0; i < _N; ++i)
        oOut[i] += W(j, i) * v;
    }
  }

  void Residuals()
  {
    MultiplyG(_X.data(), _Gx.data());
    for (std::int32_t r = 0; r < _R; ++r)
      _Rp[r] = _Mask[r] * (_Gx[r] + _S[r] - _H[r]);
    for (std::int32_t j = 0; j < _M; ++j)
      _Re[j] = _Eq[j] * (_Wx[j] - EqualityTarget(j));
    MultiplyGT(_Z.data(), _Nu.data(), _Rd.data());
    for (std::int32_t i = 0; i < _N; ++i)
      _Rd[i] -= 1.0 / (_X[i] * _X[i]);
  }

  // An equality row aims at the bound its multiplier presses on, so that the certificate, which
  // uses the bounds as given, sees no slack there.
  double EqualityTarget(std::int32_t j) const
  {
    return _Eq[j] == 0.0 ? 0.0 : (_Nu[j] >= 0.0 ? _P._pYmax[j] : _P._pYmin[j]);
  }

  double PrimalResidual() const
  {
    double e = 0.0;
    for (std::int32_t r = 0; r < _R; ++r)
      e = std::max(e, std::fabs(_Rp[r]));
    for (std::int32_t j = 0; j < _M; ++j)
      e = std::max(e, std::fabs(_Re[j]));
    return e;
  }

  // ---------------------------------------------------------------- certificates

  // Multipliers of the Y bounds: z of the inequality rows, the two signs of nu for an equality.
  void YMultipliers()
  {
    for (std::int32_t j = 0; j < _M; ++j)
    {
      _LMax[j] = _Eq[j] != 0.0 ? std::max(_Nu[j], 0.0) : _Mask[YmaxRow(j)] * _Z[YmaxRow(j)];
      _LMin[j] = _Eq[j] != 0.0 ? std::max(-_Nu[j], 0.0) : _Mask[YminRow(j)] * _Z[YminRow(j)];
    }
  }

  // c = W^T (lambda_max - lambda_min), into _C.
  void DualSlope(const double* ipLMax, const double* ipLMin)
  {
    std::fill(_C.begin(), _C.end(), 0.0);
    for (std::int32_t j = 0; j < _M; ++j)
    {
      const double l = ipLMax[j] - ipLMin[j];
      if (l == 0.0)
        continue;
      for (std::int32_t i = 0; i < _N; ++i)
        _C[i] += W(j, i) * l;
    }
  }

  // lambda_max.Ymax - lambda_min.Ymin on the bounds as given.
  double DualRightHandSide(const double* ipLMax, const double* ipLMin) const
  {
    double rhs = 0.0;
    for (std::int32_t j = 0; j < _M; ++j)
      rhs += Weighted(ipLMax[j], _P._pYmax[j]) - Weighted(ipLMin[j], _P._pYmin[j]);
    return rhs;
  }

  // True when min over the box of c.X exceeds lambda_max.Ymax - lambda_min.Ymin by more than
  // rounding: then no X of the box meets the Y bounds.
  bool ProvenInfeasible(const double* ipLMax, const double* ipLMin)
  {
    DualSlope(ipLMax, ipLMin);
    double lowest = 0.0, size = 0.0;
    for (std::int32_t i = 0; i < _N; ++i)
    {
      const double term = Weighted(_C[i], _C[i] >= 0.0 ? _Lo[i] : _Up[i]);
      if (!std::isfinite(term))
        return false;
      lowest += term;
      size += std::fabs(term);
    }
    const double rhs = DualRightHandSide(ipLMax, ipLMin);
    if (!std::isfinite(rhs))
      return false;
    for (std::int32_t j = 0; j < _M; ++j)
      size += std::fabs(Weighted(ipLMax[j], _P._pYmax[j])) + std::fabs(Weighted(ipLMin[j], _P._pYmin[j]));
    return lowest - rhs > 1.0e-12 * size && lowest - rhs > 0.0;
  }

  // Minimiser over [lo_i, up_i] of 1/x + c_i x (infinite when there is none).
  double DualMinimiser(std::int32_t i) const
  {
    return _C[i] > 0.0 ? std::min(std::max(1.0 / std::sqrt(_C[i]), _Lo[i]), _Up[i]) : _Up[i];
  }

  // g(lambda) for the current Y multipliers (see the header); leaves c in _C.
  double DualBound()
  {
    DualSlope(_LMax.data(), _LMin.data());
    double g = -DualRightHandSide(_LMax.data(), _LMin.data());
    for (std::int32_t i = 0; i < _N; ++i)
    {
      const double x = DualMinimiser(i);
      if (!std::isfinite(x))
      {
        if (_C[i] < 0.0)
          return -kInf;
        continue; // c_i = 0 with no upper bound: the infimum 0 is approached as X_i grows
      }
      g += 1.0 / x + _C[i] * x;
    }
    return g;
  }

  enum class Level
  {
    None, // no candidate is feasible within the gap
    Gap,  // feasible, within the gap and with complementary Y bounds
    Full  // and the X-bound conditions within the target as well
  };

  // Two candidates are tried: the minimiser of the Lagrangian for the current multipliers, which
  // meets every condition on X exactly whenever it is feasible, then the iterate projected on its
  // box. For the latter the X-bound multipliers are those that the Y multipliers call for:
  // rest_i = 1 / X_i^2 - c_i goes to the bound it points to when X_i is nearer to that bound than
  // to 0, and is otherwise left as a stationarity residual; either way |rest_i| times that distance
  // must be within the target too. _Xhat is left at the better candidate.
  Level Certified()
  {
    const double bound = DualBound();
    if (!std::isfinite(bound))
      return Level::None;
    const Level dual = AssessDualMinimiser(bound);
    if (dual == Level::Full)
      return dual;
    for (std::int32_t i = 0; i < _N; ++i)
      _Xhat[i] = std::min(std::max(_X[i], _Lo[i]), _Up[i]);
    const Level projected = Assess(bound);
    return projected >= dual ? projected : AssessDualMinimiser(bound);
  }

  Level AssessDualMinimiser(double iBound)
  {
    for (std::int32_t i = 0; i < _N; ++i)
      _Xhat[i] = DualMinimiser(i);
    return Assess(iBound);
  }

  Level Assess(double iBound)
  {
    if (!(_P.MaxViolation(_Xhat.data()) <= kFeasibility))
      return Level::None;
    _Objective = 0.0;
    for (std::int32_t i = 0; i < _N; ++i)
      _Objective += 1.0 / _Xhat[i];
    _Gap = std::max(0.0, _Objective - iBound);
    const double target = kTargetGap * _Objective;
    if (!(_Gap <= target) || !(YSlackness() <= target))
      return Level::None;
    for (std::int32_t i = 0; i < _N; ++i)
      if (std::fabs(Rest(i)) * std::min(BoundDistance(i), _Xhat[i]) > target)
        return Level::Gap;
    return Level::Full;
  }

  // Sum of lambda |slack| over the Y bounds at _Xhat: within the gap when X is strictly feasible,
  // but a slight violation of one bound could hide a large slack at another in the gap alone.
  double YSlackness()
  {
    MultiplyW(_Xhat.data(), _Wx.data());
    double sum = 0.0;
    for (std::int32_t j = 0; j < _M; ++j)
      sum += std::fabs(Weighted(_LMax[j], _P._pYmax[j] - _Wx[j])) + std::fabs(Weighted(_LMin[j], _Wx[j] - _P._pYmin[j]));
    return sum;
  }

  double Rest(std::int32_t i) const { return 1.0 / (_Xhat[i] * _Xhat[i]) - _C[i]; }

  // Distance from X_i to the bound that rest_i points to (infinite when it has none).
  double BoundDistance(std::int32_t i) const { return Rest(i) > 0.0 ? _Up[i] - _Xhat[i] : _Xhat[i] - _Lo[i]; }

  void Store(QAVTasExactSolver::Solution& oSolution, std::int32_t iIterations) const
  {
    oSolution.X = _Xhat;
    oSolution.Objective = _Objective;
    oSolution.LambdaXinf.assign(_N, 0.0);
    oSolution.LambdaXsup.assign(_N, 0.0);
    for (std::int32_t i = 0; i < _N; ++i)
    {
      if (BoundDistance(i) > _Xhat[i])
        continue;
      const double rest = Rest(i);
      (rest > 0.0 ? oSolution.LambdaXsup[i] : oSolution.LambdaXinf[i]) = std::fabs(rest);
    }
    oSolution.LambdaYmax = _LMax;
    oSolution.LambdaYmin = _LMin;
    oSolution.DualityGap = _Gap;
    oSolution.RelativeGap = _Gap / _Objective;
    oSolution.Iterations = iIterations;
  }

  // ---------------------------------------------------------------- Newton step

  // Factors K = [B B^T]_jj + (1 for an inequality row, 0 for an equality) for the current iterate.
  bool FactorSystem()
  {
    for (std::int32_t i = 0; i < _N; ++i)
    {
      _Lambda[i] = 2.0 / (_X[i] * _X[i] * _X[i]) + _Mask[i] * _Z[i] / _S[i] + _Mask[_N + i] * _Z[_N + i] / _S[_N + i];
      _RootLambda[i] = std::sqrt(_Lambda[i]);
    }
    for (std::int32_t j = 0; j < _M; ++j)
    {
      _D[j] = _Mask[YmaxRow(j)] * _Z[YmaxRow(j)] / _S[YmaxRow(j)] + _Mask[YminRow(j)] * _Z[YminRow(j)] / _S[YminRow(j)];
      const double weight = _Eq[j] != 0.0 ? 1.0 : std::sqrt(_D[j]);
      double* row = &_B[static_cast<std::size_t>(j) * _N];
      for (std::int32_t i = 0; i < _N; ++i)
        row[i] = weight * W(j, i) / _RootLambda[i];
    }
    for (std::int32_t a = 0; a < _M; ++a)
    {
      const double* rowA = &_B[static_cast<std::size_t>(a) * _N];
      for (std::int32_t b = 0; b <= a; ++b)
        _K[static_cast<std::size_t>(a) * _M + b] = Dot(rowA, &_B[static_cast<std::size_t>(b) * _N], _N);
      // Equality rows that depend on one another would make K singular: a relative nudge keeps it
      // definite, and the refinement removes its effect on the step.
      double& diag = _K[static_cast<std::size_t>(a) * _M + a];
      diag += _Eq[a] != 0.0 ? 1.0e-13 * diag : 1.0;
    }
    return QAVMathDenseCholesky::Factor(_K.data(), static_cast<std::size_t>(_M), 0.0);
  }

  // Solves [M E^T; E 0] (oX, oE) = (ipRx, ipRe), M = L + W_I^T D W_I, through K:
  // q = L^-1/2 ipRx, t = B q - (ipRe on equality rows), K w = t, oX = L^-1/2 (q - B^T w), oE = w.
  void ApplyInverse(const double* ipRx, const double* ipRe, double* oX, double* oE)
  {
    for (std::int32_t i = 0; i < _N; ++i)
      oX[i] = ipRx[i] / _RootLambda[i];
    for (std::int32_t j = 0; j < _M; ++j)
      _T[j] = Dot(&_B[static_cast<std::size_t>(j) * _N], oX, _N) - _Eq[j] * ipRe[j];
    QAVMathDenseCholesky::Solve(_K.data(), static_cast<std::size_t>(_M), _T.data());
    for (std::int32_t j = 0; j < _M; ++j)
    {
      const double* row = &_B[static_cast<std::size_t>(j) * _N];
      for (std::int32_t i = 0; i < _N; ++i)
        oX[i] -= row[i] * _T[j];
      oE[j] = _Eq[j] * _T[j];
    }
    for (std::int32_t i = 0; i < _N; ++i)
      oX[i] /= _RootLambda[i];
  }

  // (oX, oE) = [M E^T; E 0] (ipX, ipE).
  void ApplyMatrix(const double* ipX, const double* ipE, double* oX, double* oE)
  {
    for (std::int32_t i = 0; i < _N; ++i)
      oX[i] = _Lambda[i] * ipX[i];
    for (std::int32_t j = 0; j < _M; ++j)
    {
      const double wx = Dot(_P._ppW[j], ipX, _N);
      oE[j] = _Eq[j] * wx;
      const double back = _Eq[j] != 0.0 ? ipE[j] : _D[j] * wx;
      for (std::int32_t i = 0; i < _N; ++i)
        oX[i] += W(j, i) * back;
    }
  }

  // (_Dx, _Dnu) for the right-hand side (_Rhs, _RhsE). The subtraction inside ApplyInverse loses
  // digits when D is large (rows whose slack is nearly 0), so the answer is refined with the
  // residual of the matrix applied directly.
  void SolveSystem()
  {
    ApplyInverse(_Rhs.data(), _RhsE.data(), _Dx.data(), _Dnu.data());
    for (std::int32_t pass = 0; pass < kRefinements; ++pass)
    {
      ApplyMatrix(_Dx.data(), _Dnu.data(), _Res.data(), _ResE.data());
      for (std::int32_t i = 0; i < _N; ++i)
        _Res[i] = _Rhs[i] - _Res[i];
      for (std::int32_t j = 0; j < _M; ++j)
        _ResE[j] = _RhsE[j] - _ResE[j];
      ApplyInverse(_Res.data(), _ResE.data(), _Fix.data(), _FixE.data());
      for (std::int32_t i = 0; i < _N; ++i)
        _Dx[i] += _Fix[i];
      for (std::int32_t j = 0; j < _M; ++j)
        _Dnu[j] += _FixE[j];
    }
  }

  // The Newton direction towards s z = mu.
  void Direction()
  {
    for (std::int32_t r = 0; r < _R; ++r)
    {
      _Rc[r] = _Mask[r] * (_S[r] * _Z[r] - _Mu);
      _V[r] = _Mask[r] * (_Z[r] * _Rp[r] - _Rc[r]) / _S[r];
    }
    std::fill(_Dnu.begin(), _Dnu.end(), 0.0);
    MultiplyGT(_V.data(), _Dnu.data(), _Rhs.data());
    for (std::int32_t i = 0; i < _N; ++i)
      _Rhs[i] = -_Rd[i] - _Rhs[i];
    for (std::int32_t j = 0; j < _M; ++j)
      _RhsE[j] = -_Re[j];
    SolveSystem();
    MultiplyG(_Dx.data(), _Ds.data());
    for (std::int32_t r = 0; r < _R; ++r)
    {
      _Dz[r] = _Mask[r] * (_Z[r] * (_Ds[r] + _Rp[r]) - _Rc[r]) / _S[r];
      _Ds[r] = _Mask[r] * (-_Rp[r] - _Ds[r]);
    }
  }

  // Largest step in (0, 1] keeping X, s and z positive.
  double StepToBoundary() const
  {
    double alpha = 1.0 / kToBoundary;
    for (std::int32_t i = 0; i < _N; ++i)
      if (_Dx[i] < 0.0)
        alpha = std::min(alpha, -_X[i] / _Dx[i]);
    for (std::int32_t r = 0; r < _R; ++r)
    {
      if (_Ds[r] < 0.0)
        alpha = std::min(alpha, -_S[r] / _Ds[r]);
      if (_Dz[r] < 0.0)
        alpha = std::min(alpha, -_Z[r] / _Dz[r]);
    }
    return std::min(1.0, kToBoundary * alpha);
  }

  // Distance of the iterate from the centre of barrier parameter mu, in units of f: stationarity
  // |r_d,i| X_i and centring |s_r z_r - mu|.
  double CentreDistance(double iMu) const
  {
    double e = 0.0;
    for (std::int32_t i = 0; i < _N; ++i)
      e = std::max(e, std::fabs(_Rd[i]) * _X[i]);
    for (std::int32_t r = 0; r < _R; ++r)
      e = std::max(e, _Mask[r] * std::fabs(_S[r] * _Z[r] - iMu));
    return e;
  }

  // The barrier parameter falls tenfold each time the iterate is near enough to its centre and the
  // primal residual has fallen at least in proportion. It stays above the level at which the
  // certificate is within reach, so the slacks never collapse onto the rounding of their bounds
  // before the multipliers have converged.
  void UpdateBarrier()
  {
    double rows = 0.0, f = 0.0;
    for (std::int32_t r = 0; r < _R; ++r)
      rows += _Mask[r];
    for (std::int32_t i = 0; i < _N; ++i)
      f += 1.0 / _X[i];
    const double floor = 1.0e-3 * kTargetGap * f / std::max(rows, 1.0);
    const double rp = PrimalResidual();
    if (_Mu > floor && CentreDistance(_Mu) <= kCentring * _Mu &&
        rp <= std::max(kCentring * _Rp0 * _Mu / _Mu0, _RoundingLevel))
      _Mu = std::max(0.1 * _Mu, floor);
  }

  // One damped Newton step towards the centre of the current barrier parameter.
  bool Step()
  {
    UpdateBarrier();
    if (!FactorSystem())
      return false;
    Direction();
    const double alpha = StepToBoundary();
    if (!(alpha > 1.0e-14))
      return false;
    for (std::int32_t i = 0; i < _N; ++i)
      _X[i] += alpha * _Dx[i];
    for (std::int32_t r = 0; r < _R; ++r)
    {
      _S[r] += alpha * _Ds[r];
      _Z[r] += alpha * _Dz[r];
    }
    for (std::int32_t j = 0; j < _M; ++j)
      _Nu[j] += alpha * _Dnu[j];
    return true;
  }

  const QAVTasExactSolver& _P;
  const std::int32_t _N, _M, _R;
  std::vector<double> _Lo, _Up, _H, _Mask, _Eq;           // rows
  std::vector<double> _X, _S, _Z, _Nu;                     // iterate
  std::vector<double> _Wx, _Gx, _Rp, _Re, _Rd, _Rc, _V;   // residuals
  std::vector<double> _Dx, _Ds, _Dz, _Dnu, _Rhs, _RhsE;   // step
  std::vector<double> _Lambda, _RootLambda, _D, _B, _K, _T, _Fix, _FixE, _Res, _ResE; // linear algebra
  std::vector<double> _Xhat, _C, _LMax, _LMin;            // certificate
  double _Objective = 0.0;
  double _Gap = 0.0;
  double _Mu = 0.0;                // barrier parameter
  double _Mu0 = 0.0, _Rp0 = 0.0;   // at the start
  double _RoundingLevel = 0.0;     // primal residual that counts as none
};

QAVTasExactSolver::QAVTasExactSolver(std::int32_t iNy, std::int32_t iNx, const double* const* ippW,
                                     const double* ipYmin, const double* ipYmax, const double* ipXinf,
                                     const double* ipXsup)
  : _Ny(iNy), _Nx(iNx), _ppW(ippW), _pYmin(ipYmin), _pYmax(ipYmax), _pXinf(ipXinf), _pXsup(ipXsup)
{
}

QAVTasExactSolver::Status QAVTasExactSolver::Solve(Solution& oSolution) const
{
  if (_Nx <= 0 || _Ny < 0 || _pXinf == nullptr || _pXsup == nullptr ||
      (_Ny > 0 && (_ppW == nullptr || _pYmin == nullptr || _pYmax == nullptr)))
    return Status::Infeasible;
  Run run(*this);
  return run.Solve(oSolution);
}

double QAVTasExactSolver::MaxViolation(const double* ipX) const
{
  return QAVTasToleranceModel(_Ny, _Nx, _ppW, _pYmin, _pYmax, _pXinf, _pXsup).MaxViolation(ipX);
}

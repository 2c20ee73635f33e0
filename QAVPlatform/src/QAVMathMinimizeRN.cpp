#include "QAVMathMinimizeRN.h"

#include "QAVMathFunctionRN.h"
#include "QAVMathIntervalND.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
const double kArmijo = 1.0e-4;
const std::int32_t kMaxHalvings = 60;
const std::int32_t kMaxRegularisations = 40;

// One run of the projected Newton method; the working vectors live as long as the run.
class NewtonRun
{
public:
  NewtonRun(const QAVMathFunctionRN& iFunction, const QAVMathIntervalND& iBox, double iTolerance)
    : _F(iFunction), _Box(iBox), _Tol(iTolerance), _N(iFunction.GetNumberOfVariables()), _X(_N), _G(_N), _D(_N),
      _Trial(_N), _Step(_N), _Free(_N), _FreeIndex(_N), _A(static_cast<std::size_t>(_N) * _N), _H(_N, _N), _Llt(_N)
  {
  }

  bool Start(const double* ipX)
  {
    for (std::int32_t i = 0; i < _N; ++i)
      _X[i] = Clamp(i, ipX[i]);
    _Value = _F.Eval(_X.data());
    return std::isfinite(_Value);
  }

  void Run(std::int32_t iMaxIterations)
  {
    for (std::int32_t it = 0; it < iMaxIterations; ++it)
    {
      if (!Gradient() || ProjectedGradientNorm() <= _Tol * (1.0 + std::fabs(_Value)))
        return;
      const double before = _Value;
      MarkFree();
      const bool moved = (NewtonDirection() && LineSearch()) || (SteepestDirection() && LineSearch());
      if (!moved || before - _Value <= _Tol * (1.0 + std::fabs(before)))
        return;
    }
  }

  void Store(double* opX) const { std::copy(_X.begin(), _X.end(), opX); }

private:
  double Clamp(std::int32_t i, double v) const { return std::min(std::max(v, _Box.GetLow(i)), _Box.GetHigh(i)); }

  bool Gradient()
  {
    for (std::int32_t i = 0; i < _N; ++i)
    {
      _G[i] = _F.EvalFirstDeriv(i, _X.data());
      if (!std::isfinite(_G[i]))
        return false;
    }
    return true;
  }

  double ProjectedGradientNorm() const
  {
    double norm = 0.0;
    for (std::int32_t i = 0; i < _N; ++i)
      norm = std::max(norm, std::fabs(Clamp(i, _X[i] - _G[i]) - _X[i]));
    return norm;
  }

  // A coordinate on (or within a hair of) a bound, with the gradient pushing it outwards, is held.
  void MarkFree()
  {
    const double width = std::min(_Tol, ProjectedGradientNorm());
    for (std::int32_t i = 0; i < _N; ++i)
    {
      const bool atLow = _X[i] <= _Box.GetLow(i) + width * (1.0 + std::fabs(_Box.GetLow(i))) && _G[i] > 0.0;
      const bool atHigh = _X[i] >= _Box.GetHigh(i) - width * (1.0 + std::fabs(_Box.GetHigh(i))) && _G[i] < 0.0;
      _Free[i] = !(atLow || atHigh);
    }
  }

  bool NewtonDirection()
  {
    std::size_t m = 0;
    for (std::int32_t i = 0; i < _N; ++i)
      if (_Free[i])
        _FreeIndex[m++] = i;
    if (m == 0)
      return false;
    for (std::size_t a = 0; a < m; ++a)
      for (std::size_t b = 0; b <= a; ++b)
      {
        const double h = _F.EvalSecondDeriv(_FreeIndex[a], _FreeIndex[b], _X.data());
        if (!std::isfinite(h))
          return false;
        _A[a * m + b] = _A[b * m + a] = h;
      }
    for (std::size_t a = 0; a < m; ++a)
      _Step[a] = -_G[_FreeIndex[a]];
    if (!RegularisedSolve(m))
      return false;
    std::fill(_D.begin(), _D.end(), 0.0);
    for (std::size_t a = 0; a < m; ++a)
      _D[_FreeIndex[a]] = _Step[a];
    return IsDescent();
  }

  // Solves (A + mu I) y = step for the m x m matrix _A, mu the smallest of 0, s, 10 s, 100 s, ...
  // (s from A's diagonal) for which the Cholesky factorisation succeeds; _Step is replaced by y.
  bool RegularisedSolve(std::size_t m)
  {
    double scale = 0.0;
    for (std::size_t a = 0; a < m; ++a)
      scale = std::max(scale, std::fabs(_A[a * m + a]));
    const Eigen::Map<const Eigen::MatrixXd> a(_A.data(), static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(m));
    Eigen::Map<Eigen::VectorXd> step(_Step.data(), static_cast<Eigen::Index>(m));
    double mu = 0.0;
    for (std::int32_t k = 0; k < kMaxRegularisations; ++k)
    {
      auto h = _H.topLeftCorner(a.rows(), a.cols());
      h = a;
      h.diagonal().array() += mu;
      _Llt.compute(h);
      if (_Llt.info() == Eigen::Success)
      {
        _Llt.solveInPlace(step);
        return true;
      }
      mu = (mu == 0.0) ? 1.0e-10 * std::max(1.0, scale) : 10.0 * mu;
    }
    return false;
  }

  bool SteepestDirection()
  {
    for (std::int32_t i = 0; i < _N; ++i)
      _D[i] = _Free[i] ? -_G[i] : 0.0;
    return IsDescent();
  }

  bool IsDescent() const
  {
    double slope = 0.0;
    for (std::int32_t i = 0; i < _N; ++i)
      slope += _G[i] * _D[i];
    return std::isfinite(slope) && slope < 0.0;
  }

  bool LineSearch()
  {
    double alpha = 1.0;
    for (std::int32_t k = 0; k < kMaxHalvings; ++k, alpha *= 0.5)
    {
      double predicted = 0.0;
      bool moved = false;
      for (std::int32_t i = 0; i < _N; ++i)
      {
        _Trial[i] = Clamp(i, _X[i] + alpha * _D[i]);
        predicted += _G[i] * (_Trial[i] - _X[i]);
        moved = moved || _Trial[i] != _X[i];
      }
      if (!moved)
        return false;
      const double value = _F.Eval(_Trial.data());
      if (std::isfinite(value) && value < _Value && value <= _Value + kArmijo * predicted)
      {
        _X.swap(_Trial);
        _Value = value;
        return true;
      }
    }
    return false;
  }

  const QAVMathFunctionRN& _F;
  const QAVMathIntervalND& _Box;
  const double _Tol;
  const std::int32_t _N;
  double _Value = 0.0;
  std::vector<double> _X, _G, _D, _Trial, _Step;
  std::vector<char> _Free;
  std::vector<std::int32_t> _FreeIndex;
  std::vector<double> _A;           // Hessian of the free coordinates, m x m
  Eigen::MatrixXd _H;               // A + mu I
  Eigen::LLT<Eigen::MatrixXd> _Llt; // its Cholesky factor
};
} // namespace

QAVMathMinimizeRN::QAVMathMinimizeRN(const QAVMathFunctionRN* ipFunction, double iTolerance)
  : _pFunction(ipFunction), _Tolerance(iTolerance > 0.0 ? iTolerance : 1.0e-8), _MaxIterations(200)
{
}

void QAVMathMinimizeRN::SetMaxIterations(std::int32_t iMaxIterations)
{
  _MaxIterations = iMaxIterations > 0 ? iMaxIterations : 200;
}

bool QAVMathMinimizeRN::MinimizeNewton(double* iopX, const QAVMathIntervalND& iBox) const
{
  if (_pFunction == nullptr || iopX == nullptr || iBox.IsEmpty() ||
      iBox.GetDimension() < _pFunction->GetNumberOfVariables())
    return false;
  NewtonRun run(*_pFunction, iBox, _Tolerance);
  if (!run.Start(iopX))
    return false;
  run.Run(_MaxIterations);
  run.Store(iopX);
  return true;
}

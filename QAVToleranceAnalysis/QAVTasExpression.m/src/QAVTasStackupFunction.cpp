#include "QAVTasStackupFunction.h"

#include <algorithm>
#include <cmath>

QAVTasLinearStackup::QAVTasLinearStackup(const QAVTasAllocationProblem::Stackup& iStackup)
  : _Constant(iStackup.Constant)
{
  for (const auto& [i, s] : iStackup.Sensitivity)
  {
    const auto found = std::find(_Inputs.begin(), _Inputs.end(), i);
    if (found != _Inputs.end())
      _S[static_cast<std::size_t>(found - _Inputs.begin())] += s;
    else
    {
      _Inputs.push_back(i);
      _S.push_back(s);
    }
  }
}

double QAVTasLinearStackup::Value(const double* ipX) const
{
  double y = _Constant;
  for (std::size_t k = 0; k < _Inputs.size(); ++k)
    y += _S[k] * ipX[_Inputs[k]];
  return y;
}

double QAVTasLinearStackup::Gradient(const double* ipX, double* opGradient) const
{
  std::copy(_S.begin(), _S.end(), opGradient);
  return Value(ipX);
}

// Four terms a pass: y is read and written a quarter as often.
void QAVTasLinearStackup::Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const
{
  std::fill(opY, opY + iCount, _Constant);
  std::size_t k = 0;
  for (; k + 4 <= _Inputs.size(); k += 4)
  {
    const double s0 = _S[k], s1 = _S[k + 1], s2 = _S[k + 2], s3 = _S[k + 3];
    const double *x0 = ipColumns[_Inputs[k]], *x1 = ipColumns[_Inputs[k + 1]], *x2 = ipColumns[_Inputs[k + 2]],
                 *x3 = ipColumns[_Inputs[k + 3]];
    for (std::int64_t p = 0; p < iCount; ++p)
      opY[p] += (s0 * x0[p] + s1 * x1[p]) + (s2 * x2[p] + s3 * x3[p]);
  }
  for (; k < _Inputs.size(); ++k)
  {
    const double s = _S[k];
    const double* x = ipColumns[_Inputs[k]];
    for (std::int64_t p = 0; p < iCount; ++p)
      opY[p] += s * x[p];
  }
}

double QAVTasStackupFunction::Hessian(const double* ipX, double* opGradient, double* opHessian) const
{
  const std::size_t n = Inputs().size();
  std::fill(opHessian, opHessian + n * n, 0.0);
  return Gradient(ipX, opGradient);
}

// Exact for a sum: the extremes are the corners the gradient points to.
QAVTasWorstCase::Result QAVTasStackupFunction::WorstCase(const double* ipLow, const double* ipHigh) const
{
  const std::vector<std::int32_t>& inputs = Inputs();
  std::size_t size = 0;
  for (const std::int32_t i : inputs)
    size = std::max(size, static_cast<std::size_t>(i) + 1);
  std::vector<double> x(size), g(inputs.size());
  for (const std::int32_t i : inputs)
    x[i] = 0.5 * (ipLow[i] + ipHigh[i]);
  QAVTasWorstCase::Result r;
  const double centre = Gradient(x.data(), g.data());
  double width = 0.0;
  for (std::size_t k = 0; k < inputs.size(); ++k)
  {
    const std::int32_t i = inputs[k];
    width += std::fabs(g[k]) * 0.5 * (ipHigh[i] - ipLow[i]);
    r.ArgMax.push_back(g[k] >= 0.0 ? ipHigh[i] : ipLow[i]);
    r.ArgMin.push_back(g[k] >= 0.0 ? ipLow[i] : ipHigh[i]);
  }
  r.Min = r.LowerBound = centre - width;
  r.Max = r.UpperBound = centre + width;
  r.Certified = true;
  return r;
}

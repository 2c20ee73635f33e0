#include "QAVTasStackupFunction.h"

#include <algorithm>

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

void QAVTasLinearStackup::Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const
{
  std::fill(opY, opY + iCount, _Constant);
  for (std::size_t k = 0; k < _Inputs.size(); ++k)
  {
    const double s = _S[k];
    const double* x = ipColumns[_Inputs[k]];
    for (std::int64_t p = 0; p < iCount; ++p)
      opY[p] += s * x[p];
  }
}

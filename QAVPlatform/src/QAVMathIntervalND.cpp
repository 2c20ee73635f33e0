#include "QAVMathIntervalND.h"

#include <cmath>

QAVMathIntervalND::QAVMathIntervalND(const std::int32_t iCount, const double* ipBounds)
{
  if (iCount > 0 && ipBounds != nullptr)
    _Bounds.assign(ipBounds, ipBounds + 2 * static_cast<std::size_t>(iCount));
}

std::int32_t QAVMathIntervalND::GetDimension() const
{
  return static_cast<std::int32_t>(_Bounds.size() / 2);
}

double QAVMathIntervalND::GetLow(std::int32_t iDim) const
{
  return _Bounds[2 * static_cast<std::size_t>(iDim)];
}

double QAVMathIntervalND::GetHigh(std::int32_t iDim) const
{
  return _Bounds[2 * static_cast<std::size_t>(iDim) + 1];
}

bool QAVMathIntervalND::IsEmpty() const
{
  if (_Bounds.empty())
    return true;
  for (std::int32_t i = 0; i < GetDimension(); ++i)
  {
    // Written so that a NaN bound also counts as empty.
    if (!(GetLow(i) <= GetHigh(i)))
      return true;
  }
  return false;
}

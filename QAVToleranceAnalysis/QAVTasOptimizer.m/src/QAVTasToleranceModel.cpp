#include "QAVTasToleranceModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// How far v lies outside [lo, hi], relative to max(1, |bound|); an infinite bound is no bound.
double Excess(double iValue, double iLow, double iHigh)
{
  if (std::isnan(iValue))
    return std::numeric_limits<double>::infinity();
  double excess = 0.0;
  if (std::isfinite(iLow) && iValue < iLow)
    excess = (iLow - iValue) / std::max(1.0, std::fabs(iLow));
  if (std::isfinite(iHigh) && iValue > iHigh)
    excess = (iValue - iHigh) / std::max(1.0, std::fabs(iHigh));
  return excess;
}

bool AllFinite(const double* ipValues, std::int32_t iCount)
{
  return std::all_of(ipValues, ipValues + iCount, [](double v) { return std::isfinite(v); });
}
} // namespace

double QAVTasSqrt3(double x)
{
  return x >= 0.0 ? std::pow(x, 1.0 / 3.0) : -std::pow(-x, 1.0 / 3.0);
}

double QAVTasToleranceModel::MaxViolation(const double* ipX) const
{
  double worst = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    worst = std::max(worst, Excess(ipX[i], _pXinf[i], _pXsup[i]));
    worst = std::max(worst, -ipX[i]);
  }
  for (std::int32_t j = 0; j < _Ny; ++j)
    worst = std::max(worst, Excess(StackUp(j, ipX), _pYmin[j], _pYmax[j]));
  return worst;
}

QAVTasToleranceModel::DataFault QAVTasToleranceModel::CheckData(bool iDirectForm) const
{
  for (std::int32_t j = 0; j < _Ny; ++j)
    if (!AllFinite(_ppW[j], _Nx))
      return DataFault::CoefficientNotFinite;
  if (!AllFinite(_pYmin, _Ny) || !AllFinite(_pYmax, _Ny))
    return DataFault::YBoundNotFinite;
  for (std::int32_t j = 0; j < _Ny; ++j)
    if (_pYmin[j] > _pYmax[j])
      return DataFault::YBoundsCrossed;
  if (!AllFinite(_pXinf, _Nx) || !AllFinite(_pXsup, _Nx))
    return DataFault::XBoundNotFinite;
  for (std::int32_t i = 0; i < _Nx; ++i)
    if (_pXinf[i] > _pXsup[i])
      return DataFault::XBoundsCrossed;
  if (iDirectForm && !std::all_of(_pXinf, _pXinf + _Nx, [](double v) { return v > 0.0; }))
    return DataFault::XBoundNotPositive;
  return DataFault::None;
}

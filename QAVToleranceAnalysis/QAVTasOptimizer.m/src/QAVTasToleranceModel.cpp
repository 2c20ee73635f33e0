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

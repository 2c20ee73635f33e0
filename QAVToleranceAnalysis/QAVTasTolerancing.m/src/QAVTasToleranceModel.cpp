#include "QAVTasToleranceModel.h"

#include "QAVTasDataFileItems.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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

QAVTasToleranceModel::DataFault QAVTasToleranceModel::CheckData(bool iDirectForm, std::int64_t* opValue) const
{
  const std::int64_t nw = std::int64_t{_Nx} * _Ny, ymax = nw + _Ny, xinf = ymax + _Ny, xsup = xinf + _Nx;
  std::int64_t at = 0;
  const DataFault fault = FirstFault(iDirectForm, at);
  if (opValue == nullptr || fault == DataFault::None)
    return fault;
  switch (fault)
  {
    case DataFault::CoefficientNotFinite:
      *opValue = at;
      break;
    case DataFault::YBoundNotFinite:
      *opValue = nw + at;
      break;
    case DataFault::YBoundsCrossed:
      *opValue = ymax + at;
      break;
    case DataFault::XBoundNotFinite:
    case DataFault::XBoundNotPositive:
      *opValue = xinf + at;
      break;
    default:
      *opValue = xsup + at;
  }
  return fault;
}

// The first fault and the index of its value within its group (W by rows, Y both bounds, X both).
QAVTasToleranceModel::DataFault QAVTasToleranceModel::FirstFault(bool iDirectForm, std::int64_t& oAt) const
{
  const auto notFinite = [](double v) { return !std::isfinite(v); };
  const auto firstOf = [&oAt](const double* ipValues, std::int64_t iCount, auto iBad, std::int64_t iBefore)
  {
    const double* bad = std::find_if(ipValues, ipValues + iCount, iBad);
    oAt = iBefore + (bad - ipValues);
    return bad != ipValues + iCount;
  };
  for (std::int32_t j = 0; j < _Ny; ++j)
    if (firstOf(_ppW[j], _Nx, notFinite, std::int64_t{j} * _Nx))
      return DataFault::CoefficientNotFinite;
  if (firstOf(_pYmin, _Ny, notFinite, 0) || firstOf(_pYmax, _Ny, notFinite, _Ny))
    return DataFault::YBoundNotFinite;
  for (oAt = 0; oAt < _Ny; ++oAt)
    if (_pYmin[oAt] > _pYmax[oAt])
      return DataFault::YBoundsCrossed;
  if (firstOf(_pXinf, _Nx, notFinite, 0) || firstOf(_pXsup, _Nx, notFinite, _Nx))
    return DataFault::XBoundNotFinite;
  for (oAt = 0; oAt < _Nx; ++oAt)
    if (_pXinf[oAt] > _pXsup[oAt])
      return DataFault::XBoundsCrossed;
  if (iDirectForm &&
      firstOf(
        _pXinf, _Nx, [](double v) { return !(v > 0.0); }, 0))
    return DataFault::XBoundNotPositive;
  return DataFault::None;
}

QAVTasAllocationProblem QAVTasToleranceModel::AllocationProblem() const
{
  using Problem = QAVTasAllocationProblem;
  Problem problem;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    Problem::Dimension dimension;
    dimension.Name = "X" + std::to_string(i + 1);
    dimension.Min = _pXinf[i];
    dimension.Max = _pXsup[i];
    dimension.CostOf.Model = Problem::CostModel::Reciprocal;
    dimension.CostOf.B = 1.0;
    problem.Dimensions.push_back(dimension);
  }
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    Problem::Stackup row;
    row.Name = "Y" + std::to_string(j + 1);
    row.Rule = Problem::Law::Linear;
    row.Lower = _pYmin[j];
    row.Upper = _pYmax[j];
    for (std::int32_t i = 0; i < _Nx; ++i)
      if (_ppW[j][i] != 0.0)
        row.Sensitivity.emplace_back(i, _ppW[j][i]);
    problem.Stackups.push_back(row);
  }
  return problem;
}

std::int32_t QAVTasToleranceModel::ReportLine(DataFault iFault)
{
  using Items = QAVTasDataFileItems;
  switch (iFault)
  {
    case DataFault::CoefficientNotFinite:
      return Items::kWNotFinite;
    case DataFault::YBoundNotFinite:
      return Items::kYNotFinite;
    case DataFault::YBoundsCrossed:
      return Items::kYCrossed;
    case DataFault::XBoundNotFinite:
      return Items::kXNotFinite;
    case DataFault::XBoundsCrossed:
      return Items::kXCrossed;
    case DataFault::XBoundNotPositive:
      return Items::kXNotPositive;
    case DataFault::None:
      break;
  }
  return 0;
}

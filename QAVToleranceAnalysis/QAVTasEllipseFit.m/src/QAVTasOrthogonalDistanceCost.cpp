#include "QAVTasOrthogonalDistanceCost.h"

#include "QAVTasEllipseFootPoint.h"

#include <cmath>

QAVTasOrthogonalDistanceCost::QAVTasOrthogonalDistanceCost(const double* iPoints, std::int32_t iCount)
  : _Points(iPoints), _Count(iCount)
{
  set_num_residuals(iCount);
  mutable_parameter_block_sizes()->push_back(5);
}

double QAVTasOrthogonalDistanceCost::Distance(const double* iEllipse, const double* iPoint, double* oGradient)
{
  const double c = std::cos(iEllipse[4]), s = std::sin(iEllipse[4]);
  const double dx = iPoint[0] - iEllipse[0], dy = iPoint[1] - iEllipse[1];
  const double u = c * dx + s * dy, v = -s * dx + c * dy;
  const QAVTasEllipseFootPoint foot = QAVTasEllipseFootPoint::Find(iEllipse[2], iEllipse[3], u, v);
  if (oGradient)
  {
    oGradient[0] = -foot.normalU * c + foot.normalV * s;
    oGradient[1] = -foot.normalU * s - foot.normalV * c;
    oGradient[2] = foot.dA;
    oGradient[3] = foot.dB;
    oGradient[4] = foot.normalU * v - foot.normalV * u;
  }
  return foot.distance;
}

bool QAVTasOrthogonalDistanceCost::Evaluate(double const* const* iParameters, double* oResiduals,
                                            double** oJacobians) const
{
  double* jacobian = oJacobians ? oJacobians[0] : nullptr;
  for (std::int32_t i = 0; i < _Count; ++i)
    oResiduals[i] = Distance(iParameters[0], _Points + 2 * i, jacobian ? jacobian + 5 * i : nullptr);
  return true;
}

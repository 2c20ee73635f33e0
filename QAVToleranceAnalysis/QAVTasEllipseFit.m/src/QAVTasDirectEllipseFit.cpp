#include "QAVTasDirectEllipseFit.h"

#include <Eigen/Dense>

#include <cmath>
#include <utility>

namespace
{
const double kPi = 3.14159265358979323846;
}

void QAVTasNormaliseEllipse(double* ioParams)
{
  if (ioParams[2] < ioParams[3])
  {
    std::swap(ioParams[2], ioParams[3]);
    ioParams[4] += kPi / 2;
  }
  ioParams[4] = std::remainder(ioParams[4], kPi); // [−π/2, π/2]
  if (ioParams[4] <= -kPi / 2)
    ioParams[4] += kPi;
}

bool QAVTasConicToEllipse(const double* iConic, double* oParams)
{
  Eigen::Matrix2d quadratic;
  quadratic << iConic[0], iConic[1] / 2, iConic[1] / 2, iConic[2];
  const Eigen::Vector2d centre = quadratic.fullPivLu().solve(Eigen::Vector2d(-iConic[3] / 2, -iConic[4] / 2));
  // The conic's value at its centre: F + (D·xc + E·yc)/2.
  const double atCentre = iConic[5] + (iConic[3] * centre.x() + iConic[4] * centre.y()) / 2;
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d> eigen(quadratic);
  const Eigen::Vector2d lambda = eigen.eigenvalues();
  const double r0 = -atCentre / lambda(0), r1 = -atCentre / lambda(1);
  if (!(r0 > 0 && r1 > 0 && std::isfinite(r0) && std::isfinite(r1) && centre.allFinite()))
    return false;
  oParams[0] = centre.x();
  oParams[1] = centre.y();
  oParams[2] = std::sqrt(r0);
  oParams[3] = std::sqrt(r1);
  oParams[4] = std::atan2(eigen.eigenvectors()(1, 0), eigen.eigenvectors()(0, 0));
  QAVTasNormaliseEllipse(oParams);
  return true;
}

bool QAVTasDirectEllipseFit(const double* iPoints, std::int32_t iPointCount, double* oParams)
{
  Eigen::Matrix3d s1 = Eigen::Matrix3d::Zero(), s2 = Eigen::Matrix3d::Zero(), s3 = Eigen::Matrix3d::Zero();
  for (std::int32_t i = 0; i < iPointCount; ++i)
  {
    const double x = iPoints[2 * i], y = iPoints[2 * i + 1];
    const Eigen::Vector3d quadratic(x * x, x * y, y * y), linear(x, y, 1.0);
    s1.noalias() += quadratic * quadratic.transpose();
    s2.noalias() += quadratic * linear.transpose();
    s3.noalias() += linear * linear.transpose();
  }
  const Eigen::LDLT<Eigen::Matrix3d> s3Factor(s3);
  if (s3Factor.info() != Eigen::Success || !(s3Factor.vectorD().minCoeff() > 0))
    return false;
  const Eigen::Matrix3d t = -s3Factor.solve(s2.transpose());
  const Eigen::Matrix3d m = s1 + s2 * t;
  Eigen::Matrix3d reduced; // C1⁻¹·M, C1 = ((0, 0, 2), (0, −1, 0), (2, 0, 0))
  reduced.row(0) = m.row(2) / 2;
  reduced.row(1) = -m.row(1);
  reduced.row(2) = m.row(0) / 2;
  const Eigen::EigenSolver<Eigen::Matrix3d> eigen(reduced);
  if (eigen.info() != Eigen::Success)
    return false;
  int best = -1;
  double bestCondition = 0.0;
  for (int k = 0; k < 3; ++k)
  {
    if (eigen.eigenvalues()(k).imag() != 0.0)
      continue;
    const Eigen::Vector3d v = eigen.eigenvectors().col(k).real().normalized();
    const double condition = 4 * v(0) * v(2) - v(1) * v(1);
    if (condition > bestCondition)
    {
      best = k;
      bestCondition = condition;
    }
  }
  if (best < 0)
    return false;
  const Eigen::Vector3d quadraticPart = eigen.eigenvectors().col(best).real();
  const Eigen::Vector3d linearPart = t * quadraticPart;
  const double conic[6] = {quadraticPart(0), quadraticPart(1), quadraticPart(2),
                           linearPart(0),    linearPart(1),    linearPart(2)};
  return QAVTasConicToEllipse(conic, oParams);
}

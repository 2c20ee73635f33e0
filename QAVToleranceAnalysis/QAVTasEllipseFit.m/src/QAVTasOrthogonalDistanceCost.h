#ifndef QAVTasOrthogonalDistanceCost_H
#define QAVTasOrthogonalDistanceCost_H

#include <ceres/cost_function.h>

#include <cstdint>

// Signed orthogonal distances of a run of points to the ellipse (xc, yc, a, b, θ), one residual per
// point, with the exact Jacobian derived in QAVTasEllipseFitter.h. A run of many points makes few
// residual blocks (fast); a robust loss needs runs of one point, since Ceres applies it per block.
// The points are not copied: they must outlive the cost.
class QAVTasOrthogonalDistanceCost : public ceres::CostFunction
{
public:
  QAVTasOrthogonalDistanceCost(const double* iPoints, std::int32_t iCount);
  bool Evaluate(double const* const* iParameters, double* oResiduals, double** oJacobians) const override;

  // One point's distance and, when oGradient is given, its five derivatives.
  static double Distance(const double* iEllipse, const double* iPoint, double* oGradient);

private:
  const double* _Points;
  std::int32_t _Count;
};

#endif

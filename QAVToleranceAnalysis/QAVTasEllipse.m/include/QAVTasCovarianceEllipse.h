#ifndef QAVTasCovarianceEllipse_H
#define QAVTasCovarianceEllipse_H

#include "QAVHResult.h"
#include "QAVMath2x2Matrix.h"
#include "QAVMathPoint2D.h"
#include "QAVMathTransformation2D.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>

// An ellipse given as the level curve Q(x, y) = _Level of the conic
//     Q(x, y) = _Cxx·x² − 2·_Cxy·x·y + _Cyy·y² − 2·_Cx·x + 2·_Cy·y + _C0,
// with its centre, principal frame, semi-axes and focal points, and measures of how well a point
// set lies on it. Point sets are 2·n doubles interleaved (x0, y0, x1, y1, ...).
// Parameter vectors: (_C0, _Cy, _Cyy, _Cx, _Cxy, _Cxx), or the last five of them.
//
// With A = ((_Cxx, −_Cxy), (−_Cxy, _Cyy)) and centre c (where the gradient of Q vanishes), the curve
// is (p − c)ᵀ·A·(p − c) = _Level − Q(c). In the frame of A's unit eigenvectors w1, w2 (eigenvalues
// μ1, μ2) it reads u²/r1 + v²/r2 = 1 with ri = |_Level − Q(c)| / μi: _SemiAxis1 = √r1 lies along w1.
class QAV_TASOPT_API QAVTasCovarianceEllipse
{
public:
  QAVTasCovarianceEllipse();
  QAVTasCovarianceEllipse(const double iLevel, const double* iParameters);
  QAVTasCovarianceEllipse(const double iLevel, const double* iParameters, const double iU);
  // Centred at the barycentre of the points with Q(centre) = iU·iLevel, or, with iWithoutU, at the
  // origin with no linear or constant term.
  QAVTasCovarianceEllipse(const double iLevel, const double iU, const double iCxx, const double iCyy, const double iCxy,
                          const double* iPoints, const std::int32_t iPointCount, const unsigned char iWithoutU);
  virtual ~QAVTasCovarianceEllipse();

  // Derived members from the coefficients; a conic that is no usable ellipse is not an error.
  HRESULT ComputeEllipse();
  // Where both partial derivatives of Q vanish; not finite for a conic without centre.
  HRESULT GetEllipseCenter(double& oX, double& oY) const;
  HRESULT ComputeVTranslation(const double* iCentre);
  HRESULT ComputeVu(const double iU);
  HRESULT GetEllipseConstant(double& oConstant) const;
  unsigned char IsAnEllipse() const;
  HRESULT GetReducedForm(double& oA, double& oB, QAVMathTransformation2D& oTransformation) const;
  HRESULT GetEllipseFocals(QAVMathPoint2D& oFocal1, QAVMathPoint2D& oFocal2) const;
  HRESULT GetAllParameters(double* iopPramaters) const;
  HRESULT GetMeanDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount, double& oMean,
                                    double& oDeviation) const;
  HRESULT GetVarianceOfDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount,
                                          double& oVariance) const;
  // The same, for a caller that already knows the points' largest pairwise distance.
  HRESULT GetVarianceOfDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount,
                                          const double iMaxDistance, double& oVariance) const;
  // Nearest point of the curve by a 100 x 100 grid search in a 10 x 10 window around the point.
  HRESULT GetMinimizedDistance(const double* iPoint, double* oFoot) const;
  HRESULT GetMinimalDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount, double& oMean) const;

  double _Level = 0.0;
  double _C0 = 0.0;
  double _Cyy = 0.0;
  double _Cxx = 0.0;
  double _Cxy = 0.0;
  double _Cx = 0.0;
  double _Cy = 0.0;
  unsigned char _IsComputed = 0;
  unsigned char _IsAnEllipse = 0;
  double _EllipseConstant = 0.0;
  double _SemiAxis1 = 0.0;
  double _SemiAxis2 = 0.0;
  QAVMathTransformation2D _Transformation;
};

// The two eigenvalues of a 2x2 matrix (larger first) and two unit vectors; E_FAIL for complex or
// (nearly) zero eigenvalues.
QAV_TASOPT_API HRESULT QAVTas2DEigenVectors(QAVMath2x2Matrix& iMatrix, double* oValues, double* oVector1,
                                            double* oVector2);
// The largest pairwise distance, exactly the largest |p_i − p_j|, in O(n log n).
QAV_TASOPT_API HRESULT QAVTasGetMaxDistance(const double* iPoints, const std::int32_t iPointCount, double& oMax);
// The barycentre, (0, 0) for no points.
QAV_TASOPT_API HRESULT QAVTasGetBaryCenter2D(const double* iPoints, const std::int32_t iPointCount, double* oCentre);

#endif

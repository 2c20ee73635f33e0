#include "QAVTasCovarianceEllipse.h"

#include "ErrorDepthHandler.h"
#include "QAVFunctionEpsilon.h"
#include "QAVMathPolynomXY.h"
#include "QAVSamReport.h"
#include "QAVTasPlaneDiameter.h"

#include <cmath>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasCovarianceEllipse";

// Every quantity of ComputeEllipse is scaled first, so that its tolerance tests act on scaled values.
const double kScale = 1000000.0;
// Deviation and variance of a point set spread less than the ellipse's constant.
const double kTooNarrow = 1000000.0;

double Distance(double iX1, double iY1, double iX2, double iY2)
{
  const double dx = iX1 - iX2;
  const double dy = iY1 - iY2;
  return std::sqrt(dx * dx + dy * dy);
}

// Sum of the distances from point i to the two focal points.
double FocalSum(const double* iPoints, std::int32_t i, const QAVMathPoint2D& iF1, const QAVMathPoint2D& iF2)
{
  const double x = iPoints[2 * i];
  const double y = iPoints[2 * i + 1];
  return Distance(x, y, iF1.GetX(), iF1.GetY()) + Distance(x, y, iF2.GetX(), iF2.GetY());
}

// The five coefficients that follow _C0 in a parameter vector.
void SetTermsAfterC0(QAVTasCovarianceEllipse& oEllipse, const double* iTerms)
{
  oEllipse._Cy = iTerms[0];
  oEllipse._Cyy = iTerms[1];
  oEllipse._Cx = iTerms[2];
  oEllipse._Cxy = iTerms[3];
  oEllipse._Cxx = iTerms[4];
}

std::int32_t UsableCount(const double* iPoints, std::int32_t iPointCount)
{
  return iPoints && iPointCount > 0 ? iPointCount : 0;
}
} // namespace

QAVTasCovarianceEllipse::QAVTasCovarianceEllipse() = default;

QAVTasCovarianceEllipse::QAVTasCovarianceEllipse(const double iLevel, const double* iParameters)
{
  if (!iParameters)
    return;
  _Level = iLevel;
  _C0 = iParameters[0];
  SetTermsAfterC0(*this, iParameters + 1);
  ComputeEllipse();
}

QAVTasCovarianceEllipse::QAVTasCovarianceEllipse(const double iLevel, const double* iParameters, const double iU)
{
  if (!iParameters)
    return;
  _Level = iLevel;
  SetTermsAfterC0(*this, iParameters);
  ComputeVu(iU * iLevel);
  ComputeEllipse();
}

QAVTasCovarianceEllipse::QAVTasCovarianceEllipse(const double iLevel, const double iU, const double iCxx,
                                                 const double iCyy, const double iCxy, const double* iPoints,
                                                 const std::int32_t iPointCount, const unsigned char iWithoutU)
  : _Level(iLevel), _Cyy(iCyy), _Cxx(iCxx), _Cxy(iCxy)
{
  if (!iWithoutU)
  {
    double centre[2];
    QAVTasGetBaryCenter2D(iPoints, iPointCount, centre);
    ComputeVTranslation(centre);
    ComputeVu(iU * iLevel);
  }
  ComputeEllipse();
}

QAVTasCovarianceEllipse::~QAVTasCovarianceEllipse() = default;

HRESULT QAVTasCovarianceEllipse::ComputeEllipse()
{
  _IsComputed = 1;
  _IsAnEllipse = 0;
  const double eps = QAVFunctionEpsilon();
  const double c0 = kScale * _C0, cx = kScale * _Cx, cy = kScale * _Cy;
  const double cxx = kScale * _Cxx, cyy = kScale * _Cyy, cxy = kScale * _Cxy, lev = kScale * _Level;

  const double det = cyy * cxx - cxy * cxy;
  if (std::fabs(det) <= eps)
    return S_OK;
  const double tx = -(cyy * cx - cxy * cy) / std::fabs(det);
  const double ty = -(cx * cxy - cxx * cy) / std::fabs(det);

  QAVMath2x2Matrix m(cyy, -cxy, -cxy, cxx);
  double lambda[2], e1[2], e2[2];
  if (QAVTas2DEigenVectors(m, lambda, e1, e2) != S_OK)
    return S_OK;

  // For this m, e1 is the direction of the conic's quadratic form that belongs to lambda[1].
  const QAVMathVector2D w1(e1[0], e1[1]);
  QAVMathVector2D w2(e2[0], e2[1]);
  if (e1[0] * e2[1] - e1[1] * e2[0] < 0)
    w2 = -w2;
  const QAVMath2x2Matrix r(w1, w2, 0);
  _Transformation.SetMatrix(r);
  _Transformation.SetVector(r * QAVMathVector2D(tx, ty));

  const double k = cxx * tx * tx + cyy * ty * ty - 2 * cxy * tx * ty + 2 * cx * tx - 2 * cy * ty + c0 - lev;
  // A non-finite ratio (overflowing coefficients) is no usable semi-axis either.
  const double r1 = std::fabs(k / lambda[1]);
  if (r1 < eps || !std::isfinite(r1))
    return S_OK;
  _SemiAxis1 = std::sqrt(r1);
  const double r2 = std::fabs(k / lambda[0]);
  if (r2 < eps || !std::isfinite(r2))
    return S_OK;
  _SemiAxis2 = std::sqrt(r2);

  _EllipseConstant = 2.0 * (_SemiAxis1 >= _SemiAxis2 ? _SemiAxis1 : _SemiAxis2);
  _IsAnEllipse = 1;
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetEllipseCenter(double& oX, double& oY) const
{
  const double det = _Cyy * _Cxx - _Cxy * _Cxy;
  oX = (_Cyy * _Cx - _Cxy * _Cy) / det;
  oY = (_Cx * _Cxy - _Cxx * _Cy) / det;
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::ComputeVTranslation(const double* iCentre)
{
  _Cx = _Cxx * iCentre[0] - _Cxy * iCentre[1];
  _Cy = _Cxy * iCentre[0] - _Cyy * iCentre[1];
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::ComputeVu(const double iU)
{
  ErrorDepthHandler depth;
  double x = 0.0, y = 0.0;
  if (GetEllipseCenter(x, y) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 643);
  _C0 = iU - _Cxx * x * x - _Cyy * y * y + 2.0 * _Cxy * x * y + 2.0 * _Cx * x - 2.0 * _Cy * y;
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetEllipseConstant(double& oConstant) const
{
  if (!_IsAnEllipse)
    return E_FAIL;
  oConstant = _EllipseConstant;
  return S_OK;
}

unsigned char QAVTasCovarianceEllipse::IsAnEllipse() const
{
  return _IsAnEllipse;
}

HRESULT QAVTasCovarianceEllipse::GetReducedForm(double& oA, double& oB, QAVMathTransformation2D& oTransformation) const
{
  oA = _SemiAxis1;
  oB = _SemiAxis2;
  oTransformation = _Transformation;
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetEllipseFocals(QAVMathPoint2D& oFocal1, QAVMathPoint2D& oFocal2) const
{
  ErrorDepthHandler depth;
  if (!_IsAnEllipse)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 390);
  QAVMathTransformation2D inverse;
  if (!_Transformation.Inverse(inverse))
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 395);
  if (_SemiAxis1 >= _SemiAxis2)
  {
    const double f = std::sqrt(_SemiAxis1 * _SemiAxis1 - _SemiAxis2 * _SemiAxis2);
    oFocal1 = inverse * QAVMathPoint2D(f, 0.0);
    oFocal2 = inverse * QAVMathPoint2D(-f, 0.0);
  }
  else
  {
    const double f = std::sqrt(_SemiAxis2 * _SemiAxis2 - _SemiAxis1 * _SemiAxis1);
    oFocal1 = inverse * QAVMathPoint2D(0.0, f);
    oFocal2 = inverse * QAVMathPoint2D(0.0, -f);
  }
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetAllParameters(double* iopPramaters) const
{
  ErrorDepthHandler depth;
  if (!iopPramaters)
    return QAVSamReport(QAVSamKindNull, "iopPramaters", kErrFile, 653);
  iopPramaters[0] = _C0;
  iopPramaters[1] = _Cy;
  iopPramaters[2] = _Cyy;
  iopPramaters[3] = _Cx;
  iopPramaters[4] = _Cxy;
  iopPramaters[5] = _Cxx;
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetMeanDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount,
                                                           double& oMean, double& oDeviation) const
{
  ErrorDepthHandler depth;
  const std::int32_t n = UsableCount(iPoints, iPointCount);
  double maxDistance = 0.0;
  QAVTasGetMaxDistance(iPoints, n, maxDistance);
  QAVMathPoint2D f1, f2;
  if (GetEllipseFocals(f1, f2) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 315);
  double constant = 0.0;
  if (GetEllipseConstant(constant) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 316);
  if (constant > maxDistance)
  {
    oDeviation = kTooNarrow;
    return S_OK;
  }
  double sum = 0.0, squares = 0.0;
  for (std::int32_t i = 0; i < n; ++i)
  {
    const double s = FocalSum(iPoints, i, f1, f2);
    sum += s;
    squares += (s - constant) * (s - constant);
  }
  oMean = sum / n;
  oDeviation = std::sqrt(squares / n);
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetVarianceOfDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount,
                                                                 double& oVariance) const
{
  double maxDistance = 0.0;
  QAVTasGetMaxDistance(iPoints, UsableCount(iPoints, iPointCount), maxDistance);
  return GetVarianceOfDistanceFromPoints(iPoints, iPointCount, maxDistance, oVariance);
}

HRESULT QAVTasCovarianceEllipse::GetVarianceOfDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount,
                                                                 const double iMaxDistance, double& oVariance) const
{
  ErrorDepthHandler depth;
  QAVMathPoint2D f1, f2;
  if (GetEllipseFocals(f1, f2) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 352);
  double constant = 0.0;
  if (GetEllipseConstant(constant) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 353);
  if (constant > iMaxDistance || !_IsAnEllipse)
  {
    oVariance = kTooNarrow;
    return S_OK;
  }
  const std::int32_t n = UsableCount(iPoints, iPointCount);
  double squares = 0.0;
  for (std::int32_t i = 0; i < n; ++i)
  {
    const double s = FocalSum(iPoints, i, f1, f2);
    squares += (s - constant) * (s - constant);
  }
  oVariance = squares;
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetMinimizedDistance(const double* iPoint, double* oFoot) const
{
  if (!iPoint || !oFoot)
    return E_FAIL;
  const double px = iPoint[0], py = iPoint[1];
  // P = Q − _Level, and N, which vanishes where (x, y) − p is parallel to the gradient of Q.
  const double conic[3][3] = {{_C0 - _Level, 2 * _Cy, _Cyy}, {-2.0 * _Cx, -2.0 * _Cxy, 0.0}, {_Cxx, 0.0, 0.0}};
  const double normal[3][3] = {{-_Cx * py - _Cy * px, -_Cxy * py - _Cyy * px + _Cx, _Cxy},
                               {_Cxx * py + _Cxy * px + _Cy, _Cyy - _Cxx, 0.0},
                               {-_Cxy, 0.0, 0.0}};
  const double* conicRows[3] = {conic[0], conic[1], conic[2]};
  const double* normalRows[3] = {normal[0], normal[1], normal[2]};
  QAVMathPolynomXY p, n;
  p.SetCoefficients(2, 2, conicRows);
  n.SetCoefficients(2, 2, normalRows);

  const double step = 10.0 / 100.0;
  oFoot[0] = px - 5.0;
  oFoot[1] = py - 5.0;
  double best = 100.0;
  for (std::int32_t i = 0; i < 100; ++i)
    for (std::int32_t j = 0; j < 100; ++j)
    {
      const double x = px - 5.0 + i * step;
      const double y = py - 5.0 + j * step;
      const double score = std::fabs(n.Eval(x, y)) + std::fabs(p.Eval(x, y));
      if (score < best)
      {
        oFoot[0] = x;
        oFoot[1] = y;
        best = score;
      }
    }
  return S_OK;
}

HRESULT QAVTasCovarianceEllipse::GetMinimalDistanceFromPoints(const double* iPoints, const std::int32_t iPointCount,
                                                              double& oMean) const
{
  ErrorDepthHandler depth;
  double sum = 0.0;
  for (std::int32_t i = 0; i < iPointCount; ++i)
  {
    const double* point = iPoints ? iPoints + 2 * i : nullptr;
    double foot[2];
    if (GetMinimizedDistance(point, foot) != S_OK)
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, 537);
    sum += Distance(point[0], point[1], foot[0], foot[1]);
  }
  oMean = iPointCount > 0 ? sum / iPointCount : 0.0;
  return S_OK;
}

HRESULT QAVTas2DEigenVectors(QAVMath2x2Matrix& iMatrix, double* oValues, double* oVector1, double* oVector2)
{
  const double eps = QAVFunctionEpsilon();
  double a, b, c, d;
  iMatrix.GetCoef(a, b, c, d);
  if (!oValues || !oVector1 || !oVector2)
    return E_FAIL;
  const double disc = (a + d) * (a + d) - 4.0 * (a * d - b * c);
  // A matrix with a NaN or infinite entry has no usable eigenvalues: fail as for complex ones.
  if (!(disc >= 0) || !std::isfinite(disc))
    return E_FAIL;
  if (std::fabs(b) > eps)
  {
    oValues[0] = (a + d + std::sqrt(disc)) * 0.5;
    oValues[1] = (a + d - std::sqrt(disc)) * 0.5;
    const double m1 = std::sqrt((a - oValues[0]) * (a - oValues[0]) / (b * b) + 1.0);
    oVector1[0] = 1.0 / m1;
    oVector1[1] = (a - oValues[0]) / b / m1;
    const double m2 = std::sqrt((d - oValues[1]) * (d - oValues[1]) / (b * b) + 1.0);
    oVector2[0] = (d - oValues[1]) / b / m2;
    oVector2[1] = 1.0 / m2;
  }
  else
  {
    oValues[0] = a;
    oValues[1] = d;
    oVector1[0] = 1.0;
    oVector1[1] = 0.0;
    oVector2[0] = 0.0;
    oVector2[1] = 1.0;
  }
  if (std::fabs(oValues[0]) <= eps || std::fabs(oValues[1]) <= eps)
    return E_FAIL;
  return S_OK;
}

HRESULT QAVTasGetMaxDistance(const double* iPoints, const std::int32_t iPointCount, double& oMax)
{
  oMax = std::sqrt(QAVTasPlaneDiameterSquared(iPoints, UsableCount(iPoints, iPointCount)));
  return S_OK;
}

HRESULT QAVTasGetBaryCenter2D(const double* iPoints, const std::int32_t iPointCount, double* oCentre)
{
  if (!oCentre)
    return E_FAIL;
  const std::int32_t n = UsableCount(iPoints, iPointCount);
  double sx = 0.0, sy = 0.0;
  for (std::int32_t i = 0; i < n; ++i)
  {
    sx += iPoints[2 * i];
    sy += iPoints[2 * i + 1];
  }
  oCentre[0] = n > 0 ? sx / n : 0.0;
  oCentre[1] = n > 0 ? sy / n : 0.0;
  return S_OK;
}

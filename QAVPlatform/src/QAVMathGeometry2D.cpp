#include "QAVFunctionEpsilon.h"
#include "QAVMath2x2Matrix.h"
#include "QAVMathPolynomXY.h"
#include "QAVMathTransformation2D.h"

#include <cmath>

// 1e-10 leaves six decimal digits of margin over double rounding for values of order one, and
// still lets squared lengths down to 1e-10 (lengths down to 1e-5) count as non-zero.
double QAVFunctionEpsilon()
{
  return 1.0e-10;
}

QAVMath2x2Matrix::QAVMath2x2Matrix(double iA11, double iA12, double iA21, double iA22)
  : _A11(iA11), _A12(iA12), _A21(iA21), _A22(iA22)
{
}

QAVMath2x2Matrix::QAVMath2x2Matrix(const QAVMathVector2D& iV1, const QAVMathVector2D& iV2, short iAsColumns)
{
  if (iAsColumns == 0)
    *this = QAVMath2x2Matrix(iV1.GetX(), iV1.GetY(), iV2.GetX(), iV2.GetY());
  else
    *this = QAVMath2x2Matrix(iV1.GetX(), iV2.GetX(), iV1.GetY(), iV2.GetY());
}

QAVMath2x2Matrix QAVMath2x2Matrix::Transpose() const
{
  return QAVMath2x2Matrix(_A11, _A21, _A12, _A22);
}

double QAVMath2x2Matrix::Determinant() const
{
  return _A11 * _A22 - _A12 * _A21;
}

void QAVMath2x2Matrix::GetCoef(double& oA11, double& oA12, double& oA21, double& oA22) const
{
  oA11 = _A11;
  oA12 = _A12;
  oA21 = _A21;
  oA22 = _A22;
}

QAVMath2x2Matrix QAVMath2x2Matrix::operator*(const QAVMath2x2Matrix& iOther) const
{
  const QAVMath2x2Matrix& o = iOther;
  return QAVMath2x2Matrix(_A11 * o._A11 + _A12 * o._A21, _A11 * o._A12 + _A12 * o._A22, _A21 * o._A11 + _A22 * o._A21,
                          _A21 * o._A12 + _A22 * o._A22);
}

QAVMathVector2D QAVMath2x2Matrix::operator*(const QAVMathVector2D& iVector) const
{
  return QAVMathVector2D(_A11 * iVector.GetX() + _A12 * iVector.GetY(), _A21 * iVector.GetX() + _A22 * iVector.GetY());
}

bool QAVMathTransformation2D::Inverse(QAVMathTransformation2D& oInverse) const
{
  double a, b, c, d;
  _Matrix.GetCoef(a, b, c, d);
  const double det = _Matrix.Determinant();
  if (det == 0.0 || !std::isfinite(det))
    return false;
  const QAVMath2x2Matrix inverse(d / det, -b / det, -c / det, a / det);
  const QAVMathVector2D shift = inverse * _Vector;
  oInverse.SetMatrix(inverse);
  oInverse.SetVector(-shift);
  return true;
}

QAVMathPoint2D QAVMathTransformation2D::operator*(const QAVMathPoint2D& iPoint) const
{
  const QAVMathVector2D moved = _Matrix * QAVMathVector2D(iPoint.GetX(), iPoint.GetY());
  return QAVMathPoint2D(moved.GetX() + _Vector.GetX(), moved.GetY() + _Vector.GetY());
}

void QAVMathPolynomXY::SetCoefficients(std::int32_t iDegreeX, std::int32_t iDegreeY, const double* const* iRows)
{
  _Coef.clear();
  _DegreeY = -1;
  if (iDegreeX < 0 || iDegreeY < 0 || !iRows)
    return;
  _DegreeY = iDegreeY;
  for (std::int32_t i = 0; i <= iDegreeX; ++i)
    _Coef.insert(_Coef.end(), iRows[i], iRows[i] + iDegreeY + 1);
}

double QAVMathPolynomXY::Eval(double iX, double iY) const
{
  // Horner in x over rows that are themselves evaluated by Horner in y.
  const std::size_t width = static_cast<std::size_t>(_DegreeY + 1);
  double value = 0.0;
  for (std::size_t row = _Coef.size(); row >= width && width > 0; row -= width)
  {
    double inY = 0.0;
    for (std::size_t k = row; k > row - width; --k)
      inY = inY * iY + _Coef[k - 1];
    value = value * iX + inY;
  }
  return value;
}

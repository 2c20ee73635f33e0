#ifndef QAVMath2x2Matrix_H
#define QAVMath2x2Matrix_H

#include "QAVMathVector2D.h"
#include "QAVPlatformExport.h"

// A real 2x2 matrix, coefficients named row by row: (a11, a12, a21, a22).
class QAV_PLATFORM_API QAVMath2x2Matrix
{
public:
  // The identity.
  QAVMath2x2Matrix() = default;
  QAVMath2x2Matrix(double iA11, double iA12, double iA21, double iA22);
  // iAsColumns 0: the two vectors are the rows; otherwise they are the columns.
  QAVMath2x2Matrix(const QAVMathVector2D& iV1, const QAVMathVector2D& iV2, short iAsColumns);

  QAVMath2x2Matrix Transpose() const;
  double Determinant() const;
  void GetCoef(double& oA11, double& oA12, double& oA21, double& oA22) const;

  QAVMath2x2Matrix operator*(const QAVMath2x2Matrix& iOther) const;
  QAVMathVector2D operator*(const QAVMathVector2D& iVector) const;

private:
  double _A11 = 1.0;
  double _A12 = 0.0;
  double _A21 = 0.0;
  double _A22 = 1.0;
};

#endif

#ifndef QAVMathTransformation2D_H
#define QAVMathTransformation2D_H

#include "QAVMath2x2Matrix.h"
#include "QAVMathPoint2D.h"
#include "QAVMathVector2D.h"
#include "QAVPlatformExport.h"

// An affine map of the plane, p -> M·p + v; the identity by default.
class QAV_PLATFORM_API QAVMathTransformation2D
{
public:
  QAVMathTransformation2D() = default;

  void SetMatrix(const QAVMath2x2Matrix& iMatrix) { _Matrix = iMatrix; }
  void SetVector(const QAVMathVector2D& iVector) { _Vector = iVector; }
  const QAVMath2x2Matrix& GetMatrix() const { return _Matrix; }
  const QAVMathVector2D& GetVector() const { return _Vector; }

  // The inverse map; false (oInverse untouched) when the matrix is singular or not finite.
  bool Inverse(QAVMathTransformation2D& oInverse) const;

  QAVMathPoint2D operator*(const QAVMathPoint2D& iPoint) const;

private:
  QAVMath2x2Matrix _Matrix;
  QAVMathVector2D _Vector;
};

#endif

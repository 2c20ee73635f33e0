#ifndef QAVMathVector2D_H
#define QAVMathVector2D_H

#include "QAVPlatformExport.h"

// A vector of the plane.
class QAV_PLATFORM_API QAVMathVector2D
{
public:
  QAVMathVector2D() = default;
  QAVMathVector2D(double iX, double iY) : _X(iX), _Y(iY) {}

  double GetX() const { return _X; }
  double GetY() const { return _Y; }

  QAVMathVector2D operator-() const { return QAVMathVector2D(-_X, -_Y); }

private:
  double _X = 0.0;
  double _Y = 0.0;
};

#endif

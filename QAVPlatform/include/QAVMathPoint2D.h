#ifndef QAVMathPoint2D_H
#define QAVMathPoint2D_H

#include "QAVPlatformExport.h"

// A point of the plane.
class QAV_PLATFORM_API QAVMathPoint2D
{
public:
  QAVMathPoint2D() = default;
  QAVMathPoint2D(double iX, double iY) : _X(iX), _Y(iY) {}

  double GetX() const { return _X; }
  double GetY() const { return _Y; }

private:
  double _X = 0.0;
  double _Y = 0.0;
};

#endif

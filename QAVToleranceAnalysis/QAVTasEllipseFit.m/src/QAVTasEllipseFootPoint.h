#ifndef QAVTasEllipseFootPoint_H
#define QAVTasEllipseFootPoint_H

// The point of u²/a² + v²/b² = 1 (a, b > 0, either larger) nearest to (u, v), in the ellipse's own
// frame, and the derivatives the fit needs (see QAVTasEllipseFitter.h for the math).
struct QAVTasEllipseFootPoint
{
  double u, v;             // the foot
  double distance;         // signed: positive outside
  double normalU, normalV; // unit outward normal at the foot
  double dA, dB;           // ∂distance/∂a, ∂distance/∂b with (u, v) held

  static QAVTasEllipseFootPoint Find(double iA, double iB, double iU, double iV);
};

#endif

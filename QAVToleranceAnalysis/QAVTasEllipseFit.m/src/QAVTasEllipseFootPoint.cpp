#include "QAVTasEllipseFootPoint.h"

#include <algorithm>
#include <cmath>

namespace
{
// Root of F(s) = (r0·z0/(s + r0))² + (z1/(s + 1))² − 1 (t = e1²·s), bracketed by [z1 − 1, s1]
// with F(z1 − 1) ≥ 0 ≥ F(s1); F is convex and decreasing there, so Newton's method is monotone from
// the left. It starts at s = 0, where F is g: a point near the curve is a few steps from the root.
// From the right (g < 0) the first step lands left of the root, and the climb goes on from there.
double FocalRoot(double iR0, double iZ0, double iZ1, double iG)
{
  const double n0 = iR0 * iZ0, lo = iZ1 - 1.0;
  const double hi = iG < 0 ? 0.0 : std::sqrt(n0 * n0 + iZ1 * iZ1) - 1.0;
  double s = 0.0;
  for (int i = 0; i < 100; ++i)
  {
    const double q0 = 1.0 / (s + iR0), q1 = 1.0 / (s + 1.0), p0 = n0 * q0, p1 = iZ1 * q1;
    const double f = p0 * p0 + p1 * p1 - 1.0;
    if (f == 0.0 || (f < 0.0 && i > 0))
      break;
    const double slope = -2.0 * (p0 * p0 * q0 + p1 * p1 * q1);
    const double next = std::max(lo, std::min(s - f / slope, hi));
    if (f > 0.0 && !(next > s))
      break;
    s = next;
  }
  return s;
}

// Foot for y0, y1 ≥ 0 on the ellipse with semi-axes e0 ≥ e1 > 0 along x0, x1.
void FootInQuadrant(double e0, double e1, double y0, double y1, double& x0, double& x1)
{
  if (y1 > 0)
  {
    if (y0 > 0)
    {
      const double z0 = y0 / e0, z1 = y1 / e1, g = z0 * z0 + z1 * z1 - 1.0;
      if (g == 0.0)
      {
        x0 = y0;
        x1 = y1;
        return;
      }
      const double r0 = (e0 / e1) * (e0 / e1), s = FocalRoot(r0, z0, z1, g);
      x0 = r0 * y0 / (s + r0);
      x1 = y1 / (s + 1.0);
      return;
    }
    x0 = 0.0;
    x1 = e1;
    return;
  }
  // On the major axis: off the axis when inside the centre of curvature of the vertex.
  const double numer = e0 * y0, denom = e0 * e0 - e1 * e1;
  if (numer < denom)
  {
    const double ratio = numer / denom;
    x0 = e0 * ratio;
    x1 = e1 * std::sqrt(std::max(0.0, 1.0 - ratio * ratio));
    return;
  }
  x0 = e0;
  x1 = 0.0;
}
} // namespace

QAVTasEllipseFootPoint QAVTasEllipseFootPoint::Find(double iA, double iB, double iU, double iV)
{
  const bool swap = iA < iB;
  const double e0 = swap ? iB : iA, e1 = swap ? iA : iB;
  const double y0 = std::fabs(swap ? iV : iU), y1 = std::fabs(swap ? iU : iV);
  double x0 = 0.0, x1 = 0.0;
  FootInQuadrant(e0, e1, y0, y1, x0, x1);
  QAVTasEllipseFootPoint f;
  f.u = std::copysign(swap ? x1 : x0, iU);
  f.v = std::copysign(swap ? x0 : x1, iV);
  const double gu = f.u / (iA * iA), gv = f.v / (iB * iB), norm = std::sqrt(gu * gu + gv * gv);
  f.normalU = gu / norm;
  f.normalV = gv / norm;
  f.distance = (iU - f.u) * f.normalU + (iV - f.v) * f.normalV;
  f.dA = -(f.u * f.u / (iA * iA * iA)) / norm;
  f.dB = -(f.v * f.v / (iB * iB * iB)) / norm;
  return f;
}

#include "QAVTasPlaneDiameter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

// The hull and the caliper walk take every decision with an exact sign of a cross product of two
// coordinate differences, so no extreme point is lost to rounding. Each candidate pair's squared
// distance is then computed with the same formula as a loop over all pairs.
namespace
{
struct Point
{
  double x;
  double y;
};

void TwoSum(double a, double b, double& x, double& y)
{
  x = a + b;
  const double bv = x - a;
  const double av = x - bv;
  y = (a - av) + (b - bv);
}

void TwoDiff(double a, double b, double& x, double& y)
{
  x = a - b;
  const double bv = a - x;
  const double av = x + bv;
  y = (a - av) + (bv - b);
}

void TwoProduct(double a, double b, double& x, double& y)
{
  x = a * b;
  y = std::fma(a, b, -x);
}

// Exact sign of (a.x − b.x)(c.y − d.y) − (a.y − b.y)(c.x − d.x), summing the 16 exact partial
// products into a non-overlapping expansion whose largest component carries the sign.
int ExactCrossSign(const Point& a, const Point& b, const Point& c, const Point& d)
{
  double u[2], v[2], s[2], t[2];
  TwoDiff(a.x, b.x, u[1], u[0]);
  TwoDiff(c.y, d.y, v[1], v[0]);
  TwoDiff(a.y, b.y, s[1], s[0]);
  TwoDiff(c.x, d.x, t[1], t[0]);
  double terms[16];
  int k = 0;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
    {
      TwoProduct(u[i], v[j], terms[k], terms[k + 1]);
      TwoProduct(-s[i], t[j], terms[k + 2], terms[k + 3]);
      k += 4;
    }
  double expansion[16];
  int length = 0;
  for (double term : terms)
  {
    double carry = term;
    for (int i = 0; i < length; ++i)
      TwoSum(carry, expansion[i], carry, expansion[i]);
    expansion[length++] = carry;
  }
  for (int i = length - 1; i >= 0; --i)
    if (expansion[i] != 0.0)
      return expansion[i] > 0.0 ? 1 : -1;
  return 0;
}

// Sign of (a − b) × (c − d): the rounded value when it is clear of its error bound, else exact.
int CrossSign(const Point& a, const Point& b, const Point& c, const Point& d)
{
  static const double kBound =
    (3.0 + 16.0 * std::numeric_limits<double>::epsilon() / 2) * (std::numeric_limits<double>::epsilon() / 2);
  const double left = (a.x - b.x) * (c.y - d.y);
  const double right = (a.y - b.y) * (c.x - d.x);
  const double det = left - right;
  const double bound = kBound * (std::fabs(left) + std::fabs(right));
  if (det > bound)
    return 1;
  if (-det > bound)
    return -1;
  return ExactCrossSign(a, b, c, d);
}

double SquaredDistance(const Point& a, const Point& b)
{
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// Counter-clockwise hull without collinear points (Andrew's monotone chain); sorted, distinct input.
std::vector<Point> ConvexHull(const std::vector<Point>& iSorted)
{
  const std::size_t n = iSorted.size();
  if (n < 3)
    return iSorted;
  std::vector<Point> hull(2 * n);
  std::size_t k = 0;
  for (std::size_t pass = 0; pass < 2; ++pass)
  {
    const std::size_t floor = pass == 0 ? 2 : k + 1;
    for (std::size_t step = pass; step < n; ++step)
    {
      const Point& p = pass == 0 ? iSorted[step] : iSorted[n - 1 - step];
      while (k >= floor && CrossSign(hull[k - 1], hull[k - 2], p, hull[k - 2]) <= 0)
        --k;
      hull[k++] = p;
    }
  }
  hull.resize(k - 1);
  return hull;
}

double CaliperDiameterSquared(const std::vector<Point>& iHull)
{
  const std::size_t h = iHull.size();
  if (h < 2)
    return 0.0;
  if (h == 2)
    return SquaredDistance(iHull[0], iHull[1]);
  double best = 0.0;
  std::size_t j = 1;
  std::size_t budget = 3 * h;
  for (std::size_t i = 0; i < h; ++i)
  {
    const std::size_t i1 = (i + 1) % h;
    while (budget > 0 && CrossSign(iHull[i1], iHull[i], iHull[(j + 1) % h], iHull[j]) > 0)
    {
      j = (j + 1) % h;
      --budget;
    }
    const std::size_t j1 = (j + 1) % h;
    best = std::max({best, SquaredDistance(iHull[i], iHull[j]), SquaredDistance(iHull[i1], iHull[j]),
                     SquaredDistance(iHull[i], iHull[j1]), SquaredDistance(iHull[i1], iHull[j1])});
  }
  return best;
}

// The exact signs need products of coordinate differences far from overflow: below 2^500 per
// difference, a sum of their 16 partial products stays finite. Sorted by x.
bool WithinSafeRange(const std::vector<Point>& iSorted)
{
  const double limit = std::ldexp(1.0, 500);
  const auto y =
    std::minmax_element(iSorted.begin(), iSorted.end(), [](const Point& a, const Point& b) { return a.y < b.y; });
  return iSorted.back().x - iSorted.front().x < limit && y.second->y - y.first->y < limit;
}

// A wider set: when the largest x or y difference squares to infinity, so does the all-pairs
// value; short of that (a rare band of magnitudes), the all-pairs loop itself.
double WideDiameterSquared(const std::vector<Point>& iSorted)
{
  const auto y =
    std::minmax_element(iSorted.begin(), iSorted.end(), [](const Point& a, const Point& b) { return a.y < b.y; });
  const double dx = iSorted.back().x - iSorted.front().x;
  const double dy = y.second->y - y.first->y;
  if (std::isinf(dx * dx) || std::isinf(dy * dy))
    return std::numeric_limits<double>::infinity();
  double best = 0.0;
  for (std::size_t i = 0; i < iSorted.size(); ++i)
    for (std::size_t j = i + 1; j < iSorted.size(); ++j)
      best = std::max(best, SquaredDistance(iSorted[i], iSorted[j]));
  return best;
}
} // namespace

double QAVTasPlaneDiameterSquared(const double* iPoints, std::int32_t iCount)
{
  if (!iPoints || iCount < 2)
    return 0.0;
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(iCount));
  bool infinite = false;
  for (std::int32_t i = 0; i < iCount; ++i)
  {
    const Point p{iPoints[2 * i], iPoints[2 * i + 1]};
    if (std::isnan(p.x) || std::isnan(p.y))
      continue;
    infinite = infinite || std::isinf(p.x) || std::isinf(p.y);
    points.push_back(p);
  }
  if (points.size() < 2)
    return 0.0;
  if (infinite)
    return std::numeric_limits<double>::infinity();
  std::sort(points.begin(), points.end(),
            [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  points.erase(
    std::unique(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }),
    points.end());
  if (!WithinSafeRange(points))
    return WideDiameterSquared(points);
  return CaliperDiameterSquared(ConvexHull(points));
}

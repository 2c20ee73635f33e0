#include "ErrorDepthHandler.h"
#include "QAVMathPolynomXY.h"
#include "QAVTasCovarianceEllipse.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

namespace
{
const double kPi = 3.14159265358979323846;
const double kCircle[6] = {0, 0, 1, 0, 0, 1};
typedef ErrorDepthHandler R;

double Q(const QAVTasCovarianceEllipse& e, double x, double y)
{
  return e._Cxx * x * x - 2 * e._Cxy * x * y + e._Cyy * y * y - 2 * e._Cx * x + 2 * e._Cy * y + e._C0;
}

void ExpectReport(std::int32_t kind, const char* text, std::int32_t line)
{
  EXPECT_EQ(R::_ier_, kind);
  EXPECT_EQ(R::_c_err_, text);
  EXPECT_EQ(R::_i_err_, -1);
  EXPECT_EQ(R::_errfile_, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasCovarianceEllipse");
  EXPECT_EQ(R::_i_errline_, line);
}

double FocalSum(const QAVMathPoint2D& f1, const QAVMathPoint2D& f2, double x, double y)
{
  return std::hypot(x - f1.GetX(), y - f1.GetY()) + std::hypot(x - f2.GetX(), y - f2.GetY());
}

// The ellipse (p − c)ᵀ·A·(p − c) = k with A = ((cxx, −cxy), (−cxy, cyy)), worked out by hand.
struct Truth
{
  double cxx, cyy, cxy, cx0, cy0, k;
  double major = 0, minor = 0, ux = 0, uy = 0; // semi-axes, unit direction of the major axis
  void Solve()
  {
    const double mean = 0.5 * (cxx + cyy), half = std::sqrt(0.25 * (cxx - cyy) * (cxx - cyy) + cxy * cxy);
    major = std::sqrt(k / (mean - half));
    minor = std::sqrt(k / (mean + half));
    // (A − small·I)·u = 0, first row: (cxx − small)·ux − cxy·uy = 0.
    const double norm = std::hypot(cxy, cxx - mean + half);
    ux = cxy / norm;
    uy = (cxx - mean + half) / norm;
  }
  std::vector<double> Sample(int count) const
  {
    std::vector<double> points;
    for (int i = 0; i < count; ++i)
    {
      const double t = 2 * kPi * i / count;
      // The two vertices lie a hair outside, so that the points' spread reaches the constant.
      const double stretch = (i == 0 || 2 * i == count) ? 1.0 + 1e-12 : 1.0;
      const double a = major * std::cos(t) * stretch, b = minor * std::sin(t);
      points.insert(points.end(), {cx0 + a * ux - b * uy, cy0 + a * uy + b * ux});
    }
    return points;
  }
};
} // namespace

TEST(CovarianceEllipse, RotatedTranslatedEllipsesMatchIndependentGeometry)
{
  struct Case
  {
    double cxx, cyy, cxy, cx0, cy0, level, u;
  } cases[] = {
    {2, 1, 0.5, 3, -2, 1.0, 0.0},     {1, 3, -0.7, -4, 10, 2.5, 0.0},     {1, 3, -0.7, 0.5, 0.25, 2.0, 0.5},
    {5, 0.2, 0.9, 100, 50, 3.0, 0.0}, {0.3, 0.3, 0.1, -1, -1, 1.0, -1.0}, {4, 1, 0, 0, 0, 4.0, 0.0},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message() << c.cxx << " " << c.cyy << " " << c.cxy);
    const double around[] = {c.cx0 - 1, c.cy0, c.cx0 + 1, c.cy0, c.cx0, c.cy0 - 1, c.cx0, c.cy0 + 1};
    QAVTasCovarianceEllipse e(c.level, c.u, c.cxx, c.cyy, c.cxy, around, 4, 0);
    Truth truth{c.cxx, c.cyy, c.cxy, c.cx0, c.cy0, c.level * (1 - c.u)};
    truth.Solve();
    const double tol = 1e-9 * (1 + std::fabs(c.cx0) + std::fabs(c.cy0));

    double x, y;
    e.GetEllipseCenter(x, y);
    EXPECT_NEAR(x, c.cx0, tol);
    EXPECT_NEAR(y, c.cy0, tol);
    EXPECT_NEAR(Q(e, c.cx0, c.cy0), c.u * c.level, 1e-9 * (1 + std::fabs(Q(e, 0, 0))));
    ASSERT_TRUE(e.IsAnEllipse());
    EXPECT_NEAR(std::max(e._SemiAxis1, e._SemiAxis2), truth.major, 1e-9);
    EXPECT_NEAR(std::min(e._SemiAxis1, e._SemiAxis2), truth.minor, 1e-9);
    EXPECT_NEAR(e._EllipseConstant, 2 * truth.major, 1e-9);

    // The transformation takes the centre to the origin with a proper rotation, and the semi-axes
    // lie along the frame's axes in their order.
    double a, b;
    QAVMathTransformation2D t, inverse;
    e.GetReducedForm(a, b, t);
    const QAVMathPoint2D origin = t * QAVMathPoint2D(c.cx0, c.cy0);
    EXPECT_NEAR(origin.GetX(), 0.0, tol);
    EXPECT_NEAR(origin.GetY(), 0.0, tol);
    EXPECT_NEAR(t.GetMatrix().Determinant(), 1.0, 1e-12);
    ASSERT_TRUE(t.Inverse(inverse));
    for (double angle : {0.0, 0.5 * kPi, 1.0, 2.5, 4.0})
    {
      const QAVMathPoint2D p = inverse * QAVMathPoint2D(a * std::cos(angle), b * std::sin(angle));
      EXPECT_NEAR(Q(e, p.GetX(), p.GetY()), c.level, 1e-9 * (1 + std::fabs(e._C0))) << angle;
    }

    QAVMathPoint2D f1, f2;
    ASSERT_EQ(e.GetEllipseFocals(f1, f2), S_OK);
    const double f = std::sqrt(truth.major * truth.major - truth.minor * truth.minor);
    const double s = (f1.GetX() - c.cx0) * truth.ux + (f1.GetY() - c.cy0) * truth.uy > 0 ? f : -f;
    EXPECT_NEAR(f1.GetX(), c.cx0 + s * truth.ux, tol);
    EXPECT_NEAR(f1.GetY(), c.cy0 + s * truth.uy, tol);
    EXPECT_NEAR(f2.GetX(), c.cx0 - s * truth.ux, tol);
    EXPECT_NEAR(f2.GetY(), c.cy0 - s * truth.uy, tol);

    const std::vector<double> on = truth.Sample(36);
    for (std::size_t i = 0; i < on.size(); i += 2)
      EXPECT_NEAR(FocalSum(f1, f2, on[i], on[i + 1]), e._EllipseConstant, 1e-9);
    double variance = -1, mean = -1, deviation = -1;
    ASSERT_EQ(e.GetVarianceOfDistanceFromPoints(on.data(), 36, variance), S_OK);
    EXPECT_LT(variance, 1e-18);
    ASSERT_EQ(e.GetMeanDistanceFromPoints(on.data(), 36, mean, deviation), S_OK);
    EXPECT_NEAR(mean, e._EllipseConstant, 1e-9);
    EXPECT_LT(deviation, 1e-9);

    // The same conic through the five- and six-element parameter vectors.
    double six[6];
    ASSERT_EQ(e.GetAllParameters(six), S_OK);
    QAVTasCovarianceEllipse fromSix(c.level, six), fromFive(c.level, six + 1, c.u);
    for (const QAVTasCovarianceEllipse* other : {&fromSix, &fromFive})
    {
      EXPECT_NEAR(other->_C0, e._C0, 1e-9 * (1 + std::fabs(e._C0)));
      EXPECT_NEAR(other->_SemiAxis1, e._SemiAxis1, 1e-9);
      EXPECT_NEAR(other->_SemiAxis2, e._SemiAxis2, 1e-9);
    }
  }
}

TEST(CovarianceEllipse, ConicsThatAreNoEllipse)
{
  QAVMathPoint2D f1, f2;
  double constant = -1, variance = -1, mean = -7, deviation = -1;
  const double points[] = {0, 0, 5, 5};
  // cxy² = cxx·cyy (degenerate) and level = Q(centre) (K = 0).
  const double degenerate[6] = {0, 0, 8, 0, 4, 2}, flat[6] = {3, 0, 1, 0, 0, 1};
  QAVTasCovarianceEllipse none(3.0, degenerate), zeroK(3.0, flat);
  for (const QAVTasCovarianceEllipse* e : {&none, &zeroK})
  {
    EXPECT_EQ(e->_IsComputed, 1);
    EXPECT_EQ(e->IsAnEllipse(), 0);
    ErrorDepthHandler::ClearRecord();
    EXPECT_EQ(e->GetEllipseConstant(constant), E_FAIL);
    EXPECT_EQ(R::_ier_, 0); // silent
    EXPECT_EQ(e->GetEllipseFocals(f1, f2), E_FAIL);
    ExpectReport(1, "", 390);
    EXPECT_EQ(e->GetVarianceOfDistanceFromPoints(points, 2, variance), E_FAIL);
    ExpectReport(1, "", 352);
    EXPECT_EQ(e->GetMeanDistanceFromPoints(points, 2, mean, deviation), E_FAIL);
    ExpectReport(1, "", 315);
  }
  EXPECT_EQ(constant + variance + mean, -9); // outputs untouched

  QAVTasCovarianceEllipse noSix(2.0, nullptr), noFive(2.0, nullptr, 1.0);
  for (const QAVTasCovarianceEllipse* e : {&noSix, &noFive})
  {
    EXPECT_EQ(e->_IsComputed, 0);
    EXPECT_EQ(e->_Level, 0.0);
  }
}

TEST(CovarianceEllipse, PointsSpreadLessThanTheConstantGetTheFallback)
{
  QAVTasCovarianceEllipse e(4.0, kCircle); // radius 2, constant 4
  const double narrow[] = {2, 0, 0, 2, -1.9, 0};
  double variance = -1, mean = -7, deviation = -1;
  ASSERT_EQ(e.GetVarianceOfDistanceFromPoints(narrow, 3, variance), S_OK);
  EXPECT_EQ(variance, 1000000.0);
  ASSERT_EQ(e.GetMeanDistanceFromPoints(narrow, 3, mean, deviation), S_OK);
  EXPECT_EQ(deviation, 1000000.0);
  EXPECT_EQ(mean, -7); // untouched
  // A caller that knows the spread gets the plain sum; no points at all sum to 0.
  ASSERT_EQ(e.GetVarianceOfDistanceFromPoints(narrow, 3, 4.0, variance), S_OK);
  EXPECT_NEAR(variance, 0.04, 1e-12); // (2·1.9 − 4)²
  ASSERT_EQ(e.GetVarianceOfDistanceFromPoints(nullptr, 0, 4.0, variance), S_OK);
  EXPECT_EQ(variance, 0.0);
}

TEST(CovarianceEllipse, MinimizedDistanceOnACircle)
{
  QAVTasCovarianceEllipse e(4.0, kCircle);
  // {point, expected foot}: (−2, 0) and (2, 0) both score 0 and the first node reached wins; far
  // away nothing scores below 100 and the foot stays at the window's corner.
  const double cases[][4] = {{3, 0, -2, 0}, {20, 0, 15, -5}};
  double foot[2];
  for (const auto& c : cases)
  {
    ASSERT_EQ(e.GetMinimizedDistance(c, foot), S_OK);
    EXPECT_EQ(foot[0], c[2]);
    EXPECT_EQ(foot[1], c[3]);
  }
  // The foot lies on the curve within the grid step for a point with no exact node.
  const double q[] = {0.3, 2.77};
  ASSERT_EQ(e.GetMinimizedDistance(q, foot), S_OK);
  EXPECT_NEAR(std::hypot(foot[0], foot[1]), 2.0, 0.1);

  double mean = -1;
  const double two[] = {3, 0, 20, 0};
  ASSERT_EQ(e.GetMinimalDistanceFromPoints(two, 2, mean), S_OK);
  EXPECT_DOUBLE_EQ(mean, (5.0 + std::hypot(5.0, 5.0)) / 2);
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(nullptr, 1, mean), E_FAIL);
  ExpectReport(1, "", 537);
}

TEST(CovarianceEllipse, ParametersRoundTripAndNullOutput)
{
  const double six[6] = {-3.5, 1.25, 2.0, -0.75, 0.3, 1.5};
  double out[6];
  ASSERT_EQ(QAVTasCovarianceEllipse(2.0, six).GetAllParameters(out), S_OK);
  EXPECT_EQ(std::vector<double>(out, out + 6), std::vector<double>(six, six + 6));
  EXPECT_EQ(QAVTasCovarianceEllipse(2.0, six).GetAllParameters(nullptr), E_FAIL);
  ExpectReport(3, "iopPramaters", 653);
}

// General matrices are covered by the rotated ellipses above.
TEST(EigenVectors, DiagonalAndFailingMatrices)
{
  double values[2], e1[2], e2[2];
  QAVMath2x2Matrix diagonal(3, 0, 0, -2), rotation(0, -1, 1, 0), singular(1, 1, 1, 1);
  ASSERT_EQ(QAVTas2DEigenVectors(diagonal, values, e1, e2), S_OK);
  EXPECT_EQ(values[0], 3.0);
  EXPECT_EQ(values[1], -2.0);
  EXPECT_EQ(e1[0], 1.0);
  EXPECT_EQ(e2[1], 1.0);
  values[0] = 42; // complex eigenvalues, a zero eigenvalue
  EXPECT_EQ(QAVTas2DEigenVectors(rotation, values, e1, e2), E_FAIL);
  EXPECT_EQ(values[0], 42.0);
  EXPECT_EQ(QAVTas2DEigenVectors(singular, values, e1, e2), E_FAIL);
}

TEST(PlatformGeometry, PolynomialOfUnequalDegrees)
{
  // rows[i][j] multiplies x^i·y^j.
  const double r0[] = {1, 2, 3, 7}, r1[] = {4, 5, 0, 0}, r2[] = {6, 0, 0, 0};
  const double* rows[] = {r0, r1, r2};
  QAVMathPolynomXY p;
  EXPECT_EQ(p.Eval(3, 4), 0.0);
  p.SetCoefficients(2, 3, rows);
  const double x = 1.5, y = -2.0;
  EXPECT_DOUBLE_EQ(p.Eval(x, y), 1 + 2 * y + 3 * y * y + 7 * y * y * y + 4 * x + 5 * x * y + 6 * x * x);
}

TEST(CovarianceEllipseHostile, NonFiniteCoefficientsAreNeverAnEllipse)
{
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300})
    for (int slot = 0; slot < 7; ++slot)
    {
      double coefficients[6] = {0.0, 0.0, 1.0, 0.0, 0.0, 1.0};
      double level = 4.0;
      (slot < 6 ? coefficients[slot] : level) = bad;
      QAVTasCovarianceEllipse e(level, coefficients);
      double constant = -1.0;
      EXPECT_EQ(e._IsComputed, 1);
      if (!e.IsAnEllipse())
        EXPECT_EQ(e.GetEllipseConstant(constant), E_FAIL);
      else
        EXPECT_TRUE(std::isfinite(e._SemiAxis1) && std::isfinite(e._SemiAxis2)) << bad << " in " << slot;
    }
  double values[2], e1[2], e2[2];
  for (double bad : {std::nan(""), HUGE_VAL})
  {
    QAVMath2x2Matrix m(bad, 0.5, 0.5, 1.0);
    EXPECT_EQ(QAVTas2DEigenVectors(m, values, e1, e2), E_FAIL);
  }
  QAVMath2x2Matrix fine(2.0, 0.5, 0.5, 1.0);
  EXPECT_EQ(QAVTas2DEigenVectors(fine, nullptr, e1, e2), E_FAIL);
  EXPECT_EQ(QAVTas2DEigenVectors(fine, values, e1, nullptr), E_FAIL);
}

TEST(CovarianceEllipseHostile, NullOrNegativePointSetsCountAsNoPointsAndNaNPointsStayNaN)
{
  const double circle[6] = {0.0, 0.0, 1.0, 0.0, 0.0, 1.0};
  QAVTasCovarianceEllipse e(4.0, circle);
  double points[4] = {2.0, 0.0, 0.0, 2.0};
  double centre[2] = {9, 9}, value = -1.0, deviation = -1.0;
  EXPECT_EQ(QAVTasGetBaryCenter2D(points, -2, centre), S_OK);
  EXPECT_EQ(centre[0], 0.0);
  EXPECT_EQ(QAVTasGetBaryCenter2D(nullptr, 5, centre), S_OK);
  EXPECT_EQ(QAVTasGetBaryCenter2D(points, 2, nullptr), E_FAIL);
  EXPECT_EQ(QAVTasGetMaxDistance(nullptr, 9, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(QAVTasGetMaxDistance(points, INT32_MIN, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(e.GetVarianceOfDistanceFromPoints(nullptr, 3, value), S_OK);
  EXPECT_EQ(value, 1000000.0);
  EXPECT_EQ(e.GetMeanDistanceFromPoints(points, -1, value, deviation), S_OK);
  EXPECT_EQ(deviation, 1000000.0);
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(nullptr, 0, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(e.GetMinimizedDistance(nullptr, centre), E_FAIL);
  EXPECT_EQ(e.GetMinimizedDistance(points, nullptr), E_FAIL);
  EXPECT_EQ(QAVTasCovarianceEllipse(1.0, 0.5, 1.0, 1.0, 0.0, nullptr, -7, 0)._IsComputed, 1);

  const double withNaN[8] = {2.0, 0.0, -2.0, 0.0, 0.0, 2.0, std::nan(""), 1.0};
  EXPECT_EQ(e.GetVarianceOfDistanceFromPoints(withNaN, 4, value), S_OK);
  EXPECT_TRUE(std::isnan(value));
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(withNaN, 4, value), S_OK);
  EXPECT_TRUE(std::isnan(value));
}

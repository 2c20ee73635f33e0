#include "QAVTasEllipseFitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
typedef QAVTasEllipseFitter F;
const double kPi = 3.14159265358979323846;

struct Truth
{
  double xc, yc, a, b, angle;
  // n points at parameters spread evenly over [from, to), with Gaussian noise of deviation sigma.
  std::vector<double> Arc(int n, double from, double to, double sigma, std::mt19937_64& random) const
  {
    std::normal_distribution<double> noise(0.0, sigma);
    std::vector<double> p;
    for (int i = 0; i < n; ++i)
    {
      const double t = from + (to - from) * i / n, u = a * std::cos(t), v = b * std::sin(t);
      p.push_back(xc + u * std::cos(angle) - v * std::sin(angle) + (sigma > 0 ? noise(random) : 0.0));
      p.push_back(yc + u * std::sin(angle) + v * std::cos(angle) + (sigma > 0 ? noise(random) : 0.0));
    }
    return p;
  }
};

F::Result Fit(const std::vector<double>& p, F::RobustLoss loss = F::RobustLoss::None)
{
  F::Options options;
  options.Loss = loss;
  return F(options).Fit(p.data(), static_cast<std::int32_t>(p.size() / 2));
}

// Exact points on a rotated ellipse, whole or in part: recovered to 1e-9, in every form the fit offers.
TEST(EllipseFitter, RecoversAnExactRotatedEllipse)
{
  const Truth cases[] = {{2.5, -1.0, 3.0, 1.2, 0.5236}, {-40.0, 7.0, 10.0, 9.0, -1.2}, {0.0, 0.0, 5.0, 2.0, 1.5}};
  std::mt19937_64 random(1);
  for (const Truth& t : cases)
    for (double to : {2 * kPi, kPi})
    {
      const std::vector<double> p = t.Arc(40, 0.3, 0.3 + to, 0.0, random);
      const F::Result r = Fit(p);
      ASSERT_EQ(r.State, F::Status::Fitted) << r.Message;
      EXPECT_NEAR(r.Centre[0], t.xc, 1e-9);
      EXPECT_NEAR(r.Centre[1], t.yc, 1e-9);
      EXPECT_NEAR(r.SemiAxes[0], t.a, 1e-9);
      EXPECT_NEAR(r.SemiAxes[1], t.b, 1e-9);
      EXPECT_NEAR(r.Angle, t.angle, 1e-9);
      EXPECT_LT(r.Rms, 1e-9);
      const double c = std::sqrt(t.a * t.a - t.b * t.b);
      EXPECT_NEAR(r.Foci[0][0], t.xc + c * std::cos(t.angle), 1e-8);
      EXPECT_NEAR(r.Foci[1][1], t.yc - c * std::sin(t.angle), 1e-8);

      QAVTasCovarianceEllipse e = F::ToCovarianceEllipse(r);
      double x = 0, y = 0;
      e.GetEllipseCenter(x, y);
      EXPECT_NEAR(x, t.xc, 1e-9);
      EXPECT_NEAR(y, t.yc, 1e-9);
      EXPECT_NEAR(std::max(e._SemiAxis1, e._SemiAxis2), t.a, 1e-9);
      EXPECT_NEAR(std::min(e._SemiAxis1, e._SemiAxis2), t.b, 1e-9);
      const double outside[2] = {t.xc + 2 * t.a, t.yc};
      double foot[2];
      const double d = F::FootPoint(r, outside, foot);
      EXPECT_NEAR(std::hypot(outside[0] - foot[0], outside[1] - foot[1]), d, 1e-9);
      EXPECT_GT(d, 0);
    }
}

// W. Gander, G. H. Golub, R. Strebel, "Least-squares fitting of circles and ellipses", BIT 34 (1994)
// 558-578: the geometric optimum of their 8 points is centre (2.6996, 3.8160), semi-axes 6.5187 and
// 3.0319, angle 0.3596 rad, as N. Chernov's conicfit demo (conicfit.quicktest.R) reproduces it, with
// a residual sum of squares of 1.3733.
TEST(EllipseFitter, ReachesThePublishedOptimumOfTheEightPointSet)
{
  const std::vector<double> p = {1, 7, 2, 6, 5, 8, 7, 7, 9, 5, 3, 7, 6, 2, 8, 4};
  const F::Result r = Fit(p);
  EXPECT_NEAR(r.Centre[0], 2.6996, 5e-5);
  EXPECT_NEAR(r.Centre[1], 3.8160, 5e-5);
  EXPECT_NEAR(r.SemiAxes[0], 6.5187, 5e-5);
  EXPECT_NEAR(r.SemiAxes[1], 3.0319, 5e-5);
  EXPECT_NEAR(r.Angle, 0.3596, 5e-5);
  EXPECT_NEAR(8 * r.Rms * r.Rms, 1.3733, 5e-5);
  F::Options algebraic;
  algebraic.Method = F::FitMethod::Algebraic;
  const F::Result start = F(algebraic).Fit(p.data(), 8);
  EXPECT_EQ(start.State, F::Status::Fitted);
  EXPECT_GT(start.Rms, r.Rms * 1.01);
}

// Seeded noisy arcs, whole and partial: the truth's centre lies within 3 standard errors nearly always.
TEST(EllipseFitter, StandardErrorsCoverTheTrueCentre)
{
  const Truth t{1.0, 2.0, 4.0, 2.5, 0.3};
  std::mt19937_64 random(7);
  for (double span : {2 * kPi, kPi, 2 * kPi / 3})
  {
    int covered = 0, runs = 100;
    for (int run = 0; run < runs; ++run)
    {
      const F::Result r = Fit(t.Arc(60, 0.1 * run, 0.1 * run + span, 0.02, random));
      ASSERT_EQ(r.State, F::Status::Fitted) << r.Message;
      covered += std::fabs(r.Centre[0] - t.xc) <= 3 * r.StandardErrors.Centre[0] &&
        std::fabs(r.Centre[1] - t.yc) <= 3 * r.StandardErrors.Centre[1];
    }
    EXPECT_GE(covered, 95) << "arc of " << span << " rad";
  }
}

// A tenth of the points far outside: the plain fit is pulled out, both robust losses are not.
TEST(EllipseFitter, RobustLossesResistOutliers)
{
  const Truth t{0.0, 0.0, 3.0, 2.0, 0.7};
  std::mt19937_64 random(3);
  std::vector<double> p = t.Arc(100, 0.0, 2 * kPi, 0.005, random);
  for (int i = 0; i < 20; i += 2)
    p[10 * i] *= 1.6 + 0.05 * i;
  EXPECT_GT(Fit(p).SemiAxes[0], 3.1);
  for (F::RobustLoss loss : {F::RobustLoss::Huber, F::RobustLoss::Cauchy})
  {
    const F::Result r = Fit(p, loss);
    EXPECT_EQ(r.State, F::Status::Fitted) << r.Message;
    EXPECT_LT(std::hypot(r.Centre[0], r.Centre[1]), 0.01);
    EXPECT_NEAR(r.SemiAxes[0], 3.0, 0.01);
    EXPECT_NEAR(r.SemiAxes[1], 2.0, 0.01);
  }
}

TEST(EllipseFitter, RefusesWhatNoEllipseFitsAndFlagsShortArcs)
{
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const struct
  {
    std::vector<double> points;
    const char* why;
  } refused[] = {
    {{0, 0, 1, 0, 0, 1, 1, 1}, "5 distinct"},
    {{0, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 1, 0, 1}, "5 distinct"},
    {{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5}, "line"},
    {{0, 0, 1, 0, 0, 1, 1, 1, 2, 3, nan, 1}, "point 6"},
    {{0, 0, 1, 0, 0, 1, 1, 1, 2, 3, 1, -inf}, "finite"},
  };
  for (const auto& c : refused)
  {
    const F::Result r = Fit(c.points);
    EXPECT_EQ(r.State, F::Status::Refused);
    EXPECT_NE(r.Message.find(c.why), std::string::npos) << r.Message;
  }
  std::mt19937_64 random(11);
  const F::Result r = Fit(Truth{0.0, 0.0, 50.0, 30.0, 0.2}.Arc(30, 0.0, 0.15, 0.05, random));
  EXPECT_EQ(r.State, F::Status::NotDetermined);
  EXPECT_FALSE(r.Message.empty());
}
} // namespace

// Twelve points on a circle, exact or with noise far below what the angle's column of the Jacobian
// needs: the centre and the radius stand with their errors, the angle is free, and Ceres' own
// complaint about the rank-deficient covariance never reaches standard error.
TEST(EllipseFitter, CircleDeterminesAllButTheAngle)
{
  std::mt19937_64 random(5);
  for (double sigma : {0.0, 1e-8, 1e-3})
  {
    testing::internal::CaptureStderr();
    const F::Result r = Fit(Truth{1.0, -3.0, 2.0, 2.0, 0.0}.Arc(12, 0.1, 0.1 + 2 * kPi, sigma, random));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    ASSERT_EQ(r.State, F::Status::Fitted) << r.Message;
    EXPECT_TRUE(r.AngleFree) << sigma;
    EXPECT_NEAR(r.Centre[0], 1.0, 1e-9 + 5 * sigma);
    EXPECT_NEAR(r.SemiAxes[1], 2.0, 1e-9 + 5 * sigma);
    const double errors[] = {r.StandardErrors.Centre[0], r.StandardErrors.Centre[1], r.StandardErrors.SemiAxes[0],
                             r.StandardErrors.SemiAxes[1]};
    for (double e : errors)
      EXPECT_TRUE(e >= 0.0 && e <= 1e-12 + 2 * sigma) << sigma << " " << e;
    EXPECT_TRUE(std::isinf(r.StandardErrors.Angle));
    EXPECT_EQ(r.Foci[0][0], r.Centre[0]);
    EXPECT_EQ(r.Foci[1][1], r.Centre[1]);
  }
  const F::Result ellipse = Fit(Truth{1.0, -3.0, 2.0, 1.9, 0.4}.Arc(12, 0.1, 0.1 + 2 * kPi, 1e-3, random));
  EXPECT_FALSE(ellipse.AngleFree);
  EXPECT_LT(ellipse.StandardErrors.Angle, 0.1);
}

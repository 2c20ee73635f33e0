#include "QAVGetDefaultTolerance.h"
#include "QAVMathDenseCholesky.h"
#include "QAVMathFunctionRN.h"
#include "QAVMathIntervalND.h"
#include "QAVMathMinimizeRN.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace
{
// A function of R^N given by a callable, counting its evaluations.
class LambdaFunction : public QAVMathFunctionRN
{
public:
  LambdaFunction(std::int32_t n, std::function<double(const double*)> f) : QAVMathFunctionRN(n), _f(std::move(f)) {}
  QAVMathFunctionGeneral* Duplicate() const override { return nullptr; }
  double Eval(const double* x) const override
  {
    ++evals;
    return _f(x);
  }
  mutable int evals = 0;

private:
  std::function<double(const double*)> _f;
};

QAVMathIntervalND Box(std::vector<double> pairs)
{
  return QAVMathIntervalND(static_cast<std::int32_t>(pairs.size() / 2), pairs.data());
}

bool Minimize(const QAVMathFunctionRN& f, std::vector<double>& x, const QAVMathIntervalND& box)
{
  QAVMathMinimizeRN minimizer(&f, QAVGetDefaultTolerance());
  return minimizer.MinimizeNewton(x.data(), box);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

TEST(PlatformObjects, AllocationOperatorsCountLiveObjects)
{
  const std::int32_t before = QAVDRQVirtual::GetLiveObjectCount();
  QAVMathFunctionRN* f = new LambdaFunction(2, [](const double*) { return 0.0; });
  EXPECT_EQ(before + 1, QAVDRQVirtual::GetLiveObjectCount());
  EXPECT_STREQ("QAVMathFunctionRN", f->IsA());
  EXPECT_TRUE(f->IsAKindOf("QAVMathFunctionGeneral"));
  EXPECT_FALSE(f->IsAKindOf("QAVMathIntervalND"));
  EXPECT_FALSE(f->IsAKindOf(nullptr));
  delete f; // through the base: the class's own operator delete
  EXPECT_EQ(before, QAVDRQVirtual::GetLiveObjectCount());
}

TEST(PlatformObjects, IntervalCopiesItsBoundsAndDetectsEmptyBoxes)
{
  std::vector<double> pairs = {0.0, 1.0, -2.0, 3.0};
  QAVMathIntervalND box(2, pairs.data());
  pairs.assign(4, 99.0);
  EXPECT_EQ(2, box.GetDimension());
  EXPECT_EQ(-2.0, box.GetLow(1));
  EXPECT_EQ(3.0, box.GetHigh(1));
  EXPECT_FALSE(box.IsEmpty());

  EXPECT_TRUE(QAVMathIntervalND(-3, pairs.data()).IsEmpty());
  EXPECT_TRUE(QAVMathIntervalND(2, nullptr).IsEmpty());
  EXPECT_TRUE(Box({0.0, 1.0, 2.0, 1.0}).IsEmpty());
  EXPECT_TRUE(Box({0.0, kNaN}).IsEmpty());
  EXPECT_FALSE(Box({1.0, 1.0}).IsEmpty()); // a single point is a box
}

TEST(PlatformObjects, DefaultToleranceIsASmallPositiveNumber)
{
  EXPECT_GT(QAVGetDefaultTolerance(), 0.0);
  EXPECT_LT(QAVGetDefaultTolerance(), 1.0e-4);
}

TEST(PlatformCholesky, SolvesAndRejectsIndefiniteMatrices)
{
  // A = [[4, 2], [2, 3]], b = A (1, -1)
  std::vector<double> a = {4.0, 2.0, 2.0, 3.0};
  std::vector<double> b = {2.0, -1.0};
  ASSERT_TRUE(QAVMathDenseCholesky::Factor(a.data(), 2, 0.0));
  QAVMathDenseCholesky::Solve(a.data(), 2, b.data());
  EXPECT_NEAR(1.0, b[0], 1e-14);
  EXPECT_NEAR(-1.0, b[1], 1e-14);

  std::vector<double> indefinite = {1.0, 2.0, 2.0, 1.0};
  EXPECT_FALSE(QAVMathDenseCholesky::Factor(indefinite.data(), 2, 0.0));
  indefinite = {1.0, 2.0, 2.0, 1.0};
  EXPECT_TRUE(QAVMathDenseCholesky::Factor(indefinite.data(), 2, 2.0)); // shifted by more than |-1|
  std::vector<double> withNaN = {kNaN, 0.0, 0.0, 1.0};
  EXPECT_FALSE(QAVMathDenseCholesky::Factor(withNaN.data(), 2, 0.0));
}

TEST(PlatformFiniteDifferences, MatchAnalyticDerivatives)
{
  // f = x0^3 + x0 x1^2 + exp(x1), at large and small scales
  LambdaFunction f(2, [](const double* x) { return x[0] * x[0] * x[0] + x[0] * x[1] * x[1] + std::exp(x[1]); });
  for (const std::vector<double>& x : {std::vector<double>{0.3, -0.7}, std::vector<double>{120.0, 2.0}})
  {
    const double dx0 = 3 * x[0] * x[0] + x[1] * x[1];
    const double dx1 = 2 * x[0] * x[1] + std::exp(x[1]);
    EXPECT_NEAR(dx0, f.EvalFirstDeriv(0, x.data()), 1e-7 * (1 + std::fabs(dx0)));
    EXPECT_NEAR(dx1, f.EvalFirstDeriv(1, x.data()), 1e-7 * (1 + std::fabs(dx1)));
    EXPECT_NEAR(6 * x[0], f.EvalSecondDeriv(0, 0, x.data()), 1e-4 * (1 + 6 * std::fabs(x[0])));
    EXPECT_NEAR(2 * x[1], f.EvalSecondDeriv(0, 1, x.data()), 1e-4 * (1 + 2 * std::fabs(x[1])));
    EXPECT_NEAR(2 * x[1], f.EvalSecondDeriv(1, 0, x.data()), 1e-4 * (1 + 2 * std::fabs(x[1])));
    EXPECT_NEAR(2 * x[0] + std::exp(x[1]), f.EvalSecondDeriv(1, 1, x.data()), 1e-4 * (1 + 2 * std::fabs(x[0])));
  }
  const double x[2] = {1.0, 1.0};
  EXPECT_TRUE(std::isnan(f.EvalFirstDeriv(2, x)));
  EXPECT_TRUE(std::isnan(f.EvalSecondDeriv(0, -1, x)));
  EXPECT_TRUE(std::isnan(f.EvalFirstDeriv(0, nullptr)));
}

TEST(PlatformNewton, ReachesInteriorAndBoundaryMinima)
{
  // Convex quadratic with its minimum (1, -2) inside the box.
  LambdaFunction quad(2, [](const double* x) {
    return (x[0] - 1) * (x[0] - 1) + 3 * (x[1] + 2) * (x[1] + 2) + (x[0] - 1) * (x[1] + 2);
  });
  std::vector<double> x = {4.0, 4.0};
  ASSERT_TRUE(Minimize(quad, x, Box({-10, 10, -10, 10})));
  EXPECT_NEAR(1.0, x[0], 1e-6);
  EXPECT_NEAR(-2.0, x[1], 1e-6);

  // The same function in a box that cuts the minimum off: x1 >= 0. Minimum on the face x1 = 0,
  // where d/dx0 = 2 (x0 - 1) + 2 = 0 gives x0 = 0.
  x = {4.0, 4.0};
  ASSERT_TRUE(Minimize(quad, x, Box({-10, 10, 0, 10})));
  EXPECT_NEAR(0.0, x[0], 1e-6);
  EXPECT_EQ(0.0, x[1]);

  // Rosenbrock: curved valley, indefinite Hessian far from the minimum.
  LambdaFunction rosen(2, [](const double* x) {
    return 100 * (x[1] - x[0] * x[0]) * (x[1] - x[0] * x[0]) + (1 - x[0]) * (1 - x[0]);
  });
  x = {-1.2, 1.0};
  ASSERT_TRUE(Minimize(rosen, x, Box({-2, 2, -2, 2})));
  EXPECT_NEAR(1.0, x[0], 1e-4);
  EXPECT_NEAR(1.0, x[1], 1e-4);
}

TEST(PlatformNewton, StaysInTheBoxAndNeverEndsWorse)
{
  // Concave in x0 (the Hessian is never positive definite): the minimum is at a corner.
  LambdaFunction saddle(2, [](const double* x) { return -x[0] * x[0] + (x[1] - 0.5) * (x[1] - 0.5); });
  std::vector<double> x = {0.1, 0.9};
  ASSERT_TRUE(Minimize(saddle, x, Box({-1, 2, 0, 1})));
  EXPECT_EQ(2.0, x[0]);
  EXPECT_NEAR(0.5, x[1], 1e-6);

  // A function that is NaN outside x > 0 and has a huge non-smooth term, like a penalised sum of
  // square roots: every accepted point must stay finite, in the box and no worse than the start.
  LambdaFunction rough(3, [](const double* x) {
    double f = 0.0;
    for (int i = 0; i < 3; ++i)
      f += std::sqrt(x[i]);
    return f + 1e10 * std::fabs(x[0] * (1.0 / std::sqrt(x[0] + x[1]) - 0.8));
  });
  for (const std::vector<double>& start : {std::vector<double>{0.3, 0.2, 0.9}, std::vector<double>{1e-9, 5.0, 0.0}})
  {
    x = start;
    const double f0 = rough.Eval(x.data());
    ASSERT_TRUE(Minimize(rough, x, Box({0, 1e9, 0, 1e9, 0, 1e9})));
    for (double v : x)
    {
      EXPECT_GE(v, 0.0);
      EXPECT_LE(v, 1e9);
    }
    EXPECT_LE(rough.Eval(x.data()), f0);
  }
}

TEST(PlatformNewton, StartPointAndBoxHandling)
{
  LambdaFunction quad(1, [](const double* x) { return (x[0] - 3) * (x[0] - 3); });

  // A start outside the box is projected first; the point never leaves [0, 1].
  std::vector<double> x = {-5.0};
  ASSERT_TRUE(Minimize(quad, x, Box({0, 1})));
  EXPECT_EQ(1.0, x[0]);

  // A box with more dimensions than variables: the extra coordinates are left as given.
  x = {0.0, -7.0, 42.0};
  ASSERT_TRUE(Minimize(quad, x, Box({0, 10, 0, 1, 0, 1})));
  EXPECT_NEAR(3.0, x[0], 1e-6);
  EXPECT_EQ(-7.0, x[1]);
  EXPECT_EQ(42.0, x[2]);

  // Cannot start: the point is untouched and the answer is false.
  x = {2.0};
  EXPECT_FALSE(Minimize(quad, x, Box({1, 0})));
  EXPECT_FALSE(Minimize(quad, x, QAVMathIntervalND(0, nullptr)));
  LambdaFunction two(2, [](const double* v) { return v[0] + v[1]; });
  std::vector<double> y = {0.5, 0.5};
  EXPECT_FALSE(Minimize(two, y, Box({0, 1})));
  EXPECT_EQ(0.5, y[0]);
  LambdaFunction nanAtStart(1, [](const double* v) { return v[0] < 1.0 ? kNaN : v[0]; });
  x = {0.5};
  EXPECT_FALSE(Minimize(nanAtStart, x, Box({0, 2})));
  EXPECT_EQ(0.5, x[0]);
  x = {kNaN};
  EXPECT_FALSE(Minimize(quad, x, Box({0, 2})));
  EXPECT_FALSE(QAVMathMinimizeRN(nullptr, 1e-8).MinimizeNewton(x.data(), Box({0, 2})));
  EXPECT_FALSE(QAVMathMinimizeRN(&quad, 1e-8).MinimizeNewton(nullptr, Box({0, 2})));
}

TEST(PlatformNewton, UsesOverriddenDerivatives)
{
  // Analytic derivatives supplied by the subclass are the ones the minimiser follows.
  class Analytic : public LambdaFunction
  {
  public:
    Analytic() : LambdaFunction(1, [](const double* x) { return std::cosh(x[0] - 0.25); }) {}
    double EvalFirstDeriv(const std::int32_t&, const double* x) const override
    {
      ++derivs;
      return std::sinh(x[0] - 0.25);
    }
    double EvalSecondDeriv(const std::int32_t&, const std::int32_t&, const double* x) const override
    {
      ++derivs;
      return std::cosh(x[0] - 0.25);
    }
    mutable int derivs = 0;
  } f;
  std::vector<double> x = {2.0};
  ASSERT_TRUE(Minimize(f, x, Box({-5, 5})));
  EXPECT_NEAR(0.25, x[0], 1e-8);
  EXPECT_GT(f.derivs, 0);
}

#include "QAVGetDefaultTolerance.h"
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
// A function of R^N given by a callable.
class LambdaFunction : public QAVMathFunctionRN
{
public:
  LambdaFunction(std::int32_t n, std::function<double(const double*)> f) : QAVMathFunctionRN(n), _f(std::move(f)) {}
  QAVMathFunctionGeneral* Duplicate() const override { return nullptr; }
  double Eval(const double* x) const override { return _f(x); }

private:
  std::function<double(const double*)> _f;
};

QAVMathIntervalND Box(std::vector<double> pairs)
{
  return QAVMathIntervalND(static_cast<std::int32_t>(pairs.size() / 2), pairs.data());
}

bool Minimize(const QAVMathFunctionRN& f, std::vector<double>& x, const QAVMathIntervalND& box)
{
  return QAVMathMinimizeRN(&f, QAVGetDefaultTolerance()).MinimizeNewton(x.data(), box);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

TEST(PlatformObjects, LiveCountAndInterval)
{
  const std::int32_t before = QAVDRQVirtual::GetLiveObjectCount();
  QAVMathFunctionRN* f = new LambdaFunction(2, [](const double*) { return 0.0; });
  EXPECT_EQ(before + 1, QAVDRQVirtual::GetLiveObjectCount());
  EXPECT_TRUE(f->IsAKindOf("QAVMathFunctionGeneral") && !f->IsAKindOf("QAVMathIntervalND") && !f->IsAKindOf(nullptr));
  delete f; // through the base: the class's own operator delete
  EXPECT_EQ(before, QAVDRQVirtual::GetLiveObjectCount());

  std::vector<double> pairs = {0.0, 1.0, -2.0, 3.0};
  QAVMathIntervalND box(2, pairs.data());
  pairs.assign(4, 99.0); // the box keeps its own copy
  EXPECT_TRUE(box.GetDimension() == 2 && box.GetLow(1) == -2.0 && box.GetHigh(1) == 3.0 && !box.IsEmpty());
  EXPECT_TRUE(QAVMathIntervalND(-3, pairs.data()).IsEmpty() && QAVMathIntervalND(2, nullptr).IsEmpty());
  EXPECT_TRUE(Box({0.0, 1.0, 2.0, 1.0}).IsEmpty() && Box({0.0, kNaN}).IsEmpty());
  EXPECT_FALSE(Box({1.0, 1.0}).IsEmpty()); // a single point is a box
}

TEST(PlatformFiniteDifferences, MatchAnalyticDerivatives)
{
  // f = x0^3 + x0 x1^2 + exp(x1), at a small and a large scale
  LambdaFunction f(2, [](const double* x) { return x[0] * x[0] * x[0] + x[0] * x[1] * x[1] + std::exp(x[1]); });
  for (const std::vector<double>& x : {std::vector<double>{0.3, -0.7}, std::vector<double>{120.0, 2.0}})
  {
    const double d[2] = {3 * x[0] * x[0] + x[1] * x[1], 2 * x[0] * x[1] + std::exp(x[1])};
    const double h[2][2] = {{6 * x[0], 2 * x[1]}, {2 * x[1], 2 * x[0] + std::exp(x[1])}};
    for (std::int32_t i = 0; i < 2; ++i)
    {
      EXPECT_NEAR(d[i], f.EvalFirstDeriv(i, x.data()), 1e-7 * (1 + std::fabs(d[i])));
      for (std::int32_t j = 0; j < 2; ++j)
        EXPECT_NEAR(h[i][j], f.EvalSecondDeriv(i, j, x.data()), 1e-4 * (1 + std::fabs(h[i][j])));
    }
  }
  const double x[2] = {1.0, 1.0};
  EXPECT_TRUE(std::isnan(f.EvalFirstDeriv(2, x)) && std::isnan(f.EvalSecondDeriv(0, -1, x)));
  EXPECT_TRUE(std::isnan(f.EvalFirstDeriv(0, nullptr)));
}

TEST(PlatformNewton, ReachesInteriorBoundaryAndCornerMinima)
{
  LambdaFunction quad(
    2, [](const double* x) { return (x[0] - 1) * (x[0] - 1) + 3 * (x[1] + 2) * (x[1] + 2) + (x[0] - 1) * (x[1] + 2); });
  LambdaFunction rosen(
    2, [](const double* x) { return 100 * (x[1] - x[0] * x[0]) * (x[1] - x[0] * x[0]) + (1 - x[0]) * (1 - x[0]); });
  // Concave in x0, so the Hessian is never positive definite.
  LambdaFunction saddle(2, [](const double* x) { return -x[0] * x[0] + (x[1] - 0.5) * (x[1] - 0.5); });
  const struct
  {
    const LambdaFunction& f;
    std::vector<double> start, box, answer;
    double tol;
  } cases[] = {
    {quad, {4, 4}, {-10, 10, -10, 10}, {1, -2}, 1e-6},   // interior minimum
    {quad, {4, 4}, {-10, 10, 0, 10}, {0, 0}, 1e-6},      // on the face x1 = 0, where d/dx0 = 0 gives x0 = 0
    {rosen, {-1.2, 1}, {-2, 2, -2, 2}, {1, 1}, 1e-4},    // curved valley, indefinite far from the answer
    {saddle, {0.1, 0.9}, {-1, 2, 0, 1}, {2, 0.5}, 1e-6}, // a corner
  };
  for (const auto& c : cases)
  {
    std::vector<double> x = c.start;
    ASSERT_TRUE(Minimize(c.f, x, Box(c.box)));
    EXPECT_NEAR(c.answer[0], x[0], c.tol);
    EXPECT_NEAR(c.answer[1], x[1], c.tol);
    EXPECT_TRUE(x[0] >= c.box[0] && x[0] <= c.box[1] && x[1] >= c.box[2] && x[1] <= c.box[3]);
  }
}

TEST(PlatformNewton, NeverEndsWorseOnARoughFunction)
{
  // NaN outside x > 0 with a huge non-smooth term, like a penalised sum of square roots.
  LambdaFunction rough(3,
                       [](const double* x)
                       {
                         return std::sqrt(x[0]) + std::sqrt(x[1]) + std::sqrt(x[2]) +
                           1e10 * std::fabs(x[0] * (1.0 / std::sqrt(x[0] + x[1]) - 0.8));
                       });
  for (const std::vector<double>& start : {std::vector<double>{0.3, 0.2, 0.9}, std::vector<double>{1e-9, 5.0, 0.0}})
  {
    std::vector<double> x = start;
    ASSERT_TRUE(Minimize(rough, x, Box({0, 1e9, 0, 1e9, 0, 1e9})));
    for (double v : x)
      EXPECT_TRUE(v >= 0.0 && v <= 1e9);
    EXPECT_LE(rough.Eval(x.data()), rough.Eval(start.data()));
  }
}

TEST(PlatformNewton, StartPointAndBoxHandling)
{
  LambdaFunction quad(1, [](const double* x) { return (x[0] - 3) * (x[0] - 3); });
  std::vector<double> x = {-5.0}; // projected into the box first
  ASSERT_TRUE(Minimize(quad, x, Box({0, 1})));
  EXPECT_EQ(1.0, x[0]);
  x = {0.0, -7.0, 42.0}; // coordinates beyond the function's variables are left as given
  ASSERT_TRUE(Minimize(quad, x, Box({0, 10, 0, 1, 0, 1})));
  EXPECT_NEAR(3.0, x[0], 1e-6);
  EXPECT_TRUE(x[1] == -7.0 && x[2] == 42.0);

  // Cannot start: false, and the point untouched.
  LambdaFunction two(2, [](const double* v) { return v[0] + v[1]; });
  LambdaFunction nanAtStart(1, [](const double* v) { return v[0] < 1.0 ? kNaN : v[0]; });
  x = {0.5};
  EXPECT_FALSE(Minimize(quad, x, Box({1, 0})));
  EXPECT_FALSE(Minimize(quad, x, QAVMathIntervalND(0, nullptr)));
  EXPECT_FALSE(Minimize(nanAtStart, x, Box({0, 2})));
  EXPECT_EQ(0.5, x[0]);
  std::vector<double> y = {0.5, 0.5};
  EXPECT_FALSE(Minimize(two, y, Box({0, 1})));
  EXPECT_EQ(0.5, y[0]);
  x = {kNaN};
  EXPECT_FALSE(Minimize(quad, x, Box({0, 2})));
  EXPECT_FALSE(QAVMathMinimizeRN(nullptr, 1e-8).MinimizeNewton(x.data(), Box({0, 2})));
  EXPECT_FALSE(QAVMathMinimizeRN(&quad, 1e-8).MinimizeNewton(nullptr, Box({0, 2})));
}

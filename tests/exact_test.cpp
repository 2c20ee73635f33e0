#include "QAVTasExactSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
// A problem held by value, with W as row pointers for the solver.
struct Problem
{
  std::vector<std::vector<double>> w;
  std::vector<double> ymin, ymax, xinf, xsup;
  std::vector<const double*> rows;

  QAVTasExactSolver::Status Solve(QAVTasExactSolver::Solution& sol)
  {
    rows.clear();
    for (const auto& r : w)
      rows.push_back(r.data());
    QAVTasExactSolver solver(static_cast<std::int32_t>(w.size()), static_cast<std::int32_t>(xinf.size()), rows.data(),
                             ymin.data(), ymax.data(), xinf.data(), xsup.data());
    return solver.Solve(sol);
  }
  double Y(std::size_t j, const std::vector<double>& x) const
  {
    double y = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
      y += w[j][i] * x[i];
    return y;
  }
};

// Checks the optimality conditions of the answer: feasibility, sign of the multipliers,
// stationarity and complementary slackness, and the certified gap.
void ExpectKkt(const Problem& p, const QAVTasExactSolver::Solution& s)
{
  const std::size_t n = p.xinf.size(), m = p.w.size();
  double f = 0.0;
  for (std::size_t i = 0; i < n; ++i)
  {
    EXPECT_GE(s.X[i], p.xinf[i] - 1e-9);
    EXPECT_LE(s.X[i], p.xsup[i] + 1e-9);
    EXPECT_GE(s.LambdaXinf[i], 0.0);
    EXPECT_GE(s.LambdaXsup[i], 0.0);
    f += 1.0 / s.X[i];
  }
  EXPECT_NEAR(f, s.Objective, 1e-12 * f);
  EXPECT_LE(s.DualityGap, 1e-9 * f);
  EXPECT_LE(s.RelativeGap, 1e-9);
  for (std::size_t j = 0; j < m; ++j)
  {
    const double y = p.Y(j, s.X);
    EXPECT_GE(y, p.ymin[j] - 1e-9 * std::max(1.0, std::fabs(p.ymin[j]))) << "row " << j;
    EXPECT_LE(y, p.ymax[j] + 1e-9 * std::max(1.0, std::fabs(p.ymax[j]))) << "row " << j;
    EXPECT_GE(s.LambdaYmin[j], 0.0);
    EXPECT_GE(s.LambdaYmax[j], 0.0);
    // Complementary slackness: each multiplier times its slack is within the gap target.
    if (std::isfinite(p.ymax[j]))
      EXPECT_LE(s.LambdaYmax[j] * std::fabs(p.ymax[j] - y), 1e-9 * f) << "row " << j;
    else
      EXPECT_EQ(0.0, s.LambdaYmax[j]);
    if (std::isfinite(p.ymin[j]))
      EXPECT_LE(s.LambdaYmin[j] * std::fabs(y - p.ymin[j]), 1e-9 * f) << "row " << j;
    else
      EXPECT_EQ(0.0, s.LambdaYmin[j]);
  }
  for (std::size_t i = 0; i < n; ++i)
  {
    double g = -1.0 / (s.X[i] * s.X[i]) - s.LambdaXinf[i] + s.LambdaXsup[i];
    for (std::size_t j = 0; j < m; ++j)
      g += p.w[j][i] * (s.LambdaYmax[j] - s.LambdaYmin[j]);
    EXPECT_LE(std::fabs(g) * s.X[i], 1e-9 * f) << "variable " << i;
    EXPECT_LE(s.LambdaXinf[i] * (s.X[i] - std::max(p.xinf[i], 0.0)), 1e-9 * f) << "variable " << i;
    if (std::isfinite(p.xsup[i]))
      EXPECT_LE(s.LambdaXsup[i] * (p.xsup[i] - s.X[i]), 1e-9 * f) << "variable " << i;
    else
      EXPECT_LE(s.LambdaXsup[i] * s.X[i], 1e-9 * f) << "variable " << i;
  }
}

const double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(ExactSolver, OneConstraintMatchesTheClosedForm)
{
  const std::vector<double> w = {1.0, 4.0, 0.25, 2.0};
  Problem p{{w}, {0.0}, {0.3}, std::vector<double>(4, 1e-6), std::vector<double>(4, 1e3), {}};
  QAVTasExactSolver::Solution s;
  ASSERT_EQ(QAVTasExactSolver::Status::Optimal, p.Solve(s));
  double sumRoots = 0.0;
  for (double v : w)
    sumRoots += std::sqrt(v);
  for (std::size_t i = 0; i < w.size(); ++i)
    EXPECT_NEAR(0.3 / (std::sqrt(w[i]) * sumRoots), s.X[i], 1e-8 * s.X[i]);
  EXPECT_NEAR(sumRoots * sumRoots / 0.3, s.Objective, 1e-9 * s.Objective);
  EXPECT_NEAR(sumRoots * sumRoots / (0.3 * 0.3), s.LambdaYmax[0], 1e-6 * s.LambdaYmax[0]);
  EXPECT_NEAR(0.0, s.LambdaYmin[0], 1e-6);
  ExpectKkt(p, s);
}

TEST(ExactSolver, ActiveXBounds)
{
  // Without X bounds: X = 0.3 / (sqrt(w_i) * 6) = (0.05, 0.05 / 2, 0.05 / 3) for w = (1, 4, 9).
  // Capping X_0 at 0.02 and raising X_2 to at least 0.025 leaves X_1 = (0.3 - 0.02 - 0.225) / 4,
  // with lambda = 1 / (4 X_1^2); both bounds stay active since 1 / sqrt(lambda) > 0.02 and
  // 1 / (3 sqrt(lambda)) < 0.025.
  Problem p{{{1.0, 4.0, 9.0}}, {-kInf}, {0.3}, {1e-3, 1e-3, 0.025}, {0.02, 1.0, 1.0}, {}};
  QAVTasExactSolver::Solution s;
  ASSERT_EQ(QAVTasExactSolver::Status::Optimal, p.Solve(s));
  const double x1 = (0.3 - 0.02 - 0.225) / 4.0, lambda = 1.0 / (4.0 * x1 * x1);
  EXPECT_NEAR(0.02, s.X[0], 1e-9);
  EXPECT_NEAR(0.025, s.X[2], 1e-9);
  EXPECT_NEAR(x1, s.X[1], 1e-9);
  EXPECT_NEAR(lambda, s.LambdaYmax[0], 1e-6 * lambda);
  EXPECT_NEAR(1.0 / (0.02 * 0.02) - lambda, s.LambdaXsup[0], 1e-6 * lambda);
  EXPECT_NEAR(9.0 * lambda - 1.0 / (0.025 * 0.025), s.LambdaXinf[2], 1e-6 * lambda);
  ExpectKkt(p, s);

  // A negative lower X bound means X > 0, and infinite upper bounds are allowed.
  Problem q{{{1.0, 1.0}}, {0.1}, {0.2}, {-5.0, -5.0}, {kInf, kInf}, {}};
  ASSERT_EQ(QAVTasExactSolver::Status::Optimal, q.Solve(s));
  EXPECT_NEAR(0.1, s.X[0], 1e-9);
  EXPECT_NEAR(0.1, s.X[1], 1e-9);
}

TEST(ExactSolver, NarrowAndEqualityBands)
{
  for (double width : {1e-3, 1e-7, 0.0})
  {
    // x0 + x1 + x2 <= 0.3 and x0 - x1 within [0.05, 0.05 + width].
    Problem p{{{1.0, 1.0, 1.0}, {1.0, -1.0, 0.0}}, {-kInf, 0.05}, {0.3, 0.05 + width},
              std::vector<double>(3, 1e-4), std::vector<double>(3, 1.0), {}};
    QAVTasExactSolver::Solution s;
    ASSERT_EQ(QAVTasExactSolver::Status::Optimal, p.Solve(s)) << "width " << width;
    ExpectKkt(p, s);
    EXPECT_NEAR(0.3, p.Y(0, s.X), 1e-9);
  }
}

TEST(ExactSolver, ReportsInfeasibleProblems)
{
  QAVTasExactSolver::Solution s;
  // One row cannot be met: the smallest W.X over the box is 0.2.
  Problem single{{{1.0, 1.0}}, {0.0}, {0.01}, {0.1, 0.1}, {1.0, 1.0}, {}};
  EXPECT_EQ(QAVTasExactSolver::Status::Infeasible, single.Solve(s));
  // Each row alone can be met, not both: x0 + x1 <= 0.2 and x0 - x1 >= 0.5.
  Problem joint{{{1.0, 1.0}, {1.0, -1.0}}, {-kInf, 0.5}, {0.2, kInf}, {0.01, 0.01}, {1.0, 1.0}, {}};
  EXPECT_EQ(QAVTasExactSolver::Status::Infeasible, joint.Solve(s));
  // Three rows tied through a chain.
  Problem chain{{{1.0, -1.0, 0.0}, {0.0, 1.0, -1.0}, {-1.0, 0.0, 1.0}}, {0.1, 0.1, 0.1}, {1.0, 1.0, 1.0},
                std::vector<double>(3, 0.01), std::vector<double>(3, 2.0), {}};
  EXPECT_EQ(QAVTasExactSolver::Status::Infeasible, chain.Solve(s));
  // Bounds that contradict themselves, no positive X, a NaN.
  Problem crossed{{{1.0}}, {0.5}, {0.4}, {0.1}, {1.0}, {}};
  EXPECT_EQ(QAVTasExactSolver::Status::Infeasible, crossed.Solve(s));
  Problem negative{{{1.0}}, {-1.0}, {1.0}, {-2.0}, {0.0}, {}};
  EXPECT_EQ(QAVTasExactSolver::Status::Infeasible, negative.Solve(s));
  Problem withNaN{{{std::nan("")}}, {0.0}, {1.0}, {0.1}, {1.0}, {}};
  EXPECT_EQ(QAVTasExactSolver::Status::Infeasible, withNaN.Solve(s));
  EXPECT_TRUE(s.X.empty()); // never filled by a failed solve
}

TEST(ExactSolver, KktHoldsOnRandomProblems)
{
  std::mt19937 gen(20240917);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 60; ++trial)
  {
    const std::size_t n = 2 + gen() % 29, m = 1 + gen() % (n + 4);
    Problem p;
    std::vector<double> inside(n);
    for (std::size_t i = 0; i < n; ++i)
    {
      p.xinf.push_back(0.001 + 0.01 * unit(gen));
      p.xsup.push_back(p.xinf[i] + 0.1 * unit(gen));
      inside[i] = p.xinf[i] + unit(gen) * (p.xsup[i] - p.xinf[i]);
    }
    for (std::size_t j = 0; j < m; ++j)
    {
      std::vector<double> row(n);
      for (double& v : row)
        v = unit(gen) < 0.3 ? 0.0 : 4.0 * unit(gen) - (trial % 3 == 0 ? 1.0 : 0.0);
      p.w.push_back(row);
      const double y = p.Y(j, inside);
      const double band = unit(gen) < 0.2 ? 1e-6 : 0.05 * unit(gen);
      p.ymin.push_back(y - band * unit(gen));
      p.ymax.push_back(y + band * unit(gen));
    }
    QAVTasExactSolver::Solution s;
    ASSERT_EQ(QAVTasExactSolver::Status::Optimal, p.Solve(s)) << "trial " << trial;
    ExpectKkt(p, s);
    double atInside = 0.0;
    for (double v : inside)
      atInside += 1.0 / v;
    EXPECT_LE(s.Objective, atInside * (1 + 1e-12));
  }
}

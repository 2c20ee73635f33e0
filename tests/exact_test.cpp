#include "QAVTasExactSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
using Solver = QAVTasExactSolver;
const double kInf = std::numeric_limits<double>::infinity();

struct Problem
{
  std::vector<std::vector<double>> w;
  std::vector<double> ymin, ymax, xinf, xsup;

  Solver::Status Solve(Solver::Solution& sol) const
  {
    std::vector<const double*> rows;
    for (const auto& r : w)
      rows.push_back(r.data());
    return Solver(static_cast<std::int32_t>(w.size()), static_cast<std::int32_t>(xinf.size()), rows.data(), ymin.data(),
                  ymax.data(), xinf.data(), xsup.data())
      .Solve(sol);
  }
  double Y(std::size_t j, const std::vector<double>& x) const
  {
    double y = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
      y += w[j][i] * x[i];
    return y;
  }
};

// |bound - value|, or a huge number for an absent bound (so only a zero multiplier passes).
double Slack(double bound, double value)
{
  return std::isfinite(bound) ? std::fabs(bound - value) : 1e300;
}

// Feasibility, signs of the multipliers, stationarity, complementary slackness and the certified gap.
void ExpectKkt(const Problem& p, const Solver::Solution& s)
{
  double f = 0.0;
  for (double x : s.X)
    f += 1.0 / x;
  const double tol = 1e-9 * f;
  EXPECT_NEAR(f, s.Objective, 1e-12 * f);
  EXPECT_TRUE(s.DualityGap <= tol && s.RelativeGap <= 1e-9);
  std::vector<double> g(s.X.size());
  for (std::size_t i = 0; i < g.size(); ++i)
    g[i] = -1.0 / (s.X[i] * s.X[i]) - s.LambdaXinf[i] + s.LambdaXsup[i];
  for (std::size_t j = 0; j < p.w.size(); ++j)
  {
    const double y = p.Y(j, s.X);
    EXPECT_GE(y, p.ymin[j] - 1e-9 * std::max(1.0, std::fabs(p.ymin[j]))) << "row " << j;
    EXPECT_LE(y, p.ymax[j] + 1e-9 * std::max(1.0, std::fabs(p.ymax[j]))) << "row " << j;
    EXPECT_TRUE(s.LambdaYmin[j] >= 0.0 && s.LambdaYmax[j] >= 0.0) << "row " << j;
    EXPECT_LE(s.LambdaYmax[j] * Slack(p.ymax[j], y), tol) << "row " << j;
    EXPECT_LE(s.LambdaYmin[j] * Slack(p.ymin[j], y), tol) << "row " << j;
    for (std::size_t i = 0; i < g.size(); ++i)
      g[i] += p.w[j][i] * (s.LambdaYmax[j] - s.LambdaYmin[j]);
  }
  for (std::size_t i = 0; i < g.size(); ++i)
  {
    EXPECT_TRUE(s.X[i] >= p.xinf[i] - 1e-9 && s.X[i] <= p.xsup[i] + 1e-9) << "variable " << i;
    EXPECT_TRUE(s.LambdaXinf[i] >= 0.0 && s.LambdaXsup[i] >= 0.0) << "variable " << i;
    EXPECT_LE(std::fabs(g[i]) * s.X[i], tol) << "variable " << i;
    EXPECT_LE(s.LambdaXinf[i] * (s.X[i] - std::max(p.xinf[i], 0.0)), tol) << "variable " << i;
    EXPECT_LE(s.LambdaXsup[i] * (std::isfinite(p.xsup[i]) ? p.xsup[i] - s.X[i] : s.X[i]), tol) << "variable " << i;
  }
}
} // namespace

TEST(ExactSolver, OneConstraintMatchesTheClosedForm)
{
  const std::vector<double> w = {1.0, 4.0, 0.25, 2.0};
  const Problem p{{w}, {0.0}, {0.3}, std::vector<double>(4, 1e-6), std::vector<double>(4, 1e3)};
  Solver::Solution s;
  ASSERT_EQ(Solver::Status::Optimal, p.Solve(s));
  double sumRoots = 0.0;
  for (double v : w)
    sumRoots += std::sqrt(v);
  for (std::size_t i = 0; i < w.size(); ++i)
    EXPECT_NEAR(0.3 / (std::sqrt(w[i]) * sumRoots), s.X[i], 1e-8 * s.X[i]);
  ExpectKkt(p, s);
}

TEST(ExactSolver, ActiveXBounds)
{
  // Unbounded: X = 0.3 / (sqrt(w_i) * 6) = (0.05, 0.025, 0.0167) for w = (1, 4, 9). Capping X_0 at
  // 0.02 and raising X_2 to 0.025 leaves X_1 = (0.3 - 0.02 - 0.225) / 4 and lambda = 1 / (4 X_1^2).
  const Problem p{{{1.0, 4.0, 9.0}}, {-kInf}, {0.3}, {1e-3, 1e-3, 0.025}, {0.02, 1.0, 1.0}};
  Solver::Solution s;
  ASSERT_EQ(Solver::Status::Optimal, p.Solve(s));
  const double x1 = (0.3 - 0.02 - 0.225) / 4.0, lambda = 1.0 / (4.0 * x1 * x1);
  EXPECT_NEAR(0.02, s.X[0], 1e-9);
  EXPECT_NEAR(x1, s.X[1], 1e-9);
  EXPECT_NEAR(0.025, s.X[2], 1e-9);
  EXPECT_NEAR(9.0 * lambda - 1.0 / (0.025 * 0.025), s.LambdaXinf[2], 1e-6 * lambda);
  ExpectKkt(p, s);
  // A negative lower X bound means X > 0, and infinite upper bounds are allowed.
  ASSERT_EQ(Solver::Status::Optimal, Problem({{{1.0, 1.0}}, {0.1}, {0.2}, {-5.0, -5.0}, {kInf, kInf}}).Solve(s));
  EXPECT_NEAR(0.1, s.X[0], 1e-9);
  EXPECT_NEAR(0.1, s.X[1], 1e-9);
}

TEST(ExactSolver, NarrowAndEqualityBands)
{
  for (double width : {1e-3, 1e-7, 0.0})
  {
    // x0 + x1 + x2 <= 0.3 and x0 - x1 within [0.05, 0.05 + width].
    const Problem p{{{1.0, 1.0, 1.0}, {1.0, -1.0, 0.0}},
                    {-kInf, 0.05},
                    {0.3, 0.05 + width},
                    std::vector<double>(3, 1e-4),
                    std::vector<double>(3, 1.0)};
    Solver::Solution s;
    ASSERT_EQ(Solver::Status::Optimal, p.Solve(s)) << "width " << width;
    ExpectKkt(p, s);
    EXPECT_NEAR(0.3, p.Y(0, s.X), 1e-9);
  }
}

TEST(ExactSolver, ReportsInfeasibleProblems)
{
  const Problem cases[] = {
    {{{1.0, 1.0}}, {0.0}, {0.01}, {0.1, 0.1}, {1.0, 1.0}},                            // W.X is at least 0.2
    {{{1.0, 1.0}, {1.0, -1.0}}, {-kInf, 0.5}, {0.2, kInf}, {0.01, 0.01}, {1.0, 1.0}}, // each row alone is met
    {{{1.0, -1.0, 0.0}, {0.0, 1.0, -1.0}, {-1.0, 0.0, 1.0}},
     {0.1, 0.1, 0.1},
     {1.0, 1.0, 1.0}, // a chain of rows
     std::vector<double>(3, 0.01),
     std::vector<double>(3, 2.0)},
    {{{1.0}}, {0.5}, {0.4}, {0.1}, {1.0}},   // crossed Y bounds
    {{{1.0}}, {-1.0}, {1.0}, {-2.0}, {0.0}}, // no positive X
  };
  for (const Problem& p : cases)
  {
    Solver::Solution s;
    EXPECT_EQ(Solver::Status::Infeasible, p.Solve(s));
    EXPECT_TRUE(s.X.empty()); // never filled by a failed solve
  }
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
    double atInside = 0.0;
    for (std::size_t i = 0; i < n; ++i)
    {
      p.xinf.push_back(0.001 + 0.01 * unit(gen));
      p.xsup.push_back(p.xinf[i] + 0.1 * unit(gen));
      inside[i] = p.xinf[i] + unit(gen) * (p.xsup[i] - p.xinf[i]);
      atInside += 1.0 / inside[i];
    }
    for (std::size_t j = 0; j < m; ++j)
    {
      std::vector<double> row(n);
      for (double& v : row)
        v = unit(gen) < 0.3 ? 0.0 : 4.0 * unit(gen) - (trial % 3 == 0 ? 1.0 : 0.0);
      p.w.push_back(row);
      const double y = p.Y(j, inside), band = unit(gen) < 0.2 ? 1e-6 : 0.05 * unit(gen);
      p.ymin.push_back(y - band * unit(gen));
      p.ymax.push_back(y + band * unit(gen));
    }
    Solver::Solution s;
    ASSERT_EQ(Solver::Status::Optimal, p.Solve(s)) << "trial " << trial;
    ExpectKkt(p, s);
    EXPECT_LE(s.Objective, atInside * (1 + 1e-12));
  }
}

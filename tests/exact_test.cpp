// OptimizeExact on the allocation solver: the tolerancing problem's own cases (open and infinite
// bounds, narrow and closed bands, infeasible data); random problems are the solver's suite's.
#include "QAVTasOptimizerTolerancing.h"

#include "QAVCoutCapture.h"
#include "QAVTolerancingCase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
struct Problem
{
  std::vector<std::vector<double>> w;
  std::vector<double> ymin, ymax, xinf, xsup;

  // The certified optimum, or an empty vector when OptimizeExact fails.
  std::vector<double> Solve() const
  {
    const std::unique_ptr<Tol> t = Data{w, ymin, ymax, xsup, xinf}.Make();
    QAVCoutCapture quiet(std::cerr);
    if (t->OptimizeExact() != S_OK)
      return {};
    return t->_Exact.Tolerances;
  }
  double Y(std::size_t j, const std::vector<double>& x) const
  {
    double y = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
      y += w[j][i] * x[i];
    return y;
  }
  void ExpectFeasible(const std::vector<double>& x) const
  {
    for (std::size_t j = 0; j < w.size(); ++j)
    {
      EXPECT_GE(Y(j, x), ymin[j] - 1e-9 * std::max(1.0, std::fabs(ymin[j]))) << "row " << j;
      EXPECT_LE(Y(j, x), ymax[j] + 1e-9 * std::max(1.0, std::fabs(ymax[j]))) << "row " << j;
    }
    for (std::size_t i = 0; i < x.size(); ++i)
      EXPECT_TRUE(x[i] > 0.0 && x[i] >= xinf[i] - 1e-9 && x[i] <= xsup[i] + 1e-9) << "variable " << i;
  }
};
} // namespace

TEST(OptimizeExact, ActiveXBounds)
{
  // Unbounded: X = 0.3 / (sqrt(w_i) * 6) = (0.05, 0.025, 0.0167) for w = (1, 4, 9). Capping X_0 at
  // 0.02 and raising X_2 to 0.025 leaves X_1 = (0.3 - 0.02 - 0.225) / 4.
  const std::vector<double> x = Problem{{{1.0, 4.0, 9.0}}, {0.0}, {0.3}, {1e-3, 1e-3, 0.025}, {0.02, 1.0, 1.0}}.Solve();
  ASSERT_EQ(3u, x.size());
  EXPECT_NEAR(0.02, x[0], 1e-9);
  EXPECT_NEAR((0.3 - 0.02 - 0.225) / 4.0, x[1], 1e-9);
  EXPECT_NEAR(0.025, x[2], 1e-9);
  // A negative lower X bound means X > 0.
  const std::vector<double> open = Problem{{{1.0, 1.0}}, {0.1}, {0.2}, {-5.0, -5.0}, {1e3, 1e3}}.Solve();
  ASSERT_EQ(2u, open.size());
  EXPECT_NEAR(0.1, open[0], 1e-9);
  EXPECT_NEAR(0.1, open[1], 1e-9);
}

TEST(OptimizeExact, NarrowAndEqualityBands)
{
  for (double width : {1e-3, 1e-7, 0.0})
  {
    // x0 + x1 + x2 <= 0.3 and x0 - x1 within [0.05, 0.05 + width].
    const Problem p{{{1.0, 1.0, 1.0}, {1.0, -1.0, 0.0}},
                    {0.0, 0.05},
                    {0.3, 0.05 + width},
                    std::vector<double>(3, 1e-4),
                    std::vector<double>(3, 1.0)};
    const std::vector<double> x = p.Solve();
    ASSERT_EQ(3u, x.size()) << "width " << width;
    p.ExpectFeasible(x);
    EXPECT_NEAR(0.3, p.Y(0, x), 1e-9);
  }
}

TEST(OptimizeExact, ReportsInfeasibleProblems)
{
  const Problem cases[] = {
    {{{1.0, 1.0}}, {0.0}, {0.01}, {0.1, 0.1}, {1.0, 1.0}},                          // W.X is at least 0.2
    {{{1.0, 1.0}, {1.0, -1.0}}, {0.0, 0.5}, {0.2, 10.0}, {0.01, 0.01}, {1.0, 1.0}}, // each row alone is met
    {{{1.0, -1.0, 0.0}, {0.0, 1.0, -1.0}, {-1.0, 0.0, 1.0}},
     {0.1, 0.1, 0.1},
     {1.0, 1.0, 1.0}, // a chain of rows
     std::vector<double>(3, 0.01),
     std::vector<double>(3, 2.0)},
    {{{1.0}}, {0.5}, {0.4}, {0.1}, {1.0}},   // crossed Y bounds
    {{{1.0}}, {-1.0}, {1.0}, {-2.0}, {0.0}}, // no positive X
    {{{NAN}}, {-1.0}, {1.0}, {0.1}, {1.0}},  // a NaN
  };
  for (const Problem& p : cases)
    EXPECT_TRUE(p.Solve().empty());
}

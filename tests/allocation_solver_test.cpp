#include "QAVTasAllocationSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
using Problem = QAVTasAllocationProblem;
using Status = QAVTasAllocationResult::Status;

Problem::Dimension Free(double iMin, double iMax, Problem::Cost iCost, double iShift = 0.0)
{
  Problem::Dimension d;
  d.Name = "d";
  d.Min = iMin, d.Max = iMax, d.CostOf = iCost, d.MeanShift = iShift;
  return d;
}

Problem::Cost Reciprocal(double b)
{
  Problem::Cost c;
  c.Model = Problem::CostModel::Reciprocal, c.B = b;
  return c;
}

Problem::Stackup Row(Problem::Law iLaw, double iLimit, const std::vector<double>& iS, double iFactor = 1.0)
{
  Problem::Stackup s;
  s.Name = "s", s.Rule = iLaw, s.Limit = iLimit, s.Factor = iFactor;
  for (std::size_t i = 0; i < iS.size(); ++i)
    if (iS[i] != 0.0)
      s.Sensitivity.emplace_back(static_cast<std::int32_t>(i), iS[i]);
  return s;
}

// The certificate's claims, checked from outside: feasibility, the gap, and the lower bound under
// the cost of feasible points (the optimum shrunk towards the bounds stays feasible).
void ExpectCertified(const Problem& p, const QAVTasAllocationResult& r)
{
  ASSERT_EQ(Status::Optimal, r.State) << r.Reason;
  EXPECT_LE(p.MaxViolation(r.Tolerances.data()), 1e-9);
  EXPECT_NEAR(p.TotalCost(r.Tolerances.data()), r.Cost, 1e-12 * std::fabs(r.Cost));
  EXPECT_LE(r.Cost - r.LowerBound, 1e-9 * std::max(1.0, std::fabs(r.Cost)));
  EXPECT_LE(r.RelativeGap, 1e-9);
  for (double shrink : {0.999, 0.9, 0.5})
  {
    std::vector<double> t = r.Tolerances;
    for (std::size_t i = 0; i < t.size(); ++i)
      if (!p.Dimensions[i].Fixed)
        t[i] = std::max(p.Dimensions[i].Min, shrink * t[i]);
    if (p.MaxViolation(t.data()) == 0.0)
    {
      EXPECT_GE(p.TotalCost(t.data()), r.LowerBound);
    }
  }
  for (double price : r.StackupPrices)
    EXPECT_GE(price, 0.0);
}
} // namespace

// One row with costs b_i / t_i. Worst-case: b_i / t_i^2 = lambda |s_i| gives
// t_i = T sqrt(b_i / |s_i|) / S, S = sum_k sqrt(b_k |s_k|), cost S^2 / T and price S^2 / T^2.
// rss: b_i / t_i^2 = lambda f s_i^2 t_i / rho gives t_i = T (b_i / s_i^2)^(1/3) / (f sqrt(sum_k (s_k b_k)^(2/3))).
TEST(AllocationSolver, ClosedForms)
{
  const std::vector<double> s = {1.0, -4.0, 0.25, 2.0}, b = {1.0, 3.0, 0.5, 2.0};
  const double limit = 0.3, factor = 1.5;
  for (Problem::Law law : {Problem::Law::WorstCase, Problem::Law::Rss})
  {
    Problem p;
    for (double bi : b)
      p.Dimensions.push_back(Free(1e-6, 1e3, Reciprocal(bi)));
    p.Stackups.push_back(Row(law, limit, s, factor));
    const QAVTasAllocationResult r = QAVTasAllocationSolver().Solve(p);
    ExpectCertified(p, r);
    double sum = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i)
      sum += law == Problem::Law::WorstCase ? std::sqrt(b[i] * std::fabs(s[i])) : std::cbrt(s[i] * s[i] * b[i] * b[i]);
    for (std::size_t i = 0; i < s.size(); ++i)
    {
      const double t = law == Problem::Law::WorstCase
        ? limit * std::sqrt(b[i] / std::fabs(s[i])) / sum
        : limit * std::cbrt(b[i] / (s[i] * s[i])) / (factor * std::sqrt(sum));
      EXPECT_NEAR(t, r.Tolerances[i], 1e-8 * t) << i;
    }
    if (law == Problem::Law::WorstCase)
    {
      EXPECT_NEAR(sum * sum / limit, r.Cost, 1e-9 * r.Cost);
      EXPECT_NEAR(sum * sum / (limit * limit), r.StackupPrices[0], 1e-6 * r.StackupPrices[0]);
    }
  }
}

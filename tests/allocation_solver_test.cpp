#include "../bench/QAVAllocationChain.h"
#include "QAVAllocationProblems.h"
#include "QAVTasAllocationSolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace
{
using Problem = QAVTasAllocationProblem;
using Status = QAVTasAllocationResult::Status;
using namespace QAVAllocationProblems;

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
  for (std::size_t i = 0; i < r.Tolerances.size(); ++i) // only a bound that binds has a price
  {
    const Problem::Dimension& d = p.Dimensions[i];
    EXPECT_TRUE(r.MinPrices[i] >= 0.0 && (r.MinPrices[i] == 0.0 || r.Tolerances[i] - d.Min <= 1e-6 * (d.Max - d.Min)))
      << i;
    EXPECT_TRUE(r.MaxPrices[i] >= 0.0 && (r.MaxPrices[i] == 0.0 || d.Max - r.Tolerances[i] <= 1e-6 * (d.Max - d.Min)))
      << i;
  }
}
} // namespace

// Each law at one point, by hand (t = (0.1, 0.2, 0.05), s = (1, -2, 0.5), m = (0.2, 0.5, 0), rss
// factor 1.5); a mean-shift row that binds at the optimum holds its limit by the law, not only by
// the solver's rows.
TEST(AllocationSolver, LawsAtAPointAndABindingMeanShiftRow)
{
  Problem p;
  p.Dimensions = {Free(0.01, 1.0, Reciprocal(1.0), 0.2), Free(0.01, 1.0, Reciprocal(2.0), 0.5),
                  Free(0.01, 1.0, Reciprocal(0.5))};
  const std::vector<double> t = {0.1, 0.2, 0.05}, s = {1.0, -2.0, 0.5};
  const std::pair<Problem::Law, double> laws[] = {
    {Problem::Law::WorstCase, 0.1 + 0.4 + 0.025},
    {Problem::Law::Rss, 1.5 * std::sqrt(0.01 + 0.16 + 0.000625)},
    {Problem::Law::MeanShift, 0.02 + 0.2 + std::sqrt(0.08 * 0.08 + 0.2 * 0.2 + 0.025 * 0.025)},
    {Problem::Law::Linear, 0.1 - 0.4 + 0.025}};
  for (const auto& [law, value] : laws)
  {
    p.Stackups = {Row(law, 1.0, s, 1.5)};
    EXPECT_NEAR(value, p.StackupValue(0, t.data()), 1e-15) << static_cast<int>(law);
  }
  p.Stackups = {Row(Problem::Law::MeanShift, 0.3, s)};
  const QAVTasAllocationResult r = QAVTasAllocationSolver().Solve(p);
  ExpectCertified(p, r);
  EXPECT_NEAR(0.3, r.StackupValues[0], 1e-9);
}

// One row with costs b_i / t_i. Worst-case: b_i / t_i^2 = lambda |s_i| gives
// t_i = T sqrt(b_i / |s_i|) / S, S = sum_k sqrt(b_k |s_k|), cost S^2 / T and price S^2 / T^2.
// rss: b_i / t_i^2 = lambda f s_i^2 t_i / rho gives t_i = T (b_i / s_i^2)^(1/3) / (f sqrt(sum_k (s_k b_k)^(2/3))).
TEST(AllocationSolver, ClosedForms)
{
  const std::vector<double>&s = ClosedForm::S, &b = ClosedForm::B;
  const double limit = ClosedForm::Limit, factor = ClosedForm::Factor;
  for (Problem::Law law : {Problem::Law::WorstCase, Problem::Law::Rss})
  {
    const Problem p = ClosedForm::Of(law);
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
      EXPECT_NEAR(t, r.Tolerances[i], 1e-7 * t) << i;
    }
    if (law == Problem::Law::WorstCase)
    {
      EXPECT_NEAR(sum * sum / limit, r.Cost, 1e-9 * r.Cost);
      EXPECT_NEAR(sum * sum / (limit * limit), r.StackupPrices[0], 1e-6 * r.StackupPrices[0]);
    }
  }
}

TEST(AllocationSolver, CertifiesRandomProblemsOfEveryLawAndCost)
{
  std::mt19937 gen(20261207);
  for (std::size_t trial = 0; trial < 80; ++trial)
  {
    const Problem p = Random(gen, trial);
    ExpectCertified(p, QAVTasAllocationSolver().Solve(p));
  }
}

// The price of a limit is the cost saved per unit of loosening: a central difference of the
// optimal cost in the limit.
TEST(AllocationSolver, PricesAreDerivativesOfTheOptimalCost)
{
  std::mt19937 gen(7);
  for (std::size_t trial = 0; trial < 12; ++trial)
  {
    Problem p = Random(gen, trial);
    const QAVTasAllocationResult r = QAVTasAllocationSolver().Solve(p);
    ExpectCertified(p, r);
    for (std::size_t j = 0; j < p.Stackups.size(); ++j)
    {
      Problem::Stackup& s = p.Stackups[j];
      const bool upper = s.Rule != Problem::Law::Linear || r.StackupValues[j] > 0.5 * (s.Lower + s.Upper);
      double& limit = s.Rule != Problem::Law::Linear ? s.Limit : upper ? s.Upper : s.Lower;
      const double h = 1e-5 * std::max(std::fabs(limit), 1e-3), saved = limit;
      limit = saved + (upper ? h : -h);
      const double looser = QAVTasAllocationSolver().Solve(p).Cost;
      limit = saved - (upper ? h : -h);
      const double tighter = QAVTasAllocationSolver().Solve(p).Cost;
      limit = saved;
      EXPECT_NEAR((tighter - looser) / (2.0 * h), r.StackupPrices[j], 1e-4 * (1.0 + r.StackupPrices[j]))
        << "trial " << trial << " stack-up " << j;
    }
  }
}

TEST(AllocationSolver, ProvesInfeasibility)
{
  for (const Problem& p : Infeasible())
  {
    const QAVTasAllocationResult r = QAVTasAllocationSolver().Solve(p);
    EXPECT_EQ(Status::Infeasible, r.State) << r.Reason;
  }
}

// Both sides of an equality band bind, with multipliers of the order of the gap over its width:
// its price is their difference, 0 where the row does not steer the answer, and a one-sided
// difference of the optimal cost where it does.
TEST(AllocationSolver, EqualityBandIsPricedByItsNetMultiplier)
{
  for (double dear : {1.0, 2.0})
  {
    Problem p;
    p.Dimensions = {Free(0.01, 0.5, Reciprocal(1.0)), Free(0.01, 0.5, Reciprocal(dear))};
    p.Stackups = {Row(Problem::Law::WorstCase, 0.3, {1.0, 1.0}), Row(Problem::Law::Linear, 0.0, {1.0, -1.0})};
    const QAVTasAllocationResult r = QAVTasAllocationSolver().Solve(p);
    ExpectCertified(p, r);
    // The dearer dimension wants the wider tolerance, t0 - t1 < 0: loosen the lower side, by h and
    // 2h for a second-order one-sided difference.
    const double h = 1e-5;
    p.Stackups[1].Lower = -h;
    const double once = QAVTasAllocationSolver().Solve(p).Cost;
    p.Stackups[1].Lower = -2.0 * h;
    const double twice = QAVTasAllocationSolver().Solve(p).Cost;
    const double saving = (3.0 * r.Cost - 4.0 * once + twice) / (2.0 * h);
    EXPECT_NEAR(saving, r.StackupPrices[1], 1e-4 * (1.0 + saving)) << dear;
    if (dear == 1.0)
    {
      EXPECT_EQ(0.0, r.StackupPrices[1]);
    }
  }
}

// A chain large enough for the sparse factorisation, once in its own order (a narrow band, kept)
// and once with its dimensions shuffled (reordered to reduce fill): the same certified optimum.
TEST(AllocationSolver, SparseChainInAnyOrderOfItsDimensions)
{
  const Problem given = QAVAllocationChain(600);
  std::vector<std::int32_t> place(given.Dimensions.size());
  std::iota(place.begin(), place.end(), 0);
  std::shuffle(place.begin(), place.end(), std::mt19937(7));
  Problem shuffled = given;
  for (std::size_t i = 0; i < place.size(); ++i)
    shuffled.Dimensions[static_cast<std::size_t>(place[i])] = given.Dimensions[i];
  for (Problem::Stackup& s : shuffled.Stackups)
    for (auto& entry : s.Sensitivity)
      entry.first = place[static_cast<std::size_t>(entry.first)];
  const QAVTasAllocationResult a = QAVTasAllocationSolver().Solve(given);
  const QAVTasAllocationResult b = QAVTasAllocationSolver().Solve(shuffled);
  ExpectCertified(given, a);
  ExpectCertified(shuffled, b);
  EXPECT_NEAR(a.Cost, b.Cost, 1e-9 * a.Cost);
  for (std::size_t i = 0; i < place.size(); ++i)
    EXPECT_NEAR(a.Tolerances[i], b.Tolerances[static_cast<std::size_t>(place[i])], 1e-6 * a.Tolerances[i]) << i;
}

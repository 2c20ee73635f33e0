#include "QAVTasStackupContributions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using Law = QAVTasAllocationProblem::Law;

// Two dimensions, t = (0.1, 0.2), sensitivities (1, -2); the second shifted by half its tolerance.
QAVTasAllocationProblem OneStackup(Law iLaw)
{
  QAVTasAllocationProblem p;
  p.Dimensions.resize(2);
  p.Dimensions[1].MeanShift = 0.5;
  QAVTasAllocationProblem::Stackup s;
  s.Rule = iLaw;
  s.Limit = 1.0;
  s.Factor = 1.5;
  s.Lower = -1.0;
  s.Upper = 2.0;
  s.Sensitivity = {{0, 1.0}, {1, -2.0}};
  p.Stackups.push_back(s);
  return p;
}

struct Case
{
  Law law;
  double first, second; // percent, worked out by hand
  double utilisation;
};

TEST(Contributions, MatchHandComputedSharesForEveryLaw)
{
  const double t[2] = {0.1, 0.2};
  // worst-case: 0.1 and 0.4 of 0.5. rss: 0.01 and 0.16 of 0.17, value 1.5 sqrt(0.17).
  // mean-shift: A = 0.2 (second only), B = sqrt(0.01 + 0.04) = 0.2236;
  //   first = B (0.01 / 0.05) / (A + B), second = (0.2 + B (0.04 / 0.05)) / (A + B).
  // linear: |0.1| and |-0.4| of 0.5; value -0.3 in [-1, 2], 0.8 from its centre of a half-width 1.5.
  const double b = std::sqrt(0.05);
  const Case cases[] = {
    {Law::WorstCase, 20.0, 80.0, 0.5},
    {Law::Rss, 100.0 / 17.0, 1600.0 / 17.0, 1.5 * std::sqrt(0.17)},
    {Law::MeanShift, 100.0 * b * 0.2 / (0.2 + b), 100.0 * (0.2 + b * 0.8) / (0.2 + b), 0.2 + b},
    {Law::Linear, 20.0, 80.0, 0.8 / 1.5},
  };
  for (const Case& c : cases)
  {
    const QAVTasAllocationProblem p = OneStackup(c.law);
    const QAVTasStackupContributions k(p, t);
    ASSERT_EQ(k.Shares[0].size(), 2u);
    EXPECT_NEAR(k.Shares[0][0].Percent, c.first, 1e-12) << static_cast<int>(c.law);
    EXPECT_NEAR(k.Shares[0][1].Percent, c.second, 1e-12) << static_cast<int>(c.law);
    EXPECT_NEAR(k.Shares[0][0].Percent + k.Shares[0][1].Percent, 100.0, 1e-12);
    EXPECT_NEAR(k.Utilisation[0], c.utilisation, 1e-12) << static_cast<int>(c.law);
  }
}

TEST(Contributions, ZeroStackupHasNoContributor)
{
  const double t[2] = {0.0, 0.0};
  const QAVTasStackupContributions k(OneStackup(Law::MeanShift), t);
  EXPECT_EQ(k.Shares[0][0].Percent, 0.0);
  EXPECT_EQ(k.Shares[0][1].Percent, 0.0);
}
} // namespace

// A band is used as far as its value has left the centre for the nearer edge; an equality when met.
TEST(Contributions, LinearBandUseRunsFromItsCentreToEitherEdge)
{
  const struct
  {
    double lower, upper, value, use;
  } cases[] = {
    {-0.2, -0.05, -0.2, 1.0},    {-0.2, -0.05, -0.05, 1.0}, {-0.2, -0.05, -0.125, 0.0}, {-0.2, -0.05, -0.15, 1.0 / 3},
    {-0.2, -0.05, -0.275, 2.0},  {0.0, 0.0, 0.0, 1.0},      {0.0, 0.0, 4e-10, 1.0},     {0.0, 0.0, 0.01, 1.01},
    {5.0, 5.0, 5.0 + 1e-9, 1.0}, {5.0, 5.0, 4.0, 1.2},
  };
  for (const auto& c : cases)
  {
    QAVTasAllocationProblem p = OneStackup(Law::Linear);
    p.Stackups[0].Lower = c.lower, p.Stackups[0].Upper = c.upper;
    p.Stackups[0].Sensitivity = {{0, 1.0}};
    const double t[2] = {c.value, 0.0};
    EXPECT_NEAR(QAVTasStackupContributions(p, t).Utilisation[0], c.use, 1e-9) << c.lower << " " << c.value;
  }
}

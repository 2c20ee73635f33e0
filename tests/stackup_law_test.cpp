// Stack-up laws: each registered law's own value and gradient agree with the general form, and a
// law that a program registers is read, checked, solved, selected, simulated and written back
// like its built-in twin, with no change to the library.
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasStackupContributions.h"
#include "QAVTasStackupLaw.h"
#include "QAVTasStackupLaws.h"
#include "QAVTasYieldEstimator.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <random>
#include <string>

namespace
{
using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
const Problem::Law kInflatedKey = static_cast<Problem::Law>(7);

// rss inflated by a fixed 1.5, with no factor of its own; only the general form, no Value or
// Gradient of its own.
class InflatedRss final : public QAVTasStackupLaw
{
public:
  const char* Name() const override { return "inflated-rss"; }
  bool HasLinearPart() const override { return false; }
  bool HasCone() const override { return true; }
  Term TermOf(double iS, double) const override { return {0.0, iS}; }
  double ConeFactor(const Stackup&) const override { return 1.5; }
};

const QAVTasStackupLaw& Inflated()
{
  static const InflatedRss law;
  static const bool registered = QAVTasStackupLaws::Register(kInflatedKey, law);
  EXPECT_TRUE(registered);
  return law;
}

const std::string kFile = std::string(QAV_SOURCE_DIR) + "/tests/data/laws/registered_law.json";

Problem Read(const std::string& iText)
{
  Problem p;
  std::string error;
  EXPECT_TRUE(QAVTasAllocationFile::Read(iText, p, error)) << error;
  return p;
}

std::string Refusal(std::string iText, const std::string& iFrom, const std::string& iTo)
{
  iText.replace(iText.find(iFrom), iFrom.size(), iTo);
  Problem p;
  std::string error;
  EXPECT_FALSE(QAVTasAllocationFile::Read(iText, p, error));
  return error;
}

// The registered law's stack-ups made rss with factor 1.5: the same problem.
Problem Twin(Problem iProblem)
{
  for (Problem::Stackup& s : iProblem.Stackups)
    if (s.Rule == kInflatedKey)
      s.Rule = Problem::Law::Rss, s.Factor = 1.5;
  return iProblem;
}

void ExpectSameAnswer(const Result& iA, const Result& iB, const char* iWhat)
{
  ASSERT_EQ(iA.State, Result::Status::Optimal) << iWhat << ": " << iA.Reason;
  ASSERT_EQ(iB.State, Result::Status::Optimal) << iWhat << ": " << iB.Reason;
  EXPECT_NEAR(iA.Cost, iB.Cost, 1e-7 * iB.Cost) << iWhat;
  EXPECT_EQ(iA.Processes, iB.Processes) << iWhat;
  for (std::size_t j = 0; j < iB.StackupPrices.size(); ++j)
    EXPECT_NEAR(iA.StackupPrices[j], iB.StackupPrices[j], 1e-5 * (1.0 + iB.StackupPrices[j])) << iWhat << j;
}
} // namespace

TEST(StackupLaw, OwnValueAndGradientAgreeWithTheGeneralFormAndItsSlopes)
{
  Inflated();
  Problem p;
  p.Dimensions.resize(5);
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (Problem::Dimension& d : p.Dimensions)
    d.MeanShift = 0.8 * unit(gen);
  std::vector<double> t(5);
  for (double& x : t)
    x = 0.01 + unit(gen);
  for (const QAVTasStackupLaw* law : QAVTasStackupLaws::All())
  {
    Problem::Law key = Problem::Law::WorstCase;
    ASSERT_EQ(QAVTasStackupLaws::Find(law->Name(), key), law);
    EXPECT_EQ(&QAVTasStackupLaws::Of(key), law);
    EXPECT_STREQ(QAVTasAllocationFile::LawName(key), law->Name());
    Problem::Stackup s;
    s.Rule = key, s.Factor = 1.25;
    s.Sensitivity = {{0, 1.0}, {2, -2.5}, {3, 0.5}, {4, -0.75}};
    const double v = law->Value(p, s, t.data());
    EXPECT_NEAR(v, law->QAVTasStackupLaw::Value(p, s, t.data()), 1e-14 * std::fabs(v)) << law->Name();
    std::vector<double> g(4), general(4);
    law->Gradient(p, s, t.data(), g.data());
    law->QAVTasStackupLaw::Gradient(p, s, t.data(), general.data());
    for (std::size_t e = 0; e < g.size(); ++e)
    {
      const std::int32_t i = s.Sensitivity[e].first;
      const double h = 1e-6;
      std::vector<double> up(t), down(t);
      up[i] += h, down[i] -= h;
      const double slope = (law->Value(p, s, up.data()) - law->Value(p, s, down.data())) / (2.0 * h);
      EXPECT_NEAR(g[e], general[e], 1e-14 * (1.0 + std::fabs(g[e]))) << law->Name() << e;
      EXPECT_NEAR(g[e], slope, 1e-7) << law->Name() << e;
    }
  }
}

TEST(StackupLaw, ARegisteredLawIsReadSolvedSelectedAndWrittenLikeItsBuiltInTwin)
{
  const QAVTasStackupLaw& law = Inflated();
  InflatedRss other;
  EXPECT_FALSE(QAVTasStackupLaws::Register(kInflatedKey, other));                  // the key is taken
  EXPECT_FALSE(QAVTasStackupLaws::Register(static_cast<Problem::Law>(8), law));    // so is the name
  EXPECT_FALSE(QAVTasStackupLaws::Register(static_cast<Problem::Law>(16), other)); // out of range

  const std::string text = QAVToolSlurp(kFile);
  const nlohmann::json expected = nlohmann::json::parse(text).at("x-expected");
  const Problem p = Read(text);
  ASSERT_EQ(p.Stackups[0].Rule, kInflatedKey);
  EXPECT_TRUE(p.Validate().empty()) << p.Defects();
  EXPECT_EQ(law.ReportLine(p.Stackups[0]), expected.at("report"));
  EXPECT_EQ(Refusal(text, "\"limit\": 0.08", "\"limit\": 0.08, \"factor\": 2"), expected.at("factor-refused"));
  EXPECT_EQ(Refusal(text, "\"inflated-rss\", \"limit\"", "\"rss-plus\", \"limit\""), expected.at("unknown"));
  const std::string written = QAVTasAllocationFile::Write(p);
  EXPECT_EQ(QAVTasAllocationFile::Write(Read(written)), written);

  const Problem twin = Twin(p);
  const Result selected = QAVTasProcessSelector().Solve(p), twinSelected = QAVTasProcessSelector().Solve(twin);
  ExpectSameAnswer(selected, twinSelected, "selection");
  EXPECT_LE(p.MaxViolation(selected.Tolerances.data()), 1e-9);

  Problem continuous = p; // the selected process fixed: the continuous solver's rows
  Problem::Dimension& bore = continuous.Dimensions[2];
  bore.Fixed = true, bore.Tolerance = selected.Tolerances[2], bore.Options.clear();
  ExpectSameAnswer(QAVTasAllocationSolver().Solve(continuous), QAVTasAllocationSolver().Solve(Twin(continuous)),
                   "continuous");

  const QAVTasStackupContributions shares(p, selected.Tolerances.data()), twinShares(twin, selected.Tolerances.data());
  EXPECT_NEAR(shares.Utilisation[0], twinShares.Utilisation[0], 1e-14);
  for (std::size_t e = 0; e < shares.Shares[0].size(); ++e)
    EXPECT_NEAR(shares.Shares[0][e].Percent, twinShares.Shares[0][e].Percent, 1e-12);
  QAVTasYieldEstimator::Options options;
  options.Samples = 20000, options.Threads = 1;
  const auto yield = QAVTasYieldEstimator(options).Simulate(p, selected.Tolerances);
  const auto twinYield = QAVTasYieldEstimator(options).Simulate(twin, selected.Tolerances);
  EXPECT_EQ(yield.Joint.Yield, twinYield.Joint.Yield);
  EXPECT_EQ(yield.Stackups[0].Exact, twinYield.Stackups[0].Exact);
}

// An in-memory allocation problem is validated before any work: every defect is named (the
// expected lines are in tests/data/allocation/defects.txt), and the solver, the process selector
// and the yield estimator refuse a problem that has one, with those lines as their reason.
#include "QAVTasAllocationSolver.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasYieldEstimator.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>

namespace
{
using Problem = QAVTasAllocationProblem;
using Status = QAVTasAllocationResult::Status;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

Problem::Dimension Free(const char* iName, Problem::CostModel iModel, double iB)
{
  Problem::Dimension d;
  d.Name = iName;
  d.Min = 0.01, d.Max = 0.1;
  d.CostOf.Model = iModel, d.CostOf.B = iB, d.CostOf.K = 2.0, d.CostOf.M = 10.0;
  return d;
}

Problem::Stackup Row(const char* iName, Problem::Law iLaw, double iLimit,
                     std::vector<std::pair<std::int32_t, double>> iS)
{
  Problem::Stackup s;
  s.Name = iName, s.Rule = iLaw, s.Limit = iLimit, s.Sensitivity = std::move(iS);
  return s;
}

// a reciprocal, b a table, c fixed, d two processes, e a power cost with a mean shift; one
// stack-up of each law.
Problem Sound()
{
  Problem p;
  p.Dimensions = {Free("a", Problem::CostModel::Reciprocal, 1e-3), Free("b", Problem::CostModel::Table, 0.0),
                  Free("c", Problem::CostModel::None, 0.0), Free("d", Problem::CostModel::None, 0.0),
                  Free("e", Problem::CostModel::Power, 1e-4)};
  p.Dimensions[1].CostOf.Points = {{0.01, 10.0}, {0.05, 4.0}, {0.1, 3.0}};
  p.Dimensions[2].Fixed = true, p.Dimensions[2].Tolerance = 0.02;
  p.Dimensions[3].Options = {{0.01, 20.0, "grind"}, {0.03, 8.0, "turn"}};
  p.Dimensions[4].MeanShift = 0.2;
  p.Stackups = {Row("s0", Problem::Law::WorstCase, 0.3, {{0, 1.0}, {1, 1.0}, {2, 1.0}}),
                Row("s1", Problem::Law::Rss, 0.2, {{0, 1.0}, {3, 1.0}, {4, -1.0}}),
                Row("s2", Problem::Law::MeanShift, 0.3, {{4, 1.0}, {0, 1.0}}),
                Row("s3", Problem::Law::Linear, 0.0, {{0, 1.0}, {1, -1.0}})};
  p.Stackups[1].Factor = 1.5;
  p.Stackups[3].Lower = -0.1, p.Stackups[3].Upper = 0.2;
  return p;
}

using Change = std::function<void(Problem&)>;

const std::map<std::string, Change> kChanges = {
  {"index-out-of-range", [](Problem& p) { p.Stackups[0].Sensitivity.emplace_back(7, 1.0); }},
  {"negative-index", [](Problem& p) { p.Stackups[2].Sensitivity.emplace_back(-1, 1.0); }},
  {"named-twice", [](Problem& p) { p.Stackups[1].Sensitivity.emplace_back(0, 2.0); }},
  {"factor-zero", [](Problem& p) { p.Stackups[1].Factor = 0.0; }},
  {"mean-shift-above-one", [](Problem& p) { p.Dimensions[4].MeanShift = 1.5; }},
  {"mean-shift-negative", [](Problem& p) { p.Dimensions[0].MeanShift = -0.1; }},
  {"empty-table", [](Problem& p) { p.Dimensions[1].CostOf.Points.clear(); }},
  {"non-convex-table", [](Problem& p) { p.Dimensions[1].CostOf.Points[1].second = 9.0; }},
  {"rising-table",
   [](Problem& p) {
     p.Dimensions[1].CostOf.Points = {{0.01, 10.0}, {0.05, 11.0}, {0.1, 12.0}};
   }},
  {"table-t-repeated", [](Problem& p) { p.Dimensions[1].CostOf.Points[1].first = 0.01; }},
  {"table-t-zero", [](Problem& p) { p.Dimensions[1].CostOf.Points[0].first = 0.0; }},
  {"min-zero", [](Problem& p) { p.Dimensions[0].Min = 0.0; }},
  {"max-below-min", [](Problem& p) { p.Dimensions[0].Max = 0.005; }},
  {"bounds-outside-table", [](Problem& p) { p.Dimensions[1].Min = 0.005, p.Dimensions[1].Max = 0.2; }},
  {"fixed-outside-table",
   [](Problem& p) { p.Dimensions[2].CostOf = p.Dimensions[1].CostOf, p.Dimensions[2].CostOf.Points[0].first = 0.03; }},
  {"fixed-tolerance-negative", [](Problem& p) { p.Dimensions[2].Tolerance = -0.02; }},
  {"negative-b", [](Problem& p) { p.Dimensions[0].CostOf.B = -1.0; }},
  {"power-k-zero", [](Problem& p) { p.Dimensions[4].CostOf.K = 0.0; }},
  {"exponential-m-zero",
   [](Problem& p) { p.Dimensions[0].CostOf.Model = Problem::CostModel::Exponential, p.Dimensions[0].CostOf.M = 0.0; }},
  {"infinite-cost",
   [](Problem& p)
   {
     p.Dimensions[2].CostOf = p.Dimensions[4].CostOf, p.Dimensions[2].Tolerance = 5e-324;
     p.Dimensions[4].Max = 1e-160, p.Dimensions[4].Min = 1e-170;
   }},
  {"no-cost-model", [](Problem& p) { p.Dimensions[0].CostOf = Problem::Cost{}; }},
  {"fixed-and-options", [](Problem& p) { p.Dimensions[3].Fixed = true, p.Dimensions[3].Tolerance = 0.01; }},
  {"option-tolerance-zero", [](Problem& p) { p.Dimensions[3].Options[1].Tolerance = 0.0; }},
  {"limit-zero", [](Problem& p) { p.Stackups[0].Limit = 0.0; }},
  {"lower-above-upper", [](Problem& p) { p.Stackups[3].Lower = 0.3; }},
  {"unknown-law", [](Problem& p) { p.Stackups[2].Rule = static_cast<Problem::Law>(9); }},
  {"drawing-out-of-range",
   [](Problem& p)
   {
     p.Dimensions[2].Plus = -0.01, p.Dimensions[4].Cp = 0.0;
     p.Stackups[0].HasLsl = p.Stackups[0].HasUsl = true, p.Stackups[0].Lsl = 1.0, p.Yield = 1.5;
   }},
  {"not-finite-anywhere",
   [](Problem& p)
   {
     p.Dimensions[0].Max = kInf, p.Dimensions[1].CostOf.Points[1].second = kNaN, p.Dimensions[2].Tolerance = kNaN;
     p.Dimensions[3].Options[0].CostValue = kNaN, p.Dimensions[4].CostOf.A = -kInf;
     p.Stackups[0].Sensitivity[1].second = kNaN, p.Stackups[1].Limit = kNaN, p.Stackups[3].Upper = kInf;
   }},
  {"several-at-once",
   [](Problem& p)
   {
     for (const char* name : {"index-out-of-range", "factor-zero", "mean-shift-above-one", "empty-table"})
       kChanges.at(name)(p);
   }},
};

// Case name -> its expected lines.
std::map<std::string, std::vector<std::string>> ExpectedDefects()
{
  std::istringstream in(QAVToolSlurp(std::string(QAV_SOURCE_DIR) + "/tests/data/allocation/defects.txt"));
  std::map<std::string, std::vector<std::string>> cases;
  std::string line, name;
  while (std::getline(in, line))
  {
    if (line.empty() || line[0] == '#')
      name.clear();
    else if (name.empty())
      cases[name = line];
    else
      cases[name].push_back(line);
  }
  return cases;
}

std::string Joined(const std::vector<std::string>& iLines)
{
  std::string joined;
  for (const std::string& line : iLines)
    joined += (joined.empty() ? "" : "; ") + line;
  return joined;
}

void ExpectRefused(const QAVTasAllocationResult& iResult, const std::string& iReason)
{
  EXPECT_EQ(Status::NotSolved, iResult.State);
  EXPECT_EQ(iReason, iResult.Reason);
  EXPECT_TRUE(iResult.Tolerances.empty() && iResult.StackupPrices.empty() && iResult.Processes.empty());
}
} // namespace

TEST(ProblemValidate, EveryDefectIsNamedAndRefusedBySolverSelectorAndYield)
{
  const auto expected = ExpectedDefects();
  ASSERT_TRUE(Sound().Validate().empty()) << Sound().Defects();
  for (const auto& [name, change] : kChanges)
  {
    SCOPED_TRACE(name);
    ASSERT_EQ(1u, expected.count(name));
    Problem p = Sound();
    change(p);
    EXPECT_EQ(expected.at(name), p.Validate());
    const std::string reason = Joined(expected.at(name));
    EXPECT_EQ(reason, p.Defects());
    ExpectRefused(QAVTasAllocationSolver().Solve(p), reason);
    ExpectRefused(QAVTasProcessSelector().Solve(p), reason);
    try
    {
      QAVTasYieldEstimator().Simulate(p, std::vector<double>(p.Dimensions.size(), 0.02));
      ADD_FAILURE() << "the yield estimator ran";
    }
    catch (const std::invalid_argument& e)
    {
      EXPECT_EQ(reason, e.what());
    }
  }
}

TEST(ProblemValidate, TheSoundProblemSolvesAndOptionsOutOfRangeAreRefused)
{
  const auto expected = ExpectedDefects();
  const Problem p = Sound();
  const QAVTasAllocationResult selected = QAVTasProcessSelector().Solve(p);
  EXPECT_EQ(Status::Optimal, selected.State) << selected.Reason;
  QAVTasYieldEstimator::Options few;
  few.Samples = 1000, few.Threads = 1;
  EXPECT_TRUE(QAVTasYieldEstimator(few).Simulate(p, selected.Tolerances).Joint.Defined);

  QAVTasAllocationSolver::Options solver;
  solver.Gap = 0.0, solver.Feasibility = kNaN, solver.MaxIterations = 0;
  Problem continuous = p;
  continuous.Dimensions[3].Options.clear(), continuous.Dimensions[3].Fixed = true;
  continuous.Dimensions[3].Tolerance = 0.01;
  ASSERT_EQ(Status::Optimal, QAVTasAllocationSolver().Solve(continuous).State);
  ExpectRefused(QAVTasAllocationSolver(solver).Solve(continuous), Joined(expected.at("solver-options")));

  QAVTasProcessSelector::Options selector;
  selector.MaxNodes = 0, selector.TimeLimit = -1.0, selector.Relaxation.Gap = kNaN;
  ExpectRefused(QAVTasProcessSelector(selector).Solve(p), Joined(expected.at("selector-options")));
}

// Units never change the answer: every allocation example, every data file of the allocation tests
// (among them problems that once failed in micrometres or metres) and every problem the solver and
// selector tests build, written in units 1e-6, 1e-3, 1e3 and 1e6 times their own, keeps its status,
// its cost to 1e-9 and its selection, and its tolerances scale with the unit.
#include "QAVAllocationProblems.h"
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"
#include "QAVTasProcessSelector.h"
#include "QAVUnitScale.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace
{
using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
namespace Problems = QAVAllocationProblems;
const std::string kSource = QAV_SOURCE_DIR;

struct Case
{
  std::string Name;
  Problem Of;
  std::optional<double> Cost; // a file's x-expected cost
};

// iExpected: the files' x-expected cost is the continuous optimum (an example's may be another model's).
void AddFiles(const std::string& iFolder, bool iExpected, std::vector<Case>& ioCases)
{
  for (const auto& entry : std::filesystem::directory_iterator(kSource + iFolder))
  {
    if (entry.path().extension() != ".json")
      continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    Case c{entry.path().filename().string(), {}, {}};
    std::string error;
    ASSERT_TRUE(QAVTasAllocationFile::Read(text.str(), c.Of, error)) << c.Name << ": " << error;
    const nlohmann::json expected = nlohmann::json::parse(text.str()).value("x-expected", nlohmann::json::object());
    if (iExpected && expected.contains("cost"))
      c.Cost = expected["cost"].get<double>();
    ioCases.push_back(c);
  }
}

std::vector<Case> Cases()
{
  using Law = Problem::Law;
  std::vector<Case> cases;
  AddFiles("/examples", false, cases);
  AddFiles("/tests/data/allocation", true, cases);
  for (Law law : {Law::WorstCase, Law::Rss})
    cases.push_back({"closed form", Problems::ClosedForm::Of(law), {}});
  for (const Problem& p : Problems::Infeasible())
    cases.push_back({"infeasible", p, {}});
  std::mt19937 gen(20261207);
  for (std::size_t trial = 0; trial < 80; ++trial)
    cases.push_back({"random " + std::to_string(trial), Problems::Random(gen, trial), {}});
  for (const auto& law : Problems::SelectionLaws())
    for (std::uint32_t seed = 1; seed <= 6; ++seed)
      cases.push_back({"selection " + std::to_string(seed), Problems::SelectionCase(law, seed), {}});
  for (Law law : {Law::WorstCase, Law::Rss, Law::MeanShift})
    cases.push_back({"mixed selection", Problems::MixedSelection(law), {}});
  return cases;
}

Result Solve(const Problem& iProblem)
{
  const bool options = std::any_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(),
                                   [](const Problem::Dimension& d) { return !d.Options.empty(); });
  return options ? QAVTasProcessSelector().Solve(iProblem) : QAVTasAllocationSolver().Solve(iProblem);
}
} // namespace

TEST(Units, NeverChangeTheAnswer)
{
  for (const Case& c : Cases())
  {
    SCOPED_TRACE(c.Name);
    const Result base = Solve(c.Of);
    if (c.Cost)
    {
      ASSERT_EQ(base.State, Result::Status::Optimal) << base.Reason;
      EXPECT_NEAR(base.Cost, *c.Cost, 1e-9 * std::fabs(*c.Cost));
    }
    for (double k : {1e-6, 1e-3, 1e3, 1e6})
    {
      SCOPED_TRACE(testing::Message() << "unit x " << k);
      const Problem scaled = QAVInUnits(c.Of, k);
      const Result r = Solve(scaled);
      ASSERT_EQ(r.State, base.State) << r.Reason;
      EXPECT_EQ(r.Processes, base.Processes);
      if (r.State != Result::Status::Optimal)
        continue;
      EXPECT_NEAR(r.Cost, base.Cost, 1e-9 * std::fabs(base.Cost));
      EXPECT_LE(scaled.MaxViolation(r.Tolerances.data()), 1e-9);
      // The solver sees the same scaled problem in every unit, up to rounding.
      for (std::size_t i = 0; i < r.Tolerances.size(); ++i)
        EXPECT_NEAR(r.Tolerances[i], k * base.Tolerances[i], 1e-8 * k * base.Tolerances[i]) << i;
    }
  }
}

// The least loosening of the limits: the hand-derived answers of tests/data/allocation/diagnosis_*.json,
// the same in other units, a grid search on random conflicts, and a loosened problem always solved.
#include "QAVTasAllocationDiagnosis.h"
#include "QAVTasAllocationFile.h"
#include "QAVTasProcessSelector.h"
#include "QAVToolRun.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

namespace
{
using Problem = QAVTasAllocationProblem;
using Diagnosis = QAVTasAllocationDiagnosis;
using Status = QAVTasAllocationResult::Status;
const std::string kSource = QAV_SOURCE_DIR;

std::vector<std::string> CaseFiles()
{
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kSource + "/tests/data/allocation"))
    if (entry.path().filename().string().rfind("diagnosis_", 0) == 0)
      files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

Problem Read(const std::string& iPath)
{
  Problem problem;
  std::string error;
  EXPECT_TRUE(QAVTasAllocationFile::Read(QAVToolSlurp(iPath), problem, error)) << iPath << ": " << error;
  return problem;
}

// The same problem with every length multiplied by k (costs do not enter the diagnosis).
Problem InUnits(Problem iProblem, double k)
{
  for (Problem::Dimension& d : iProblem.Dimensions)
  {
    d.Min *= k, d.Max *= k, d.Tolerance *= k;
    for (Problem::Option& o : d.Options)
      o.Tolerance *= k;
    if (d.CostOf.Model == Problem::CostModel::Reciprocal)
      d.CostOf.B *= k;
    if (d.CostOf.Model == Problem::CostModel::Exponential)
      d.CostOf.M /= k;
  }
  for (Problem::Stackup& s : iProblem.Stackups)
    s.Limit *= k, s.Lower *= k, s.Upper *= k;
  return iProblem;
}

// The loosened problem has an answer, and the selector finds it.
void ExpectLoosenedSolved(const Problem& iProblem, const Diagnosis::Report& iReport, const std::string& iWhat)
{
  const QAVTasAllocationResult loosened =
    QAVTasProcessSelector().Solve(Diagnosis::Loosened(iProblem, iReport.Loosening));
  EXPECT_EQ(Status::Optimal, loosened.State) << iWhat << ": " << loosened.Reason;
}
} // namespace

TEST(AllocationDiagnosis, HandDerivedCasesInTheirUnitsAndOthers)
{
  const Diagnosis::Options options;
  const std::vector<std::string> files = CaseFiles();
  ASSERT_GE(files.size(), 4u);
  for (const std::string& file : files)
  {
    const Problem problem = Read(file);
    const nlohmann::json notes = nlohmann::json::parse(QAVToolSlurp(file));
    const nlohmann::json& expected = notes.at("x-relaxation");
    EXPECT_EQ(Status::Infeasible, QAVTasProcessSelector().Solve(problem).State) << file;
    for (double k : {1.0, 1e-6, 1e-3, 1e3, 1e6})
    {
      const std::string what = file + " x" + std::to_string(k);
      const Diagnosis::Report report = Diagnosis().Diagnose(InUnits(problem, k));
      ASSERT_TRUE(report.Solved) << what << ": " << report.Reason;
      double total = 0.0;
      for (std::size_t j = 0; j < problem.Stackups.size(); ++j)
      {
        const double want = expected.value(problem.Stackups[j].Name, 0.0);
        const double got = report.Loosening[j] > 0.0 ? report.Loosening[j] - options.Margin : 0.0;
        EXPECT_NEAR(want, got, 1e-9 * std::max(1.0, want)) << what << ": " << problem.Stackups[j].Name;
        total += want;
      }
      EXPECT_NEAR(total, report.Total, 1e-9 * std::max(1.0, total)) << what;
      std::vector<std::string> conflict;
      for (const std::int32_t j : report.Conflict)
        conflict.push_back(problem.Stackups[j].Name);
      EXPECT_EQ(notes.at("x-conflict").get<std::vector<std::string>>(), conflict) << what;
      EXPECT_LE(report.LowerBound, report.Total) << what;
      EXPECT_GE(report.LowerBound, total - 1e-9 * std::max(1.0, total)) << what;
      if (k == 1.0)
        ExpectLoosenedSolved(problem, report, what);
    }
  }
}

// Two free tolerances, a norm row and a linear row pulling apart: the least loosening is the least,
// over t, of the loosenings t needs; a fine grid comes within its spacing of it and never below.
TEST(AllocationDiagnosis, RandomConflictsAgainstAGrid)
{
  std::mt19937 random(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 20; ++trial)
  {
    Problem p;
    for (int i = 0; i < 2; ++i)
    {
      Problem::Dimension d;
      d.Name = "t" + std::to_string(i);
      d.Min = 0.01 + 0.02 * u(random), d.Max = d.Min + 0.05 + 0.1 * u(random);
      d.CostOf.Model = Problem::CostModel::Reciprocal, d.CostOf.B = 1.0;
      p.Dimensions.push_back(d);
    }
    Problem::Stackup norm, line;
    norm.Name = "norm", norm.Rule = trial % 2 ? Problem::Law::Rss : Problem::Law::WorstCase;
    norm.Limit = 0.02 + 0.03 * u(random), norm.Factor = trial % 4 == 1 ? 1.5 : 1.0;
    norm.Sensitivity = {{0, 0.5 + u(random)}, {1, -0.5 - u(random)}};
    line.Name = "line", line.Rule = Problem::Law::Linear;
    line.Sensitivity = {{0, 1.0}, {1, 2.0 * u(random) - 0.5}};
    line.Lower = 0.08 + 0.1 * u(random), line.Upper = line.Lower + (trial % 3 ? 0.05 : 0.0);
    p.Stackups = {norm, line};
    const Diagnosis::Report report = Diagnosis().Diagnose(p);
    ASSERT_TRUE(report.Solved) << trial << ": " << report.Reason;
    double best = 1e300;
    const int steps = 600;
    for (int a = 0; a <= steps; ++a)
      for (int b = 0; b <= steps; ++b)
      {
        const double t[2] = {p.Dimensions[0].Min + (p.Dimensions[0].Max - p.Dimensions[0].Min) * a / steps,
                             p.Dimensions[1].Min + (p.Dimensions[1].Max - p.Dimensions[1].Min) * b / steps};
        double need = 0.0;
        for (std::size_t j = 0; j < 2; ++j)
          need += Diagnosis::Needed(p.Stackups[j], p.StackupValue(j, t), Diagnosis::Scale(p, j));
        best = std::min(best, need);
      }
    EXPECT_GE(best, report.Total - 1e-9) << trial;
    EXPECT_LE(best, report.Total + 0.05 * std::max(report.Total, 0.01)) << trial;
    if (report.Total > 0.0)
      ExpectLoosenedSolved(p, report, "trial " + std::to_string(trial));
  }
}

// Options only: each selection is a fixed design, whose least loosening is the sum of what its
// stack-ups need; the search must find the least over every selection.
TEST(AllocationDiagnosis, RandomSelectionsAgainstEnumeration)
{
  std::mt19937 random(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 30; ++trial)
  {
    Problem p;
    for (int i = 0; i < 3; ++i)
    {
      Problem::Dimension d;
      d.Name = "t" + std::to_string(i);
      for (int o = 0; o < 3; ++o)
        d.Options.push_back({0.01 + 0.05 * u(random), 10.0 * u(random), ""});
      p.Dimensions.push_back(d);
    }
    Problem::Stackup norm, line;
    norm.Name = "norm", norm.Rule = trial % 2 ? Problem::Law::Rss : Problem::Law::WorstCase;
    norm.Limit = 0.02 + 0.05 * u(random);
    norm.Sensitivity = {{0, 1.0}, {1, u(random)}, {2, -1.0}};
    line.Name = "line", line.Rule = Problem::Law::Linear;
    line.Sensitivity = {{0, 1.0}, {1, 2.0 * u(random) - 1.0}, {2, 0.5}};
    line.Lower = 0.03 + 0.05 * u(random), line.Upper = line.Lower + (trial % 3 ? 0.02 : 0.0);
    p.Stackups = {norm, line};
    double best = 1e300;
    for (int a = 0; a < 27; ++a)
    {
      const double t[3] = {p.Dimensions[0].Options[a % 3].Tolerance, p.Dimensions[1].Options[a / 3 % 3].Tolerance,
                           p.Dimensions[2].Options[a / 9].Tolerance};
      double need = 0.0;
      for (std::size_t j = 0; j < 2; ++j)
        need += Diagnosis::Needed(p.Stackups[j], p.StackupValue(j, t), Diagnosis::Scale(p, j));
      best = std::min(best, need);
    }
    const Diagnosis::Report report = Diagnosis().Diagnose(p);
    ASSERT_TRUE(report.Solved) << trial << ": " << report.Reason;
    EXPECT_NEAR(best, report.Total, 1e-9 * std::max(1.0, best)) << trial;
    for (std::size_t i = 0; i < 3; ++i)
      EXPECT_EQ(report.Tolerances[i], p.Dimensions[i].Options[report.Processes[i]].Tolerance) << trial;
    if (report.Total > 0.0)
      ExpectLoosenedSolved(p, report, "selection " + std::to_string(trial));
    else
      EXPECT_EQ(std::vector<double>(2, 0.0), report.Loosening) << trial;
  }
}

// A search cut short says so and claims no loosening; a problem with defects is refused.
TEST(AllocationDiagnosis, StoppedSearchClaimsNothing)
{
  Diagnosis::Options options;
  options.MaxNodes = 1;
  const Diagnosis::Report report =
    Diagnosis(options).Diagnose(Read(kSource + "/tests/data/allocation/diagnosis_options.json"));
  EXPECT_FALSE(report.Solved);
  EXPECT_TRUE(report.Loosening.empty());
  EXPECT_NE(std::string::npos, report.Reason.find("after 1 nodes")) << report.Reason;
}

TEST(AllocationDiagnosis, RefusesAProblemWithDefects)
{
  Problem p = Read(kSource + "/tests/data/allocation/diagnosis_linear.json");
  p.Stackups[1].Sensitivity.emplace_back(7, 1.0);
  const Diagnosis::Report report = Diagnosis().Diagnose(p);
  EXPECT_FALSE(report.Solved);
  EXPECT_EQ(p.Defects(), report.Reason);
  EXPECT_FALSE(report.Reason.empty());
}

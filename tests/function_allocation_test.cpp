// QAVTasFunctionAllocation and 'qavtas allocate' with stack-ups given by their function: the
// clutch's worst case held on its true angle (checked by enumerating the corners of the answer's
// box apart from the library), against the linear answer; statistical laws on the sensitivities at
// the nominals; a limit the true function cannot meet.
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"
#include "QAVTasFunctionAllocation.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

namespace
{
const std::string kSource = QAV_SOURCE_DIR;

QAVTasAllocationProblem Read(const std::string& iPath)
{
  QAVTasAllocationProblem p;
  std::string error;
  EXPECT_TRUE(QAVTasAllocationFile::Read(QAVToolSlurp(kSource + "/" + iPath), p, error)) << error;
  return p;
}

QAVTasAllocationResult Linear(const QAVTasAllocationProblem& iProblem)
{
  return QAVTasAllocationSolver().Solve(iProblem);
}

// The clutch's angle deviation from its nominal over the box nominal +- t, by its 16 corners (the
// angle is monotone in each dimension there).
double AngleDeviation(const std::vector<double>& iT)
{
  const double x0[] = {55.29, 22.86, 22.86, 101.6};
  const auto angle = [](const double* x) { return std::acos((x[0] + (x[1] + x[2]) / 2) / (x[3] - (x[1] + x[2]) / 2)); };
  double most = 0.0;
  for (int corner = 0; corner < 16; ++corner)
  {
    double x[4];
    for (int k = 0; k < 4; ++k)
      x[k] = x0[k] + ((corner >> k) & 1 ? iT[k] : -iT[k]);
    most = std::max(most, std::fabs(angle(x) - angle(x0)));
  }
  return most;
}
} // namespace

TEST(FunctionAllocation, TheClutchHoldsItsTrueAngleWhereTheLinearAnswerBreaksIt)
{
  const QAVTasAllocationProblem clutch = Read("examples/clutch.json");
  const QAVTasAllocationResult linear = Linear(clutch);
  ASSERT_EQ(QAVTasAllocationResult::Status::Optimal, linear.State);
  EXPECT_GT(AngleDeviation(linear.Tolerances), 0.035 * 1.2); // the curvature the linear model misses

  const QAVTasFunctionAllocation::Result r = QAVTasFunctionAllocation().Solve(clutch, Linear);
  ASSERT_EQ(QAVTasAllocationResult::Status::Optimal, r.Answer.State) << r.Answer.Reason;
  EXPECT_NEAR(0.035, AngleDeviation(r.Answer.Tolerances), 0.035 * 1e-9);
  EXPECT_NEAR(0.035, r.Answer.StackupValues[0], 0.035 * 1e-9);
  const QAVTasFunctionAllocation::Check& c = r.Checks[0];
  EXPECT_TRUE(c.TrueLaw && c.Certified);
  EXPECT_LE(c.TrueBound, 0.035 * (1 + 1e-9));
  EXPECT_TRUE(c.Tangent);
  EXPECT_NEAR(c.ModelLimit, c.ModelValue, 1e-12);
  EXPECT_GT(r.Answer.Cost, linear.Cost * 1.1);
  // The true problem's optimality conditions, with the slopes of the true angle by differences:
  // cost 1/t_i makes t_i^2 dW/dt_i the same for every dimension, 1 / the shadow price.
  const std::vector<double>& t = r.Answer.Tolerances;
  for (std::size_t i = 0; i < 4; ++i)
  {
    std::vector<double> up = t, down = t;
    up[i] += 1e-7, down[i] -= 1e-7;
    const double slope = (AngleDeviation(up) - AngleDeviation(down)) / 2e-7;
    EXPECT_NEAR(1.0, t[i] * t[i] * slope * r.Answer.StackupPrices[0], 1e-6) << i;
  }
}

// The four-bar's output angle by its geometry, apart from Freudenstein's closed form of the
// example: the follower's pivot B where the circles about the crank pin (radius b) and the ground
// pivot (radius c) meet, above the line between them.
double FollowerAngle(double iA, double iB, double iC, double iD)
{
  const double t2 = 40.0 * M_PI / 180.0, ax = iA * std::cos(t2), ay = iA * std::sin(t2);
  const double dx = iD - ax, dy = -ay, l = std::hypot(dx, dy);
  const double along = (iB * iB - iC * iC + l * l) / (2 * l), h = std::sqrt(iB * iB - along * along);
  const double bx = ax + along * dx / l - h * dy / l, by = ay + along * dy / l + h * dx / l;
  return std::atan2(by, bx - iD);
}

TEST(FunctionAllocation, TheFourBarHoldsItsOutputAngleByItsGeometry)
{
  const QAVTasAllocationProblem fourbar = Read("examples/fourbar.json");
  const QAVTasFunctionAllocation::Result r = QAVTasFunctionAllocation().Solve(fourbar, Linear);
  ASSERT_EQ(QAVTasAllocationResult::Status::Optimal, r.Answer.State) << r.Answer.Reason;
  const std::vector<double>& t = r.Answer.Tolerances; // crank, coupler, follower, ground
  const double nominal = FollowerAngle(40, 120, 80, 100);
  EXPECT_NEAR(nominal, r.Checks[0].Reference, 1e-14);
  double most = 0.0;
  for (int corner = 0; corner < 16; ++corner)
  {
    const auto at = [&](int k, double x) { return x + ((corner >> k) & 1 ? t[k] : -t[k]); };
    most = std::max(most, std::fabs(FollowerAngle(at(0, 40), at(1, 120), at(2, 80), at(3, 100)) - nominal));
  }
  EXPECT_NEAR(0.0087266, most, 0.0087266 * 1e-9);
  // The sensitivities the laws use are the geometry's derivatives.
  const double step = 1e-6;
  const double x0[] = {40, 120, 80, 100};
  for (const auto& [i, s] : fourbar.Stackups[0].Sensitivity)
  {
    double up[4], down[4];
    std::copy(x0, x0 + 4, up), std::copy(x0, x0 + 4, down);
    up[i] += step, down[i] -= step;
    const double fd =
      (FollowerAngle(up[0], up[1], up[2], up[3]) - FollowerAngle(down[0], down[1], down[2], down[3])) / (2 * step);
    EXPECT_NEAR(fd, s, 1e-8) << fourbar.Dimensions[static_cast<std::size_t>(i)].Name;
  }
}

TEST(FunctionAllocation, StatisticalLawsUseTheSensitivitiesAtTheNominals)
{
  const QAVTasFunctionAllocation::Result r =
    QAVTasFunctionAllocation().Solve(Read("tests/data/nonlinear/clutch_rss.json"), Linear);
  const QAVTasAllocationResult written = Linear(Read("tests/data/nonlinear/clutch_rss_linear.json"));
  ASSERT_EQ(QAVTasAllocationResult::Status::Optimal, r.Answer.State);
  EXPECT_EQ(1, r.Rounds);
  EXPECT_NEAR(written.Cost, r.Answer.Cost, 1e-12 * written.Cost);
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_NEAR(written.Tolerances[i], r.Answer.Tolerances[i], 1e-12);
  EXPECT_FALSE(r.Checks[0].TrueLaw);
  EXPECT_GT(r.Checks[0].TrueValue, 0.0); // still reported
}

TEST(FunctionAllocation, ALimitTheTrueFunctionCannotMeetIsNotSolvedWithTheReason)
{
  const QAVTasFunctionAllocation::Result r =
    QAVTasFunctionAllocation().Solve(Read("tests/data/nonlinear/square_limit.json"), Linear);
  EXPECT_EQ(QAVTasAllocationResult::Status::NotSolved, r.Answer.State);
  EXPECT_NE(std::string::npos, r.Answer.Reason.find("has no answer")) << r.Answer.Reason;
  ASSERT_EQ(1u, r.Answer.Tolerances.size()); // the best answer found: the linear one
  EXPECT_NEAR(0.1025, r.Answer.Tolerances[0], 1e-9);
  EXPECT_NEAR(0.21550625, r.Checks[0].TrueValue, 1e-9);

  const QAVToolRunResult tool = QAVToolRun("allocate " + kSource + "/tests/data/nonlinear/square_limit.json --json");
  EXPECT_EQ(3, tool.status);
  EXPECT_NE(std::string::npos, tool.err.find("not solved: the linear model with its limits tightened")) << tool.err;
}

TEST(FunctionAllocation, TheReportShowsTheModelAndTheTrueFunctionSideBySide)
{
  const QAVToolRunResult r = QAVToolRun("allocate " + kSource + "/examples/clutch.json --json");
  ASSERT_EQ(0, r.status) << r.err;
  const nlohmann::json answer = nlohmann::json::parse(r.out);
  const nlohmann::json& angle = answer["functions"]["angle"];
  EXPECT_NEAR(-0.10393848030651143, angle["sensitivities"]["hub"].get<double>(), 1e-15);
  EXPECT_NEAR(0.035, angle["true_value"].get<double>(), 1e-11);
  EXPECT_LT(angle["linear_value"].get<double>(), 0.031);
  EXPECT_EQ(true, angle["certified"]);
  EXPECT_EQ(true, angle["tangent"]);
  EXPECT_LE(angle["yield"]["true_ci95"][0].get<double>(), angle["yield"]["true"].get<double>());
  EXPECT_GE(answer["function_solves"].get<int>(), 2);
  const std::string page = QAVToolTempPath("clutch.html");
  ASSERT_EQ(0, QAVToolRun("allocate " + kSource + "/examples/clutch.json --html " + page).status);
  EXPECT_NE(std::string::npos, QAVToolSlurp(page).find("<td>0.035</td><td>yes</td>"));
  EXPECT_NE(std::string::npos, QAVToolSlurp(page).find("(a local optimum)"));
  EXPECT_NE(std::string::npos,
            QAVToolRun("allocate " + kSource + "/examples/clutch.json").out.find("(a local optimum)"));
}

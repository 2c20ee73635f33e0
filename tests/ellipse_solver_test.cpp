#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVSamInstanciateError.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace
{
typedef ErrorDepthHandler R;

std::vector<std::int32_t> gLines;
void CollectLine(std::int32_t, const char*, const char*, std::int32_t iLine)
{
  gLines.push_back(iLine);
}

void ExpectReport(std::int32_t kind, const char* text, std::int32_t line)
{
  EXPECT_EQ(R::_ier_, kind);
  EXPECT_EQ(R::_c_err_, text);
  EXPECT_EQ(R::_errfile_, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasEllipseSolver");
  EXPECT_EQ(R::_i_errline_, line);
}

// n points evenly spaced in angle on the ellipse with semi-axes a, b, major axis at angle, centre c.
std::vector<double> Sample(int n, double a, double b, double angle, double cx, double cy)
{
  std::vector<double> p;
  for (int i = 0; i < n; ++i)
  {
    const double t = 2 * 3.14159265358979323846 * i / n, u = a * std::cos(t), v = b * std::sin(t);
    p.insert(p.end(), {cx + u * std::cos(angle) - v * std::sin(angle), cy + u * std::sin(angle) + v * std::cos(angle)});
  }
  return p;
}

double gSquare[] = {2, 0, -2, 0, 0, 1, 0, -1};
} // namespace

TEST(EllipseSolver, RecoversRotatedEllipsesAboutTheBarycentreOrTheOrigin)
{
  struct Case
  {
    int n;
    double a, b, angle, cx, cy, level;
    unsigned char withoutU;
  } cases[] = {{48, 3.0, 1.5, 0.4, 0.2, -0.1, 1.0, 0}, {40, 2.0, 0.8, -0.9, 0.0, 0.0, 2.0, 1}};
  for (const Case& c : cases)
  {
    SCOPED_TRACE(int(c.withoutU));
    std::vector<double> points = Sample(c.n, c.a, c.b, c.angle, c.cx, c.cy);
    QAVTasEllipseSolver solver(c.level, c.n, points.data());
    solver.SetWithoutUParameters(c.withoutU);
    double params[6];
    QAVCoutCapture quiet;
    ASSERT_EQ(solver.ComputeEllipseParameters(params), S_OK);
    EXPECT_LT(solver.GetOptimumFitness(), 1e-4);
    // Without u there is no constant or linear term.
    EXPECT_EQ(c.withoutU && std::fabs(params[0]) + std::fabs(params[1]) + std::fabs(params[3]) != 0.0, false);
    QAVTasCovarianceEllipse e(c.level, params);
    ASSERT_TRUE(e.IsAnEllipse());
    double x, y;
    e.GetEllipseCenter(x, y);
    EXPECT_NEAR(x, c.cx, 1e-9);
    EXPECT_NEAR(y, c.cy, 1e-9);
    QAVMathPoint2D f1, f2;
    e.GetEllipseFocals(f1, f2);
    EXPECT_NEAR(std::max(e._SemiAxis1, e._SemiAxis2), c.a, 0.01);
    EXPECT_NEAR(std::min(e._SemiAxis1, e._SemiAxis2), c.b, 0.01);
    EXPECT_NEAR(std::atan((f1.GetY() - f2.GetY()) / (f1.GetX() - f2.GetX())), c.angle, 0.01);
  }
}

TEST(EllipseSolver, PenaltyGrowsForEveryCandidateThatIsNoEllipse)
{
  QAVTasEllipseSolver solver(1.0, 4, gSquare);
  double zero[] = {0, 0, 0}, flat[] = {1, 4, 2}, saddle[] = {1, 1, 2};
  EXPECT_EQ(solver.EvalFitness(3, zero), 1000000.0);
  EXPECT_EQ(solver.EvalFitness(3, flat), 1000001.0);
  // a·b < c² passes the test: only absolute ratios count.
  EXPECT_LT(solver.EvalFitness(3, saddle), 1000000.0);
  EXPECT_EQ(solver._PenaltyFitness, 1000002.0);
  EXPECT_EQ(solver.EvalFitness(3, nullptr), 1000003.0);
  ExpectReport(3, "ipX", 71);
  EXPECT_EQ(solver.EvalFitness(3, zero), 1000003.0);
  EXPECT_EQ(solver._PenaltyFitness, 1000004.0);
  // NaN or infinite genes are no ellipse either: never a NaN fitness.
  double nanGenes[3] = {std::nan(""), 1.0, 0.0}, infGenes[3] = {HUGE_VAL, HUGE_VAL, 0.0};
  EXPECT_EQ(solver.EvalFitness(3, nanGenes), 1000004.0);
  EXPECT_EQ(solver.EvalFitness(3, infGenes), 1000005.0);
}

TEST(EllipseSolver, FitnessIsTheFocalSumVarianceOverItsOwnCopyOfThePoints)
{
  std::vector<double> points = Sample(12, 2.0, 1.0, 0.3, 5.0, -1.0);
  const std::vector<double> kept = points;
  QAVTasEllipseSolver solver(1.0, 12, points.data());
  points[0] = 1000.0;
  for (double x : {0.1, 0.2})
  {
    double candidate[3] = {x + 0.2, 0.9 - x, x - 0.2};
    const QAVTasCovarianceEllipse e(1.0, 0.0, candidate[0], candidate[1], candidate[2], kept.data(), 12, 0);
    double expected = 0;
    ASSERT_EQ(e.GetVarianceOfDistanceFromPoints(kept.data(), 12, expected), S_OK);
    EXPECT_EQ(solver.EvalFitness(3, candidate), expected);
  }
}

TEST(EllipseSolver, FailurePathsReportAtTheirLinesAndPrintNothing)
{
  double params[6], lx = 0, ly = 0, spread[] = {1, -2, -3, 4};
  double nanPoint[] = {2, 0, -2, 0, 0, 1, std::nan(""), -1}, infPoint[] = {2, 0, -2, 0, 0, 1, HUGE_VAL, -1};
  QAVTasEllipseSolver two(2.0, 2, spread), good(1.0, 4, gSquare), flatLevel(0.0, 4, gSquare),
    negativeLevel(-1.0, 4, gSquare), nanLevel(std::nan(""), 4, gSquare), infLevel(HUGE_VAL, 4, gSquare),
    minusInfLevel(-HUGE_VAL, 4, gSquare), empty(1.0, 0, nullptr), nanPoints(1.0, 4, nanPoint),
    infPoints(1.0, 4, infPoint);
  ASSERT_EQ(two.GetLxAndLyMax(lx, ly), S_OK);
  EXPECT_EQ(lx, 3.0);
  EXPECT_EQ(ly, 4.0);
  QAVCoutCapture out;
  EXPECT_EQ(good.ComputeEllipseParameters(nullptr), E_FAIL);
  ExpectReport(3, "iopParameters", 162);
  for (QAVTasEllipseSolver* s : {&flatLevel, &negativeLevel, &nanLevel, &infLevel, &minusInfLevel})
  {
    EXPECT_EQ(s->ComputeEllipseParameters(params), E_FAIL);
    ExpectReport(1, "", 166);
  }
  for (QAVTasEllipseSolver* s : {&nanPoints, &infPoints}) // non-finite points: before the search
  {
    EXPECT_EQ(s->ComputeEllipseParameters(params), E_FAIL);
    ExpectReport(1, "", 185);
  }

  gLines.clear();
  const QAVSamErrorSink previous = QAVSamSetErrorSink(CollectLine);
  EXPECT_EQ(empty.ComputeEllipseParameters(params), E_FAIL);
  QAVSamSetErrorSink(previous);
  EXPECT_EQ(gLines, (std::vector<std::int32_t>{115, 185}));
  ExpectReport(1, "", 185);
  empty._PointCount = 4;
  EXPECT_EQ(empty.GetLxAndLyMax(lx, ly), E_FAIL);
  ExpectReport(3, "_pCoord", 116);
  empty._PointCount = 0;

  // Points on a line have no extent across it: no finite bound, no search.
  double line[] = {1, 0, 2, 0, -3, 0};
  QAVTasEllipseSolver flat(1.0, 3, line);
  EXPECT_EQ(flat.ComputeEllipseParameters(params), E_FAIL);
  ExpectReport(1, "", 187);
  EXPECT_EQ(out.Text(), "");
}

TEST(EllipseSolver, PrintsTheBoundsThenTheFitnessAndParameters)
{
  QAVTasEllipseSolver solver(1.0, 4, gSquare);
  double params[6];
  QAVCoutCapture out;
  ASSERT_EQ(solver.ComputeEllipseParameters(params), S_OK);
  std::ostringstream expected;
  expected << "pSup[0]2\npSup[1]2\nfitness=" << solver.GetOptimumFitness() << '\n';
  for (int i = 0; i < 6; ++i)
    expected << "iopParameters[" << i << "]=" << params[i] << '\n';
  EXPECT_EQ(out.Text(), expected.str());
}

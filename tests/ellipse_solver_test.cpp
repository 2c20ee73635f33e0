#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVSamInstanciateError.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const char kFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasEllipseSolver";
const double kPi = 3.14159265358979323846;
typedef ErrorDepthHandler R;

std::vector<std::int32_t> gLines;
void CollectLine(std::int32_t, const char*, const char*, std::int32_t iLine) { gLines.push_back(iLine); }

void ExpectReport(std::int32_t kind, const char* text, std::int32_t line)
{
  EXPECT_EQ(R::_ier_, kind);
  EXPECT_EQ(R::_c_err_, text);
  EXPECT_EQ(R::_errfile_, kFile);
  EXPECT_EQ(R::_i_errline_, line);
}

// n points evenly spaced in angle on the ellipse with semi-axes a, b, major axis at angle, centre c.
std::vector<double> Sample(int n, double a, double b, double angle, double cx, double cy)
{
  std::vector<double> p;
  for (int i = 0; i < n; ++i)
  {
    const double t = 2 * kPi * i / n, u = a * std::cos(t), v = b * std::sin(t);
    p.push_back(cx + u * std::cos(angle) - v * std::sin(angle));
    p.push_back(cy + u * std::sin(angle) + v * std::cos(angle));
  }
  return p;
}

struct Fit
{
  double params[6];
  double fitness;
  double major, minor, angle, centreX, centreY;
};

Fit Solve(std::vector<double>& points, double level, unsigned char withoutU)
{
  Fit fit{};
  QAVTasEllipseSolver solver(level, static_cast<std::int32_t>(points.size() / 2), points.data());
  solver.SetWithoutUParameters(withoutU);
  QAVCoutCapture quiet;
  EXPECT_EQ(solver.ComputeEllipseParameters(fit.params), S_OK);
  fit.fitness = solver.GetOptimumFitness();
  QAVTasCovarianceEllipse e(level, fit.params);
  EXPECT_TRUE(e.IsAnEllipse());
  e.GetEllipseCenter(fit.centreX, fit.centreY);
  QAVMathPoint2D f1, f2;
  e.GetEllipseFocals(f1, f2);
  fit.major = std::max(e._SemiAxis1, e._SemiAxis2);
  fit.minor = std::min(e._SemiAxis1, e._SemiAxis2);
  fit.angle = std::atan((f1.GetY() - f2.GetY()) / (f1.GetX() - f2.GetX()));
  return fit;
}
} // namespace

TEST(EllipseSolver, RecoversARotatedEllipseCentredAtTheBarycentre)
{
  std::vector<double> points = Sample(48, 3.0, 1.5, 0.4, 0.2, -0.1);
  const Fit fit = Solve(points, 1.0, 0);
  EXPECT_LT(fit.fitness, 1e-4);
  EXPECT_NEAR(fit.major, 3.0, 0.01);
  EXPECT_NEAR(fit.minor, 1.5, 0.01);
  EXPECT_NEAR(fit.angle, 0.4, 0.01);
  EXPECT_NEAR(fit.centreX, 0.2, 1e-9);
  EXPECT_NEAR(fit.centreY, -0.1, 1e-9);
}

TEST(EllipseSolver, WithoutUFitsAnEllipseCentredAtTheOrigin)
{
  std::vector<double> points = Sample(40, 2.0, 0.8, -0.9, 0.0, 0.0);
  const Fit fit = Solve(points, 2.0, 1);
  EXPECT_EQ(fit.params[0], 0.0);
  EXPECT_EQ(fit.params[1], 0.0);
  EXPECT_EQ(fit.params[3], 0.0);
  EXPECT_LT(fit.fitness, 1e-4);
  EXPECT_NEAR(fit.major, 2.0, 0.01);
  EXPECT_NEAR(fit.minor, 0.8, 0.01);
  EXPECT_NEAR(fit.angle, -0.9, 0.01);
}

TEST(EllipseSolver, PenaltyGrowsForEveryCandidateThatIsNoEllipse)
{
  double points[] = {2, 0, -2, 0, 0, 1, 0, -1};
  QAVTasEllipseSolver solver(1.0, 4, points);
  double zero[] = {0, 0, 0}, flat[] = {1, 4, 2}, saddle[] = {1, 1, 2};
  EXPECT_EQ(solver.EvalFitness(3, zero), 1000000.0);
  EXPECT_EQ(solver.EvalFitness(3, flat), 1000001.0);
  EXPECT_EQ(solver._PenaltyFitness, 1000002.0);
  // a·b < c² passes the test: only absolute ratios count.
  EXPECT_LT(solver.EvalFitness(3, saddle), 1000000.0);
  EXPECT_EQ(solver._PenaltyFitness, 1000002.0);
  EXPECT_EQ(solver.EvalFitness(3, nullptr), 1000003.0);
  ExpectReport(3, "ipX", 71);
  EXPECT_EQ(solver.EvalFitness(3, zero), 1000003.0);
  EXPECT_EQ(solver._PenaltyFitness, 1000004.0);
}

TEST(EllipseSolver, FitnessIsTheFocalSumVarianceOverTheStoredPoints)
{
  std::vector<double> points = Sample(12, 2.0, 1.0, 0.3, 5.0, -1.0);
  QAVTasEllipseSolver solver(1.0, 12, points.data());
  points[0] = 1000.0; // the solver keeps its own copy
  const std::vector<double> kept = Sample(12, 2.0, 1.0, 0.3, 5.0, -1.0);
  const double candidates[2][3] = {{0.3, 0.9, -0.1}, {0.5, 0.5, 0.2}};
  for (const double* x : candidates)
  {
    double candidate[3] = {x[0], x[1], x[2]};
    const QAVTasCovarianceEllipse e(1.0, 0.0, x[0], x[1], x[2], kept.data(), 12, 0);
    double expected = 0;
    ASSERT_EQ(e.GetVarianceOfDistanceFromPoints(kept.data(), 12, expected), S_OK);
    EXPECT_EQ(solver.EvalFitness(3, candidate), expected);
  }
}

TEST(EllipseSolver, ConstructionWithoutUsablePointsKeepsNothing)
{
  double points[] = {1, -2, -3, 4}, lx = 0, ly = 0;
  QAVTasEllipseSolver solver(2.0, 2, points), none(1.0, 0, points), null(1.0, 3, nullptr), negative(1.0, -2, points);
  ASSERT_EQ(solver.GetLxAndLyMax(lx, ly), S_OK);
  EXPECT_EQ(lx, 3.0);
  EXPECT_EQ(ly, 4.0);
  for (const QAVTasEllipseSolver* s : {&none, &null, &negative})
  {
    EXPECT_EQ(s->_PointCount, 0);
    EXPECT_EQ(s->_pCoord, nullptr);
  }
}

TEST(EllipseSolver, FailurePathsReportAtTheirLines)
{
  double params[6];
  double points[] = {2, 0, -2, 0, 0, 1, 0, -1};
  QAVTasEllipseSolver good(1.0, 4, points), flatLevel(0.0, 4, points), negativeLevel(-1.0, 4, points), empty(1.0, 0, nullptr);
  QAVCoutCapture out;
  EXPECT_EQ(good.ComputeEllipseParameters(nullptr), E_FAIL);
  ExpectReport(3, "iopParameters", 162);
  EXPECT_EQ(flatLevel.ComputeEllipseParameters(params), E_FAIL);
  ExpectReport(1, "", 166);
  EXPECT_EQ(negativeLevel.ComputeEllipseParameters(params), E_FAIL);
  ExpectReport(1, "", 166);
  EXPECT_EQ(out.Text(), ""); // nothing printed before these checks

  gLines.clear();
  const QAVSamErrorSink previous = QAVSamSetErrorSink(CollectLine);
  EXPECT_EQ(empty.ComputeEllipseParameters(params), E_FAIL);
  QAVSamSetErrorSink(previous);
  EXPECT_EQ(gLines, (std::vector<std::int32_t>{115, 185}));
  ExpectReport(1, "", 185);
  double lx, ly;
  EXPECT_EQ(empty.GetLxAndLyMax(lx, ly), E_FAIL);
  ExpectReport(3, "_PointCount", 115);
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
  double points[] = {2, 0, -2, 0, 0, 1, 0, -1};
  QAVTasEllipseSolver solver(1.0, 4, points);
  double params[6];
  QAVCoutCapture out;
  ASSERT_EQ(solver.ComputeEllipseParameters(params), S_OK);
  std::ostringstream expected;
  expected << "pSup[0]2\npSup[1]2\nfitness=" << solver.GetOptimumFitness() << '\n';
  for (int i = 0; i < 6; ++i)
    expected << "iopParameters[" << i << "]=" << params[i] << '\n';
  EXPECT_EQ(out.Text(), expected.str());
}

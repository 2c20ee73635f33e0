// The model behind qavtas analyse, in the library: the drawing's keys as the reader sets them, each
// distribution's spread and tails against closed forms, the order statistics of a tiny simulation,
// the same histogram on any number of threads, and the targets' sigma bounds.
#include "QAVTasAllocationFile.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVTasTargetRows.h"
#include "QAVTasYieldEstimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <stdexcept>

using Problem = QAVTasAllocationProblem;
using Analysis = QAVTasStackupAnalysis;

namespace
{
Problem Read(const std::string& iText)
{
  Problem p;
  std::string error;
  EXPECT_TRUE(QAVTasAllocationFile::Read(iText, p, error)) << error;
  return p;
}

Analysis::Result Analyse(const Problem& iProblem, std::int64_t iSamples, std::int32_t iThreads = 2,
                         std::int32_t iBins = 0)
{
  Analysis::Settings s;
  s.Samples = iSamples;
  s.Threads = iThreads;
  s.HistogramBins = iBins;
  s.Seed = 11;
  std::int32_t free = 0;
  const std::vector<double> t = Analysis::FixedTolerances(iProblem, free);
  EXPECT_EQ(-1, free);
  return Analysis(s).Analyse(iProblem, t);
}

// One stack-up y = x over one dimension described by iDimension, with the limits iLimits.
Problem Single(const std::string& iDimension, const std::string& iLimits)
{
  return Read("{\"dimensions\": [{\"name\": \"x\", " + iDimension + "}], \"stackups\": [{\"name\": \"y\", " + iLimits +
              ", \"sensitivities\": {\"x\": 1}}]}");
}
} // namespace

TEST(StackupModel, TheReaderSetsTheDrawingsFigures)
{
  const Problem p = Read(R"({"dimensions": [
    {"name": "a", "nominal": 12.5, "plus": 0.3, "minus": 0.1, "cp": 1.5},
    {"name": "b", "nominal": 4, "tolerance": 0.05, "sigma": 0.01, "process_mean": 4.02},
    {"name": "c", "nominal": 2, "min": 0.01, "max": 0.1, "cost": {"model": "reciprocal", "b": 1}, "mean_shift": 0.2,
     "distribution": "triangular"}],
    "stackups": [{"name": "g", "law": "rss", "lsl": 8, "usl": 9, "constant": -0.5, "cpk": 1.33,
                  "sensitivities": {"a": 1, "b": -1}},
                 {"name": "h", "usl": 30, "sensitivities": {"c": 1}}], "yield": 0.99})");
  const Problem::Dimension &a = p.Dimensions[0], &b = p.Dimensions[1], &c = p.Dimensions[2];
  EXPECT_TRUE(a.Fixed);
  EXPECT_DOUBLE_EQ(0.2, a.Tolerance);
  EXPECT_DOUBLE_EQ(12.6, a.Centre());
  EXPECT_DOUBLE_EQ(0.2 / 4.5, a.SigmaAt(a.Tolerance));
  EXPECT_DOUBLE_EQ(0.01, b.SigmaAt(b.Tolerance));
  EXPECT_DOUBLE_EQ(4.02, b.MeanAt(b.Tolerance));
  EXPECT_DOUBLE_EQ(2.0 + 0.2 * 0.05, c.MeanAt(0.05));
  EXPECT_DOUBLE_EQ(0.05 / std::sqrt(6.0), c.SigmaAt(0.05));
  // The rss law without a limit takes the room the window leaves about the value at the centres:
  // -0.5 + 12.6 - 4 = 8.1, so min(9 - 8.1, 8.1 - 8) = 0.1.
  const Problem::Stackup &g = p.Stackups[0], &h = p.Stackups[1];
  EXPECT_TRUE(g.LimitFromWindow);
  EXPECT_NEAR(0.1, g.Limit, 1e-12);
  EXPECT_EQ(1.33, g.Cpk);
  EXPECT_FALSE(h.HasLaw);
  EXPECT_TRUE(h.HasUsl && !h.HasLsl);
  EXPECT_EQ(0.99, p.Yield);
  EXPECT_EQ("", p.Defects());
}

// Uniform and triangular tails are simulated, within the Wilson interval of the exact figure.
TEST(StackupModel, UniformAndTriangularSpreadsAgainstClosedForms)
{
  // Triangular on [-1, 1]: P(x > 0.5) = (1 - 0.5)^2 / 2 = 0.125, sigma = 1/sqrt 6.
  const Analysis::Result tri =
    Analyse(Single("\"tolerance\": 1, \"distribution\": \"triangular\"", "\"usl\": 0.5"), 200000);
  const Analysis::Stackup& t = tri.Stackups[0];
  EXPECT_DOUBLE_EQ(1.0 / std::sqrt(6.0), t.Sigma);
  EXPECT_FALSE(t.PpmExact);
  EXPECT_LE(t.Mc.Yield.Lower, 0.875);
  EXPECT_GE(t.Mc.Yield.Upper, 0.875);
  EXPECT_NEAR(1.0 / std::sqrt(6.0), t.Mc.Sigma, 0.003);
  // Its 99.865 % point: 1 - sqrt(2 x 0.00135).
  EXPECT_NEAR(1.0 - std::sqrt(0.0027), t.Mc.P99865, 0.004);
  // Uniform about a process mean off the centre: on [0.2 - 1, 0.2 + 1], P(x > 1) = 0.1.
  const Analysis::Result uni =
    Analyse(Single("\"tolerance\": 1, \"distribution\": \"uniform\", \"process_mean\": 0.2", "\"usl\": 1"), 200000);
  const Analysis::Stackup& u = uni.Stackups[0];
  EXPECT_DOUBLE_EQ(0.2, u.Mean);
  EXPECT_DOUBLE_EQ(0.0, u.Centre);
  EXPECT_DOUBLE_EQ(1.0, u.WorstMax);
  EXPECT_LE(u.Mc.Yield.Lower, 0.9);
  EXPECT_GE(u.Mc.Yield.Upper, 0.9);
  EXPECT_NEAR(1e5, u.PpmAbove, 2500.0);
}

// Two samples: the 0.135 % and 99.865 % points interpolate between the smallest and the largest.
TEST(StackupModel, TailPointsOfATinySimulationInterpolateItsOrderStatistics)
{
  const Problem p = Single("\"tolerance\": 1", "\"usl\": 10");
  const Analysis::Simulation two = Analyse(p, 2).Stackups[0].Mc;
  EXPECT_LT(two.Min, two.Max);
  EXPECT_DOUBLE_EQ(two.Min + 0.00135 * (two.Max - two.Min), two.P00135);
  EXPECT_DOUBLE_EQ(two.Min + 0.99865 * (two.Max - two.Min), two.P99865);
  const Analysis::Simulation one = Analyse(p, 1).Stackups[0].Mc;
  EXPECT_EQ(one.Min, one.P00135);
  EXPECT_EQ(one.Max, one.P99865);
  EXPECT_EQ(0.0, one.Sigma);
}

// Histogram, tails and joint yield of two stack-ups that share a dimension, on 1 and 3 threads.
TEST(StackupModel, SameFiguresAndHistogramOnAnyNumberOfThreads)
{
  const Problem p = Read(R"({"dimensions": [{"name": "a", "tolerance": 0.1}, {"name": "b", "tolerance": 0.2,
    "distribution": "uniform"}, {"name": "c", "nominal": 3, "plus": 0.1, "minus": 0.3, "cp": 1.2}],
    "stackups": [{"name": "y", "lsl": -0.2, "usl": 0.25, "sensitivities": {"a": 1, "b": 1}},
                 {"name": "z", "lsl": 2.6, "usl": 3.25, "sensitivities": {"a": -1, "c": 1}}]})");
  const Analysis::Result one = Analyse(p, 50000, 1, 40), three = Analyse(p, 50000, 3, 40);
  for (std::size_t j = 0; j < 2; ++j)
  {
    const Analysis::Simulation &a = one.Stackups[j].Mc, &b = three.Stackups[j].Mc;
    EXPECT_EQ(a.Histogram, b.Histogram);
    EXPECT_EQ(50000, std::accumulate(a.Histogram.begin(), a.Histogram.end(), std::int64_t{0}));
    EXPECT_EQ(a.Mean, b.Mean);
    EXPECT_EQ(a.Sigma, b.Sigma);
    EXPECT_EQ(a.P00135, b.P00135);
    EXPECT_EQ(a.P99865, b.P99865);
    EXPECT_LE(a.HistogramLow, a.Min);
    EXPECT_GE(a.HistogramHigh, a.Max);
  }
  EXPECT_EQ(one.Joint.Estimate, three.Joint.Estimate);
  EXPECT_LE(one.Joint.Estimate, std::min(one.Stackups[0].Mc.Yield.Estimate, one.Stackups[1].Mc.Yield.Estimate));
}

TEST(StackupModel, RefusesToleranceListsThatDoNotFit)
{
  const Problem p = Single("\"tolerance\": 1", "\"usl\": 1");
  EXPECT_THROW(Analysis().Analyse(p, {}), std::invalid_argument);
  EXPECT_THROW(Analysis().Analyse(p, {0.0}), std::invalid_argument);
  Analysis::Settings s;
  s.Samples = -1;
  EXPECT_THROW(Analysis(s).Analyse(p, {1.0}), std::invalid_argument);
}

// The sigma bound of a yield target: symmetric, the closed form h / Phi^-1(1 - f/2); one-sided
// with f >= 1/2, no bound; asymmetric, exactly the failure asked for.
TEST(StackupModel, LargestSigmaOfAFailure)
{
  Problem::Stackup s;
  s.HasLsl = s.HasUsl = true;
  s.Lsl = 1.0;
  s.Usl = 1.6;
  EXPECT_NEAR(0.3 / QAVTasYieldEstimator::NormalQuantile(1.0 - 0.001 / 2),
              QAVTasTargetRows::LargestSigma(s, 1.3, 0.001), 1e-13);
  const double sigma = QAVTasTargetRows::LargestSigma(s, 1.45, 1e-4);
  const double outside =
    0.5 * std::erfc((1.45 - 1.0) / (sigma * M_SQRT2)) + 0.5 * std::erfc((1.6 - 1.45) / (sigma * M_SQRT2));
  EXPECT_NEAR(1e-4, outside, 1e-15);
  EXPECT_LE(outside, 1e-4);
  EXPECT_EQ(0.0, QAVTasTargetRows::LargestSigma(s, 1.7, 0.01));
  s.HasLsl = false;
  EXPECT_EQ(HUGE_VAL, QAVTasTargetRows::LargestSigma(s, 1.3, 0.5));
}

// Rows of the solver: laws kept in order, targets after them, a stack-up with neither left out.
TEST(StackupModel, TargetsBecomeRowsAfterTheLaws)
{
  const Problem p =
    Read(R"({"dimensions": [{"name": "a", "nominal": 0.5, "min": 0.01, "max": 1, "cost": {"model": "reciprocal",
    "b": 1}, "cp": 2}, {"name": "b", "tolerance": 0.1, "distribution": "uniform"}],
    "stackups": [{"name": "g", "law": "worst-case", "lsl": 0, "usl": 1, "cpk": 1, "sensitivities": {"a": 1}},
                 {"name": "h", "usl": 2, "sensitivities": {"a": 1, "b": 1}},
                 {"name": "k", "lsl": -5, "sensitivities": {"b": 1}}], "yield": 0.9})");
  const Problem rows = QAVTasTargetRows::SolverProblem(p);
  std::vector<std::string> names;
  for (const Problem::Stackup& s : rows.Stackups)
    names.push_back(s.Name);
  EXPECT_EQ((std::vector<std::string>{"g", "g (cpk)", "g (yield)", "h", "k"}), names);
  const Problem::Stackup& h = rows.Stackups[3];
  EXPECT_EQ(Problem::Law::Rss, h.Rule);
  EXPECT_DOUBLE_EQ(0.5, h.Sensitivity[0].second);
  EXPECT_DOUBLE_EQ(std::sqrt(3.0), h.Sensitivity[1].second);
  EXPECT_DOUBLE_EQ(0.5, rows.Stackups[0].Limit); // the room about the centre, 0.5
  EXPECT_DOUBLE_EQ(0.5, rows.Stackups[1].Limit); // 3 sigma <= min(1 - 0.5, 0.5 - 0) / cpk
  EXPECT_EQ("", rows.Defects());
  const Problem plain = Read(R"({"dimensions": [{"name": "a", "tolerance": 0.1}],
    "stackups": [{"name": "g", "law": "rss", "limit": 1, "sensitivities": {"a": 1}},
                 {"name": "n", "usl": 1, "sensitivities": {"a": 1}}]})");
  EXPECT_EQ(1u, QAVTasTargetRows::SolverProblem(plain).Stackups.size());
}

// The yield estimator draws the drawing's spreads too: a triangular deviation stays within half its
// tolerance 75 % of the time (a uniform one 50 %); a process mean shifts it.
TEST(StackupModel, TheYieldEstimatorDrawsTriangularSpreadsAndProcessMeans)
{
  Problem p = Single("\"tolerance\": 0.2, \"distribution\": \"triangular\"", "\"law\": \"rss\", \"limit\": 0.1");
  QAVTasYieldEstimator::Options o;
  o.Samples = 100000;
  const QAVTasYieldEstimator::Estimate tri = QAVTasYieldEstimator(o).Simulate(p, {0.2}).Stackups[0];
  EXPECT_LE(tri.Lower, 0.75);
  EXPECT_GE(tri.Upper, 0.75);
  p.Dimensions[0].HasProcessMean = true;
  p.Dimensions[0].ProcessMean = 0.1; // on [-0.1, 0.3]: P(|x| <= 0.1) = 1/2
  const QAVTasYieldEstimator::Estimate shifted = QAVTasYieldEstimator(o).Simulate(p, {0.2}).Stackups[0];
  EXPECT_LE(shifted.Lower, 0.5);
  EXPECT_GE(shifted.Upper, 0.5);
}

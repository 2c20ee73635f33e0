#include "QAVTasYieldEstimator.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

using Problem = QAVTasAllocationProblem;
using Yield = QAVTasYieldEstimator;

namespace
{
// One stack-up |sum_i s_i dev_i| <= T over dimensions of one spread; a linear row beside it.
Problem Chain(const std::vector<double>& iS, Problem::Distribution iSpread, double iLimit, double iShift)
{
  Problem p;
  Problem::Stackup s, row;
  s.Rule = Problem::Law::Rss;
  s.Limit = iLimit;
  row.Rule = Problem::Law::Linear;
  for (std::size_t i = 0; i < iS.size(); ++i)
  {
    Problem::Dimension d;
    d.Fixed = true, d.Tolerance = 1.0; // the tolerances simulated are the test's
    d.Spread = iSpread;
    d.MeanShift = iShift;
    p.Dimensions.push_back(d);
    s.Sensitivity.push_back({static_cast<std::int32_t>(i), iS[i]});
    row.Sensitivity.push_back({static_cast<std::int32_t>(i), 1.0});
  }
  p.Stackups = {s, row};
  return p;
}

// P(|U_1 + ... + U_n - n/2| <= h) for independent uniforms on [0, 1] (Irwin-Hall).
double IrwinHall(int iN, double iHalfWidth)
{
  const auto cdf = [&](double x)
  {
    double sum = 0.0, binomial = 1.0, factorial = 1.0;
    for (int k = 1; k <= iN; ++k)
      factorial *= k;
    for (int k = 0; k <= iN && k <= x; ++k)
    {
      sum += (k % 2 ? -1.0 : 1.0) * binomial * std::pow(x - k, iN);
      binomial = binomial * (iN - k) / (k + 1);
    }
    return sum / factorial;
  };
  return cdf(iN / 2.0 + iHalfWidth) - cdf(iN / 2.0 - iHalfWidth);
}

Yield::Report Simulate(const Problem& iProblem, const std::vector<double>& iT, bool iQmc, std::uint64_t iSeed,
                       std::int64_t iSamples = 200000, std::int32_t iThreads = 2)
{
  Yield::Options o;
  o.Samples = iSamples;
  o.Seed = iSeed;
  o.Qmc = iQmc;
  o.Threads = iThreads;
  return Yield(o).Simulate(iProblem, iT);
}
} // namespace

// Normal inputs against the error function, uniform ones against Irwin-Hall, both methods; the
// linear row has no yield.
TEST(YieldEstimator, MatchesClosedForms)
{
  struct Case
  {
    std::vector<double> S;
    Problem::Distribution Spread;
    double T, Limit, Shift, Exact;
  };
  const auto normal = [](double iLimit, double iMu, double iSigma)
  { return 0.5 * (std::erf((iLimit - iMu) / (iSigma * M_SQRT2)) - std::erf((-iLimit - iMu) / (iSigma * M_SQRT2))); };
  const Case cases[] = {
    {{1.0}, Problem::Distribution::Normal, 0.1, 0.1, 0.0, normal(0.1, 0.0, 0.1 / 3.0)},
    {{1.0, -2.0, 0.5},
     Problem::Distribution::Normal,
     0.03,
     0.06,
     0.25,
     normal(0.06, 0.25 * 0.03 * -0.5, 0.01 * std::sqrt(1.0 + 4.0 + 0.25))},
    {std::vector<double>(40, 1.0), Problem::Distribution::Normal, 0.01, 0.035, 0.0,
     normal(0.035, 0.0, 0.01 / 3.0 * std::sqrt(40.0))},
    {{1.0, 1.0, 1.0, 1.0}, Problem::Distribution::Uniform, 0.5, 1.0, 0.0, IrwinHall(4, 1.0)},
    {{1.0, -1.0, 1.0}, Problem::Distribution::Uniform, 0.5, 0.4, 0.0, IrwinHall(3, 0.4)},
  };
  for (const Case& c : cases)
    for (const bool qmc : {false, true})
    {
      const Problem p = Chain(c.S, c.Spread, c.Limit, c.Shift);
      const auto r = Simulate(p, std::vector<double>(c.S.size(), c.T), qmc, 11);
      const auto& e = r.Stackups[0];
      SCOPED_TRACE(testing::Message() << "exact " << c.Exact << (qmc ? " qmc" : " mc"));
      EXPECT_TRUE(e.Defined);
      // Three half-widths: one 95 % interval in twenty misses (coverage is checked below).
      EXPECT_NEAR(e.Yield, c.Exact, 1.5 * (e.Upper - e.Lower));
      EXPECT_NEAR(e.PpmOut, 1e6 * (1.0 - e.Yield), 1e-6);
      EXPECT_EQ(e.HasExact, c.Spread == Problem::Distribution::Normal);
      EXPECT_NEAR(e.HasExact ? e.Exact : c.Exact, c.Exact, 1e-14);
      EXPECT_FALSE(r.Stackups[1].Defined);
      EXPECT_EQ(r.Joint.Yield, e.Yield);
    }
}

// Over repeated seeds the 95 % intervals hold the exact value about 95 % of the time.
TEST(YieldEstimator, IntervalCoverage)
{
  const Problem p = Chain({1.0, 1.0}, Problem::Distribution::Normal, 0.1, 0.0);
  const double exact = std::erf(0.1 / (0.1 / 3.0 * std::sqrt(2.0) * M_SQRT2));
  for (const bool qmc : {false, true})
  {
    int covered = 0;
    for (std::uint64_t seed = 1; seed <= 200; ++seed)
    {
      const auto e = Simulate(p, {0.1, 0.1}, qmc, seed, 4000, 1).Stackups[0];
      covered += e.Lower <= exact && exact <= e.Upper;
    }
    EXPECT_GE(covered, 180) << (qmc ? "qmc" : "mc");
    EXPECT_LE(covered, 199) << (qmc ? "qmc" : "mc");
  }
}

// A worst-case allocation with uniform inputs cannot fail; figures repeat whatever the threads.
TEST(YieldEstimator, WorstCaseUniformAndThreads)
{
  Problem p = Chain({1.0, -2.0, 0.5}, Problem::Distribution::Uniform, 0.0, 0.0);
  p.Stackups[0].Rule = Problem::Law::WorstCase;
  p.Stackups[0].Limit = 0.02 * 1.0 + 0.01 * 2.0 + 0.04 * 0.5;
  for (const bool qmc : {false, true})
  {
    const auto one = Simulate(p, {0.02, 0.01, 0.04}, qmc, 5, 100000, 1);
    const auto three = Simulate(p, {0.02, 0.01, 0.04}, qmc, 5, 100000, 3);
    EXPECT_EQ(one.Joint.Yield, 1.0);
    EXPECT_EQ(one.Stackups[0].PpmOut, 0.0);
    p.Stackups[0].Limit *= 0.7;
    const auto a = Simulate(p, {0.02, 0.01, 0.04}, qmc, 5, 100000, 1);
    const auto b = Simulate(p, {0.02, 0.01, 0.04}, qmc, 5, 100000, 3);
    EXPECT_LT(a.Joint.Yield, 1.0);
    EXPECT_EQ(a.Joint.Yield, b.Joint.Yield);
    EXPECT_EQ(a.Joint.Lower, b.Joint.Lower);
    EXPECT_EQ(one.Joint.Upper, three.Joint.Upper);
    p.Stackups[0].Limit /= 0.7;
  }
}

// A stack-up given by its function deviates by f(x) - f(x0): a^2 about a = 10 (sigma 0.2, a shift
// of 0.1) meets |a^2 - 100| <= 6 for a in [sqrt(94), sqrt(106)], a normal probability; beside
// it, the same sum written as a function and as sensitivities has the same yield. Both methods,
// one and three threads alike.
TEST(YieldEstimator, FunctionsAreSimulatedOnTheFunction)
{
  Problem p = Chain({2.0, -1.0}, Problem::Distribution::Normal, 0.5, 0.0);
  p.Dimensions[0].Name = "a", p.Dimensions[1].Name = "b";
  p.Dimensions[0].Nominal = 10.0, p.Dimensions[1].Nominal = 4.0;
  p.Dimensions[0].MeanShift = 1.0 / 6.0;
  Problem::Stackup square = p.Stackups[0], sum = p.Stackups[0];
  square.Rule = Problem::Law::WorstCase, square.Limit = 6.0, square.Sensitivity = {{0, 20.0}};
  square.Function = "a^2";
  sum.Function = "2 * a - b + 0.5";
  p.Stackups.push_back(square);
  p.Stackups.push_back(sum);
  const double mean = 10.1, sigma = 0.2;
  const auto phi = [](double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); };
  const double exact = phi((std::sqrt(106.0) - mean) / sigma) - phi((std::sqrt(94.0) - mean) / sigma);
  for (const bool qmc : {false, true})
  {
    const auto one = Simulate(p, {0.6, 0.2}, qmc, 3, 400000, 1);
    const auto three = Simulate(p, {0.6, 0.2}, qmc, 3, 400000, 3);
    EXPECT_EQ(one.Joint.Yield, three.Joint.Yield);
    const Yield::Estimate& e = one.Stackups[2];
    EXPECT_FALSE(e.HasExact);
    EXPECT_LE(e.Lower, exact) << qmc;
    EXPECT_GE(e.Upper, exact) << qmc;
    EXPECT_NEAR(one.Stackups[0].Yield, one.Stackups[3].Yield, 1e-5) << qmc;
  }
}

// Scrambled Sobol points are stratified in every coordinate: of 2048 points (two blocks) per
// scrambling exactly half put a uniform dimension within half its tolerance, so every scrambling
// gives 1/2 and the interval has no width.
TEST(YieldEstimator, QmcPointsStratifyEveryCoordinate)
{
  const std::size_t dimensions = 40;
  Problem p;
  for (std::size_t i = 0; i < dimensions; ++i)
  {
    Problem::Dimension d;
    d.Fixed = true, d.Tolerance = 1.0, d.Spread = Problem::Distribution::Uniform;
    p.Dimensions.push_back(d);
    Problem::Stackup s;
    s.Rule = Problem::Law::WorstCase, s.Limit = 0.5, s.Sensitivity = {{static_cast<std::int32_t>(i), 1.0}};
    p.Stackups.push_back(s);
  }
  Yield::Options o;
  o.Qmc = true, o.Scramblings = 16, o.Samples = 16 * 2048, o.Threads = 1;
  const Yield::Report r = Yield(o).Simulate(p, std::vector<double>(dimensions, 1.0));
  for (std::size_t j = 0; j < dimensions; ++j)
  {
    EXPECT_EQ(0.5, r.Stackups[j].Yield) << "coordinate " << j;
    EXPECT_EQ(r.Stackups[j].Lower, r.Stackups[j].Upper) << "coordinate " << j;
  }
}

// qavtas allocate picks the processes and simulates them: the keys other tools read, both methods;
// a node limit leaves the search not solved.
TEST(QavtasAllocateYield, ProcessesAndYieldInJson)
{
  using Json = nlohmann::json;
  const std::string file = std::string(QAV_SOURCE_DIR) + "/examples/allocation_process.json";
  const Json expected = Json::parse(QAVToolSlurp(file))["x-expected"];
  for (const std::string method : {"mc", "qmc"})
  {
    const auto run =
      QAVToolRun("allocate " + file + " --json --yield 20000 --seed 3" + (method == "qmc" ? " --qmc" : ""));
    ASSERT_EQ(0, run.status) << run.err;
    const Json answer = Json::parse(run.out), yield = answer["yield"], clearance = yield["stackups"]["clearance"];
    EXPECT_EQ(expected["processes"], answer["processes"]);
    EXPECT_EQ(method, answer["method"]);
    EXPECT_EQ(method, yield["method"]);
    EXPECT_EQ(20000, yield["samples"]);
    EXPECT_EQ(1.0, yield["stackups"]["alignment"]["yield"]);
    EXPECT_EQ(clearance["yield"], yield["joint"]);
    const double exact = clearance["exact"], lower = clearance["ci95"][0], upper = clearance["ci95"][1];
    EXPECT_NEAR(clearance["yield"].get<double>(), exact, 1.5 * (upper - lower));
  }
  const std::string many = std::string(QAV_SOURCE_DIR) + "/tests/data/allocation/process_many.json";
  EXPECT_EQ(3, QAVToolRun("allocate " + many + " --max-nodes 1 --json").status);
}

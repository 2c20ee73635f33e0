// The real-coded engine: what its golden traces (de_trace_test) leave out. Drivers and stop rules,
// refusals, defaults, reports on the platform stream, failure lines, hostile limits.
#include "QAVAllocationCap.h"
#include "QAVDRQOutput.h"
#include "QAVEngineProbe.h"
#include "QAVGolden.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <sstream>
#include <tuple>
#include <vector>

namespace
{
using Genes = std::vector<double>;
using RealProbe = QAVEngineProbe<QAVTasGAOptimizer, double>;

// Six individuals, F 0 and rand/1: every trial copies a population member, so each generation
// evaluates exactly six trials. The first trial of generation g scores script[g - 1] (when
// given); every other trial scores 1e9 and loses.
struct Scripted
{
  RealProbe o;
  Genes min{-1.0, -1.0}, max{1.0, 1.0};
  std::string out, drq;
  std::size_t evaluations = 0;

  Scripted(double initial, std::vector<double> script, std::int32_t idem, double reference = 0.0)
  {
    o.Setup(6, min, max);
    o.SetCrossValue(0.0);
    o.SetIdemFitnessCount(idem);
    o.SetFitnessReference(reference);
    o.SetMaxNumber(5);
    int calls = 0;
    o.fitness = [=](std::int32_t, const double*) mutable
    {
      const int call = calls++;
      if (call < 6)
        return initial;
      const std::size_t g = (call - 6) / 6;
      return (call - 6) % 6 == 0 && g < script.size() ? script[g] : 1e9;
    };
  }
  // Standard output and the platform stream apart, to check which line goes where.
  void Run(bool maximize = false)
  {
    std::ostringstream platform;
    QAVDRQOutput::GetOut().SetBuffer(platform.rdbuf());
    QAVCoutCapture stdOut;
    maximize ? o.Maximize() : o.Minimize();
    QAVDRQOutput::GetOut().SetBuffer(nullptr);
    evaluations = o.evaluated.size();
    out = stdOut.Text();
    drq = platform.str();
  }
  std::string Closing() const { return drq.substr(drq.find("_MaxNumberOfGenerations")); }
};
} // namespace

TEST(RealGADriver, MinimizeCountsOnlySignificantChange)
{
  // 100 -> 99.95 is within 0.1 %: no progress, and the run with idem 1 stops there. 99.90 is
  // 0.1 % from 100 (the last significant value, not 99.95): with idem 2 the count restarts.
  Scripted a(100.0, {99.95, 99.90}, 1), b(100.0, {99.95, 99.90}, 2), c(5.0, {0.0}, 1, -1.0), d(5.0, {}, 1, 10.0);
  a.Run();
  b.Run();
  c.Run();                         // an optimum of exactly 0 always counts as a change
  d.Run();                         // reference reached at once: no generation, and the block still closes the run
  Scripted e(1001.0, {1000.0}, 1); // exactly 0.1 % of the new optimum is still no progress
  e.Run();
  QAVExpectGolden("realga_closing", a.Closing() + b.Closing() + c.Closing() + d.Closing() + e.Closing() + c.out);
  EXPECT_EQ(std::make_tuple(b.evaluations, d.evaluations), std::make_tuple(6u + 4 * 6, 6u));
  EXPECT_EQ(c.drq.find("DEBUG"), std::string::npos);
}

TEST(RealGADriver, MaximizeNeedsExactEqualityAndStaysQuiet)
{
  // 100 -> 100.05 is a change for Maximize; the following still generation ends the run.
  Scripted a(100.0, {100.05}, 1, 1e9);
  a.o.fitness = [calls = 0](std::int32_t, const double*) mutable
  {
    const int call = calls++;
    return call < 6 ? 100.0 : (call == 6 ? 100.05 : -1.0);
  };
  a.Run(true);
  EXPECT_EQ(a.evaluations, 6u + 2 * 6);
  EXPECT_EQ(a.o.GetOptimumFitness(), 100.05);
  EXPECT_EQ(a.out.find("Minimize"), std::string::npos);
  EXPECT_EQ(a.drq.find("nbgen"), std::string::npos);
}

TEST(RealGADriver, RefusesRunsThatCannotFinish)
{
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const struct
  {
    std::int32_t np;
    Genes min, max;
  } cases[] = {{1, {0.0}, {1.0}}, {5, {0.0}, {1.0}}, {6, {}, {}}, {6, {0.0, nan}, {1.0, 1.0}}, {6, {-inf}, {1.0}}};
  std::string text;
  for (auto c : cases)
  {
    QAVCoutCapture out;
    RealProbe o;
    if (c.min.empty())
      o.SetNumParams(1);
    else
      o.Setup(c.np, c.min, c.max);
    o.Minimize();
    o.Maximize();
    text += out.Text();
    EXPECT_TRUE(o.evaluated.empty());
    EXPECT_EQ(o._OldPopulation, nullptr);
  }
  QAVExpectGolden("realga_refusals", text);
}

TEST(RealGAOptimizer, DefaultsFallbacksPopulationsAndCounter)
{
  QAVCoutCapture out;
  RealProbe o;
  EXPECT_EQ(std::make_tuple(o._PopulationSize, o._Process, o._IdemFitnessCount), std::make_tuple(30, 2, 10));
  for (std::int32_t n : {0, -1, 501})
  {
    o.SetNumParams(n);
    EXPECT_EQ(o._NumParams, 500);
  }
  o.SetPopulationSize(3); // kept: the driver refuses it
  EXPECT_EQ(o._PopulationSize, 3);
  o.SetPopulationSize(0);
  o.SetIdemFitnessCount(0);
  EXPECT_EQ(std::make_tuple(o._PopulationSize, o._IdemFitnessCount), std::make_tuple(30, 10));

  Genes min{2.0, 0.0}, max{2.0, 1.0};
  QAVTasMathGAPopulation three(3, 2, min.data(), max.data());
  QAVTasMathGAPopulation copy(&three);
  EXPECT_EQ(three._Individuals[2]._Code[0], 2.0);
  EXPECT_EQ(copy._Individuals[2]._Code[1], three._Individuals[2]._Code[1]);
  // An empty population draws nothing from the generator.
  srand48(8);
  QAVTasMathGAPopulation none(0, 2, min.data(), max.data());
  const double next = drand48();
  srand48(8);
  EXPECT_EQ(drand48(), next);

  o.Setup(30, min, max);
  const std::int32_t before = nbeval;
  o.Initialize();
  EXPECT_EQ(nbeval - before, 30);
}

TEST(RealGAStep, NaNGenesAreNeverEvaluated)
{
  Genes min{-1.0, -1.0}, max{1.0, 1.0};
  RealProbe o;
  o.Setup(7, min, max);
  o.SetProcess(2);
  QAVCoutCapture quiet;
  o.Initialize();
  o._OldPopulation->_Individuals[3]._Code[1] = std::nan("");
  o.evaluated.clear();
  for (int g = 0; g < 3; ++g)
  {
    o.GenerateMin();
    o.ShiftPopulation();
  }
  EXPECT_FALSE(o.evaluated.empty());
  for (const Genes& trial : o.evaluated)
    EXPECT_FALSE(std::isnan(trial[0]) || std::isnan(trial[1]));
}

TEST(RealGAReports, FailureLinesAndPrint)
{
  QAVCoutCapture out;
  RealProbe never;
  never.Report(1);
  Genes min{-1.0, -1.0}, max{1.0, 1.0};
  RealProbe o;
  o.Setup(6, min, max);
  o.SetCrossValue(0.0); // every trial admissible: six evaluations a generation
  o.Initialize();
  for (auto* pop : {o._OldPopulation, o._NewPopulation})
  {
    QAVTasMathGAIndividual* saved = pop->_Individuals;
    pop->_Individuals = nullptr;
    o.Report(1);
    pop->_Individuals = saved;
  }
  QAVTasMathGAIndividual ind{};
  ind._Code[0] = 0.125;
  ind._Fitness = 2.5;
  o.Print(ind, "Best");
  const std::string reports = out.Text();
  QAVExpectGolden("realga_failures", reports + o.FailureLines());
}

TEST(RealGAHostile, ArraysThatCannotBeAllocatedEndTheRunWithItsFailureLine)
{
  Genes min{0.0, 0.0}, max{1.0, 1.0};
  RealProbe o, fresh;
  o.Setup(10, min, max);
  fresh.Setup(10, min, max);
  QAVCoutCapture out;
  o.SetPopulationSize(std::numeric_limits<std::int32_t>::max());
  o.Minimize();
  EXPECT_NE(out.Text().find("failed -- lg 203"), std::string::npos);
  EXPECT_TRUE(o.evaluated.empty());
  // Configured again, the object runs exactly like a fresh one.
  o.SetPopulationSize(10);
  o.Minimize();
  fresh.Minimize();
  EXPECT_EQ(o.evaluated, fresh.evaluated);
}

TEST(RealGAAllocation, GenerationsAllocateNothing)
{
  struct : QAVTasGAOptimizer // the probe's record would allocate
  {
    double EvalFitness(std::int32_t n, double* x) override { return std::accumulate(x, x + n, 0.0); }
  } o;
  Genes min(50, -10.0), max(50, 10.0);
  o.SetNumParams(50);
  o.SetPopulationSize(30);
  o.SetParamValLimits(min.data(), max.data());
  QAVCoutCapture quiet;
  for (std::int32_t process = 1; process <= 10; ++process)
  {
    o.SetProcess(process);
    const long beforeInit = QAVAllocations;
    o.Initialize();
    ASSERT_GE(QAVAllocations - beforeInit, 2); // the counter sees the library's two populations
    const long before = QAVAllocations;
    for (int g = 0; g < 10; ++g)
    {
      o.GenerateMin();
      o.ShiftPopulation();
      o.GenerateMax();
      o.ShiftPopulation();
    }
    EXPECT_EQ(QAVAllocations - before, 0) << "process " << process;
  }
}

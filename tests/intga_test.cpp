// The integer engine: what its golden traces (de_trace_test) leave out. Hand-checked genes for
// every scheme and crossover, ties, limits and saturation, drivers, refusals, hostile sizes.
#include "QAVAllocationCap.h"
#include "QAVEngineProbe.h"
#include "QAVGolden.h"
#include "QAVMathIntGAOptimizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <vector>

namespace
{
using Genes = std::vector<std::int32_t>;

double Bowl(std::int32_t n, const std::int32_t* x)
{
  double s = 0.25 * x[0];
  for (std::int32_t i = 0; i < n; ++i)
    s += (i + 1) * (x[i] - 2.0 + i) * (x[i] - 2.0 + i);
  return s;
}

struct IntProbe : QAVEngineProbe<QAVMathIntGAOptimizer, std::int32_t>
{
  IntProbe() { fitness = Bowl; }
  void SetGenes(std::int32_t i, const Genes& g)
  {
    std::copy(g.begin(), g.end(), _OldPopulation->_Individuals[i]._Code);
  }
};

int Index(int n)
{
  return static_cast<int>(std::floor(drand48() * n));
}

// Five distinct partners of the target, none the target itself, as the step draws them.
std::vector<int> Partners(int np, int target)
{
  std::vector<int> r;
  while (r.size() < 5)
  {
    const int c = Index(np);
    if (c != target && std::find(r.begin(), r.end(), c) == r.end())
      r.push_back(c);
  }
  return r;
}

// With 7 individuals, lays out the old population so that target 0 meets known genes: its partners
// r1..r5 get x[0..4] and the one individual left out becomes the leader with genes b. The
// generator is left seeded for the next generation; returns the start gene it will draw.
int ArrangeFirstTarget(IntProbe& o, long seed, const Genes& t, const Genes& b, const std::vector<Genes>& x)
{
  srand48(seed);
  const std::vector<int> r = Partners(7, 0);
  const int start = Index(o._NumParams);
  int leader = 1;
  while (std::find(r.begin(), r.end(), leader) != r.end())
    ++leader;
  o.SetGenes(0, t);
  o.SetGenes(leader, b);
  for (int k = 0; k < 5; ++k)
    o.SetGenes(r[k], x[k]);
  o._OldPopulation->_MinIndex = o._OldPopulation->_MaxIndex = leader;
  o.evaluated.clear();
  srand48(seed);
  return start;
}

struct IntProbeTest : ::testing::Test
{
  Genes min{-100, -100, -100, -100}, max{100, 100, 100, 100};
  IntProbe o;
  void Prepare(std::int32_t d, std::int32_t process, double f, double cr)
  {
    min.resize(d);
    max.resize(d);
    o.Setup(7, min, max);
    o.SetProcess(process);
    o.SetCrossValue(f);
    o.SetMutatValue(cr);
    o.Initialize();
  }
};
} // namespace

// ------------------------------------------------------------------------------------------
// Individuals, populations, setters

TEST(IntGAPopulation, SizeLimitsCopiesAndAssignment)
{
  Genes min{4, 0, 0}, max{4, 1, 10};
  QAVMathIntGAPopulation pop(3, 3, min.data(), max.data());
  ASSERT_EQ(pop._Size, 6);
  pop._Individuals[5]._Fitness = 2.0;
  QAVMathIntGAPopulation copy(&pop);
  for (int i = 0; i < 6; ++i)
  {
    const std::int32_t* code = pop._Individuals[i]._Code;
    EXPECT_EQ(Genes(code, code + 2), (Genes{4, 0})); // fixed and half-open limits
    EXPECT_TRUE(std::equal(code, code + 3, copy._Individuals[i]._Code));
    EXPECT_EQ(copy._Individuals[i]._Fitness, -1.0);
  }
  pop._MinIndex = 4;
  pop._MinFitness = -7.5;
  copy = pop;
  EXPECT_EQ(std::make_tuple(copy._MinIndex, copy._MinFitness, copy._Individuals[5]._Fitness),
            std::make_tuple(4, -7.5, -1.0));
}

TEST(IntGAOptimizer, OutOfRangeSettingsFallBack)
{
  IntProbe o;
  o.SetCrossValue(1.5);
  o.SetPopulationSize(5);
  o.SetNumParams(-2);
  EXPECT_EQ(std::make_tuple(o._CrossValue, o._PopulationSize, o._NumParams), std::make_tuple(0.8, 6, 0));
  o.SetNumParams(3);
  EXPECT_EQ(o._Optimum._CodeLength, 3);
}

// ------------------------------------------------------------------------------------------
// The generation step on hand-checked genes

TEST_F(IntProbeTest, EachSchemeOnAHandCheckedGene)
{
  // t 10, b 5, x 4 -3 0 6 20, F 0.5: x2 - x3 = -3 gives floor(-1.5) = -2; scheme 3 floors
  // -2.5 + 3.5 once (1, where two floors would give 0); x1 + x2 - x3 - x4 = -5 gives floor(-2.5) = -3.
  const std::vector<std::pair<int, int>> expected{{1, 3}, {2, 2},  {3, 11}, {4, 2},   {5, 17}, {6, 3},
                                                  {7, 2}, {8, 11}, {9, 2},  {10, 17}, {0, 17}, {-1, 17}};
  for (const auto& [process, gene] : expected)
  {
    Prepare(1, process, 0.5, 0.0);
    ArrangeFirstTarget(o, 5, {10}, {5}, {{4}, {-3}, {0}, {6}, {20}});
    o.GenerateMin();
    ASSERT_FALSE(o.evaluated.empty());
    EXPECT_EQ(o.evaluated[0], Genes{gene}) << "process " << process;
  }
}

TEST_F(IntProbeTest, CrossoverSetsTheRightGenes)
{
  // Best/1 with equal partners copies the leader's gene: a changed gene is a gene set.
  const Genes t{0, 0, 0, 0}, b{50, 50, 50, 50}, x{1, 1, 1, 1};
  for (int process : {1, 6})
    for (double cr : {0.0, 1.0})
    {
      Prepare(4, process, 0.8, cr);
      const int start = ArrangeFirstTarget(o, 9, t, b, {x, x, x, x, x});
      o.GenerateMin();
      Genes want = t;
      if (cr == 1.0)
        want = b;
      else
        want[process == 1 ? start : (start + 3) % 4] = 50;
      EXPECT_EQ(o.evaluated.at(0), want) << "process " << process << " CR " << cr;
    }
  // A single gene is always set, whatever the draw.
  for (int process : {1, 6})
  {
    Prepare(1, process, 0.8, 0.0);
    ArrangeFirstTarget(o, 9, {0}, {50}, {{1}, {1}, {1}, {1}, {1}});
    o.GenerateMin();
    EXPECT_EQ(o.evaluated.at(0), Genes{50});
  }
}

TEST_F(IntProbeTest, TiesInadmissibleTrialsAndClamping)
{
  // Equal fitness: every admissible trial wins, while an equal new best leaves the optimum alone.
  o.fitness = [](std::int32_t, const std::int32_t*) { return 1.0; };
  Prepare(2, 7, 0.0, 1.0);
  const Genes optimum(o._Optimum._Code, o._Optimum._Code + 2);
  o.evaluated.clear();
  o.GenerateMin();
  ASSERT_EQ(o.evaluated.size(), 7u);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(o.GenesOf(o._NewPopulation, i), o.evaluated[i]);
  EXPECT_EQ(Genes(o._Optimum._Code, o._Optimum._Code + 2), optimum);

  // A trial outside the limits is never evaluated; its target passes with its stored fitness.
  min = {-100, 0};
  max = {100, 0};
  Prepare(2, 1, 0.8, 1.0);
  ArrangeFirstTarget(o, 3, {1, 0}, {2, 3}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  o._OldPopulation->_Individuals[0]._Fitness = 1e300;
  o.GenerateMin();
  EXPECT_EQ(o.GenesOf(o._NewPopulation, 0), (Genes{1, 0}));
  EXPECT_EQ(o._NewPopulation->_Individuals[0]._Fitness, 1e300);
  EXPECT_EQ(std::count(o.evaluated.begin(), o.evaluated.end(), Genes{2, 3}), 0);

  // Floored values beyond 32 bits saturate instead of wrapping.
  min = {INT32_MIN, INT32_MIN};
  max = {INT32_MAX, INT32_MAX};
  Prepare(2, 4, 1.0, 1.0);
  ArrangeFirstTarget(
    o, 3, {0, 0}, {INT32_MAX - 1, INT32_MIN + 1},
    {{INT32_MAX, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MAX}, {0, 0}});
  o.GenerateMin();
  EXPECT_EQ(o.evaluated.at(0), (Genes{INT32_MAX, INT32_MIN}));
}

TEST_F(IntProbeTest, ReportFailuresAndPrint)
{
  Prepare(2, 1, 0.0, 1.0); // F 0 keeps every trial admissible: 7 evaluations a generation
  QAVCoutCapture out;
  IntProbe never;
  never.Report(1);
  QAVMathIntGAIndividual* saved = o._NewPopulation->_Individuals;
  o._NewPopulation->_Individuals = nullptr;
  o.Report(1);
  o._NewPopulation->_Individuals = saved;
  o._Optimum._Code[0] = 7;
  o._Optimum._Code[1] = 9;
  o._Optimum._Fitness = 2.5;
  o.Print(o._Optimum, "Best");
  IntGA_repchar("-", 0);
  IntGA_repchar("-", -3);
  const std::string reports = out.Text();
  QAVExpectGolden("intga_failures", reports + o.FailureLines());
}

// ------------------------------------------------------------------------------------------
// Run drivers

TEST(IntGADriver, StopRulesAndReportNumbering)
{
  // F 0 keeps every trial a copy of population genes: all admissible, 6 evaluations a generation.
  const struct
  {
    bool improving, maximize;
    std::int32_t idem, maxGen, refresh;
    double reference;
    std::size_t evaluations;
    std::vector<int> reported;
  } cases[] = {
    {false, false, 4, 100, 2, 0.0, 30, {1, 3}}, {true, false, 100, 4, 2, 0.0, 30, {1, 3, 4}},
    {true, false, 100, 3, 1, 0.0, 24, {3}},     {false, false, 2, 100, 1, 0.0, 18, {}},
    {false, false, 4, 100, 2, 1e9, 6, {}},      {false, true, 4, 100, 2, -1e9, 6, {}},
  };
  for (const auto& c : cases)
  {
    Genes min{-50, -50}, max{50, 50};
    IntProbe o;
    int calls = 0;
    o.fitness = [&](std::int32_t, const std::int32_t*) { return c.improving ? 1000.0 - ++calls : 5.0; };
    o.Setup(6, min, max);
    o.SetCrossValue(0.0);
    o.SetIdemFitnessCount(c.idem);
    o.SetMaxNumber(c.maxGen);
    o.SetRefresh(c.refresh);
    o.SetFitnessReference(c.reference);
    QAVCoutCapture out;
    c.maximize ? o.Maximize() : o.Minimize();
    const std::string text = out.Text(), note = " Note : QAVMathIntGAOptimizer ";
    std::vector<int> reported;
    for (auto at = text.find(note); at != std::string::npos; at = text.find(note, at + 1))
      reported.push_back(std::atoi(text.c_str() + at + note.size()));
    EXPECT_EQ(o.evaluated.size(), c.evaluations) << &c - cases;
    EXPECT_EQ(reported, c.reported) << &c - cases;
  }
}

TEST(IntGADriver, MaximizeStartsFromTheLowestAndRunsRepeat)
{
  Genes min{-50, -50}, max{50, 50};
  IntProbe o;
  o.Setup(8, min, max);
  o.SetFitnessReference(-1e9);
  QAVCoutCapture quiet;
  o.Maximize();
  EXPECT_EQ(o.GetOptimumFitness(), o._OldPopulation->_MinFitness);

  o.SetFitnessReference(0.0);
  o.Minimize();
  const double first = o.GetOptimumFitness();
  Genes a(2), b(2);
  o.GetOptimumParams(a.data());
  o.Minimize();
  o.GetOptimumParams(b.data());
  EXPECT_EQ(o.GetOptimumFitness(), first);
  EXPECT_EQ(a, b);
}

TEST(IntGADriver, RefusesRunsItCannotDo)
{
  Genes min{0, 0}, max{9, 9};
  const struct
  {
    int numParams;
    bool limits;
    const char* line;
  } cases[] = {
    {-1, true,
     "QAVMathIntGAOptimizer::Minimize refused: the optimum is not sized (call SetNumParams before the run)\n"},
    {0, true, "QAVMathIntGAOptimizer::Minimize refused: no genes (SetNumParams needs a count above 0)\n"},
    {2, false, "QAVMathIntGAOptimizer::Minimize refused: no gene limits (call SetParamValLimits)\n"},
  };
  for (const auto& c : cases)
  {
    IntProbe o;
    if (c.numParams >= 0)
      o.SetNumParams(c.numParams);
    if (c.limits)
      o.SetParamValLimits(min.data(), max.data());
    QAVCoutCapture out;
    o.Minimize();
    EXPECT_EQ(out.Text(), c.line);
    EXPECT_TRUE(o.evaluated.empty());
    EXPECT_EQ(o._OldPopulation, nullptr);
  }
}

// ------------------------------------------------------------------------------------------
// Hostile limits, fitness values and sizes

TEST(IntGAHostile, ExtremeLimitsAndNonFiniteFitness)
{
  // Limits spanning the whole 32-bit range, reversed or fixed, keep every gene in range.
  for (std::int32_t process : {1, 3, 4, 5, 8, 10})
  {
    Genes min{INT32_MIN, INT32_MIN, -7, 5}, max{INT32_MAX, 0, -7, -5};
    IntProbe o;
    o.Setup(10, min, max);
    o.SetProcess(process);
    o.SetMaxNumber(30);
    QAVCoutCapture quiet;
    o.Minimize();
    std::int32_t best[4];
    o.GetOptimumParams(best);
    EXPECT_EQ(best[2], -7) << process;
    EXPECT_TRUE(std::isfinite(o.GetOptimumFitness())) << process;
  }
  // A NaN optimum is "not above the reference": the run stops after the initial population. An
  // infinite one never reaches it: the no-progress rule ends the run.
  for (double answer : {std::nan(""), HUGE_VAL})
  {
    Genes min{0, 0}, max{10, 10};
    IntProbe o;
    o.fitness = [answer](std::int32_t, const std::int32_t*) { return answer; };
    o.Setup(10, min, max);
    o.SetIdemFitnessCount(3);
    QAVCoutCapture quiet;
    o.Minimize();
    EXPECT_EQ(o.evaluated.size() == 10, std::isnan(answer));
  }
}

TEST(IntGAHostile, ArraysThatCannotBeAllocatedFailCleanlyAndTheObjectStaysUsable)
{
  Genes min{0, 0}, max{10, 10};
  IntProbe o, fresh;
  o.Setup(10, min, max);
  fresh.Setup(10, min, max);
  QAVCoutCapture quiet;
  o.Minimize();
  const std::size_t calls = o.evaluated.size();
  // A huge population: nothing is evaluated, and no freed pointer is left behind.
  o.SetPopulationSize(INT32_MAX);
  EXPECT_THROW(o.Minimize(), std::bad_alloc);
  EXPECT_EQ(o.evaluated.size(), calls);
  EXPECT_EQ(o._OldPopulation, nullptr);
  EXPECT_EQ(o._NewPopulation, nullptr);
  // A huge gene count: the optimum keeps its genes, and the run is refused until sized again.
  EXPECT_THROW(o.SetNumParams(INT32_MAX), std::bad_alloc);
  EXPECT_EQ(o._Optimum._CodeLength, 2);
  o.Minimize();
  EXPECT_EQ(o.evaluated.size(), calls);
  o.Setup(10, min, max);
  o.evaluated.clear();
  o.Minimize();
  fresh.Minimize();
  EXPECT_EQ(o.evaluated, fresh.evaluated);

  QAVMathIntGAIndividual individual(3);
  EXPECT_THROW(individual.Initialize(INT32_MAX), std::bad_alloc);
  EXPECT_EQ(individual._CodeLength, 3);
  EXPECT_THROW(QAVMathIntGAPopulation(8, INT32_MAX, min.data(), max.data()), std::bad_alloc);
  EXPECT_EQ(QAVMathIntGAIndividual(-5)._CodeLength, 0);
  QAVMathIntGAPopulation empty(-3, -2, nullptr, nullptr), copy(static_cast<QAVMathIntGAPopulation*>(nullptr));
  EXPECT_EQ(empty._Size, 6);
  EXPECT_EQ(copy._Individuals, nullptr);
  copy = empty;
}

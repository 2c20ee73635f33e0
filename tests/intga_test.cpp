#include "QAVDEModel.h"
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

struct IntProbe : QAVDEProbe<QAVMathIntGAOptimizer, std::int32_t>
{
  IntProbe() { fitness = Bowl; }
  void SetGenes(std::int32_t i, const Genes& g) { std::copy(g.begin(), g.end(), _OldPopulation->_Individuals[i]._Code); }
};

// The integer formulas, in 64 bits and floored once, written apart from the engine.
struct IntFormulas
{
  static std::int32_t Random(double u, std::int32_t lo, std::int32_t hi)
  {
    return lo + static_cast<std::int32_t>(std::floor(u * (hi - lo)));
  }
  static std::int32_t At(int kind, double f, long long b, long long t, const std::int32_t* x)
  {
    const long long x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3], x5 = x[4];
    switch (kind)
    {
    case 0: return static_cast<std::int32_t>(b + std::floor(f * (x2 - x3)));
    case 1: return static_cast<std::int32_t>(x1 + std::floor(f * (x2 - x3)));
    case 2: return static_cast<std::int32_t>(t + std::floor(f * (b - t) + f * (x1 - x2)));
    case 3: return static_cast<std::int32_t>(b + std::floor(f * (x1 + x2 - x3 - x4)));
    default: return static_cast<std::int32_t>(x5 + std::floor(f * (x1 + x2 - x3 - x4)));
    }
  }
};
using Model = QAVDEModel<std::int32_t, IntFormulas>;

// With 7 individuals, lays out the old population so that target 0 meets known genes: its partners
// r1..r5 get x[0..4] and the one individual left out becomes the leader with genes b. The
// generator is left seeded for the next generation; returns the start gene it will draw.
int ArrangeFirstTarget(IntProbe& o, long seed, const Genes& t, const Genes& b, const std::vector<Genes>& x)
{
  srand48(seed);
  const std::vector<int> r = Model::Partners(7, 0);
  const int start = Model::Index(o._NumParams);
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
  EXPECT_EQ(std::make_tuple(copy._MinIndex, copy._MinFitness, copy._Individuals[5]._Fitness), std::make_tuple(4, -7.5, -1.0));

  // Limits spanning the whole 32-bit range draw without overflow.
  Genes wideMin{INT32_MIN, INT32_MAX}, wideMax{INT32_MAX, INT32_MIN};
  QAVMathIntGAPopulation wide(6, 2, wideMin.data(), wideMax.data());
  for (int i = 0; i < 6; ++i)
    EXPECT_LT(wide._Individuals[i]._Code[0], INT32_MAX);
}

TEST(IntGAOptimizer, OutOfRangeSettingsFallBack)
{
  IntProbe o; // non-finite values are the hostile suite's
  o.SetCrossValue(1.5);
  o.SetPopulationSize(5);
  o.SetNumParams(-2);
  EXPECT_EQ(std::make_tuple(o._CrossValue, o._PopulationSize, o._NumParams), std::make_tuple(0.8, 6, 0));
  o.SetNumParams(3);
  EXPECT_EQ(o._Optimum._CodeLength, 3);
}

// ------------------------------------------------------------------------------------------
// The generation step against the independent model

class IntGARun : public ::testing::TestWithParam<std::tuple<int, bool>>
{
};

TEST_P(IntGARun, MatchesModelDrawForDraw)
{
  const auto [process, maximize] = GetParam();
  Model m{7, 3, process, 0.7, 0.6, maximize, {-6, -5, -4}, {6, 7, 5}, Bowl, {}, {}, {}, {}};
  IntProbe().ExpectSameRunAs(m, 11, 4);
}

INSTANTIATE_TEST_SUITE_P(AllSchemes, IntGARun,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 11, -1),
                                            ::testing::Bool()));

TEST_F(IntProbeTest, EachSchemeOnAHandCheckedGene)
{
  // t 10, b 5, x 4 -3 0 6 20, F 0.5: x2 - x3 = -3 gives floor(-1.5) = -2; scheme 3 floors
  // -2.5 + 3.5 once (1, where two floors would give 0); x1 + x2 - x3 - x4 = -5 gives floor(-2.5) = -3.
  const std::vector<std::pair<int, int>> expected{{1, 3},  {2, 2},  {3, 11}, {4, 2},  {5, 17}, {6, 3}, {7, 2},
                                                  {8, 11}, {9, 2}, {10, 17}, {0, 17}, {-1, 17}};
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
  ArrangeFirstTarget(o, 3, {0, 0}, {INT32_MAX - 1, INT32_MIN + 1},
                     {{INT32_MAX, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MAX}, {0, 0}});
  o.GenerateMin();
  EXPECT_EQ(o.evaluated.at(0), (Genes{INT32_MAX, INT32_MIN}));
}

TEST_F(IntProbeTest, FailureLinesStopTheGeneration)
{
  Prepare(2, 1, 0.0, 1.0); // F 0 keeps every trial admissible: 7 evaluations a generation
  o.ExpectFailureLines({"GenerateMin failed -- lg 580 \n", "GenerateMin failed -- lg 773 \n",
                        "GenerateMin failed -- lg 780 \n", "QAVMathIntGAOptimizer::GenerateMin failed -- lg 866 \n",
                        "QAVMathIntGAOptimizer::GenerateMax failed -- lg 897 \n",
                        "QAVMathIntGAOptimizer::GenerateMax failed -- lg 1090 \n",
                        "QAVMathIntGAOptimizer::GenerateMax failed -- lg 1096 \n",
                        "QAVMathIntGAOptimizer::GenerateMax failed -- lg 1159 \n"});
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
    {-1, true, "QAVMathIntGAOptimizer::Minimize refused: the optimum is not sized (call SetNumParams before the run)\n"},
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
// Reports, byte for byte

TEST(IntGAReports, InitReportAndPrint)
{
  Genes min{0, 0}, max{9, 9};
  IntProbe o;
  o.Setup(6, min, max);
  o.Initialize();
  o._OldPopulation->_MaxFitness = 2025.5;
  o._OldPopulation->_MinFitness = -0.125;
  QAVCoutCapture out;
  o.InitReport();
  o._Optimum._Code[0] = 7;
  o._Optimum._Code[1] = 9;
  o._Optimum._Fitness = 2.5;
  o.Print(o._Optimum, "Best");
  IntGA_repchar("-", 0);
  IntGA_repchar("-", -3);
  const std::string dashes(79, '-');
  EXPECT_EQ(out.Text(), "__________Simple GA parameters_____________________\n\n"
                        " QAVMathIntGAPopulation size       =    6\n"
                        " Chromosome length        =    2\n"
                        " Number of QAVMathIntGAOptimizers  =  100\n"
                        " Crossover value          =             0.8\n"
                        " Mutation  value          =               1\n\n"
                        "__________Initial QAVMathIntGAOptimizer statistics____________\n\n"
                        " Initial QAVMathIntGAPopulation maximum fitness =          2025.5\n"
                        " Initial QAVMathIntGAPopulation minimum fitness =          -0.125\n"
                        "\n" + dashes + "\n" +
                        std::string(32, ' ') + "Best" + std::string(30, ' ') + "\n" + dashes + "\n"
                        "_Code [ 0] = 7\n"
                        "_Code [ 1] = 9\n"
                        "\n"
                        "_Fitness   = 2.5\n" + dashes + "\n");
}

TEST(IntGAReports, ReportShowsParentsChildrenAndStatistics)
{
  Genes min{0, 0}, max{9, 9};
  IntProbe o;
  o.Setup(6, min, max);
  o.Initialize();
  QAVMathIntGAPopulation& parents = *o._OldPopulation;
  QAVMathIntGAPopulation& children = *o._NewPopulation;
  parents._MinIndex = 2;
  QAVSetIndividual(parents, 2, 7, -9, 1.5);
  children._MinIndex = 4;
  children._MaxIndex = 0;
  QAVSetIndividual(children, 4, 123456, 0, 0.25);
  children._MinFitness = 0.25;
  children._MaxFitness = 1234567890.0;
  QAVCoutCapture out;
  o.Report(100);
  const std::string dashes(79, '-');
  const std::string gen = std::string(33, ' ') + "QAVMathIntGAOptimizer ";
  EXPECT_EQ(out.Text(), QAVReportHead("QAVMathIntGAPopulation", "QAVMathIntGAOptimizer", "99") +
                          "  3) \n"
                          "    1)               7\n"
                          "    2)              -9\n"
                          "             1.5 \n"
                          "\n" +
                          gen + "100\n"
                          "#                 _Code                      value          _Fitness  \n"
                          "  5) \n"
                          "    1)          123456\n"
                          "    2)               0\n"
                          "            0.25 \n" +
                          dashes + "\n"
                          " Note : QAVMathIntGAOptimizer 100\n"
                          " Accumulated statistics : \n"
                          "   _MaxFitness  =     1.23457e+09  (QAVMathIntGAIndividual =    1)\n"
                          "   _MinFitness  =            0.25  (QAVMathIntGAIndividual =    5)\n" +
                          dashes + "\n");
}

TEST(IntGAReports, ReportWithoutPopulations)
{
  const std::string head = QAVReportHead("QAVMathIntGAPopulation", "QAVMathIntGAOptimizer", " 0");
  IntProbe never;
  {
    QAVCoutCapture out;
    never.Report(1);
    EXPECT_EQ(out.Text(), head + "Lg 509: pi == NULL\n");
  }
  Genes min{0}, max{9};
  IntProbe o;
  o.Setup(6, min, max);
  o.Initialize();
  QAVMathIntGAIndividual* saved = o._NewPopulation->_Individuals;
  o._NewPopulation->_Individuals = nullptr;
  QAVCoutCapture out;
  o.Report(1);
  o._NewPopulation->_Individuals = saved;
  EXPECT_NE(out.Text().find("QAVMathIntGAOptimizer  1\n"), std::string::npos);
  EXPECT_EQ(out.Text().substr(out.Text().size() - 29), "InitReport failed -- lg 525 \n");
}

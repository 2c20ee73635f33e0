#include "QAVDEModel.h"
#include "QAVDRQOutput.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <tuple>
#include <vector>

namespace
{
using Genes = std::vector<double>;

double Valley(std::int32_t n, const double* x)
{
  double s = 0.0;
  for (std::int32_t i = 0; i < n; ++i)
    s += (i + 1.5) * (x[i] - 0.3 * i) * (x[i] - 0.3 * i);
  return s;
}

// Collects what the reports write on the platform stream while it lives.
class DrqCapture
{
public:
  DrqCapture() { QAVDRQOutput::GetOut().SetBuffer(_Text.rdbuf()); }
  ~DrqCapture() { QAVDRQOutput::GetOut().SetBuffer(nullptr); }
  std::string Text() const { return _Text.str(); }

private:
  std::ostringstream _Text;
};

struct RealProbe : QAVDEProbe<QAVTasGAOptimizer, double>
{
  RealProbe() { fitness = Valley; }
};

// The real formulas with their own operation order, written apart from the engine.
struct RealFormulas
{
  static double Random(double u, double lo, double hi) { return lo + u * (hi - lo); }
  static double At(int kind, double f, double b, double t, const double* x)
  {
    switch (kind)
    {
    case 0: return b + f * (x[1] - x[2]);
    case 1: return x[0] + f * (x[1] - x[2]);
    case 2: return (t + f * (b - t)) + f * (x[0] - x[1]);
    case 3: return b + f * (((x[0] + x[1]) - x[2]) - x[3]);
    default: return x[4] + f * (((x[0] + x[1]) - x[2]) - x[3]);
    }
  }
};
using Model = QAVDEModel<double, RealFormulas>;

class RealGARun : public ::testing::TestWithParam<std::tuple<int, bool>>
{
};
} // namespace

// ------------------------------------------------------------------------------------------
// The generation step against the independent model

TEST_P(RealGARun, MatchesModelBitForBit)
{
  const auto [process, maximize] = GetParam();
  Model m{8, 3, process, 0.7, 0.6, maximize, {-2.0, -1.0, -3.0}, {2.0, 1.5, 3.0}, Valley, {}, {}, {}, {}};
  const std::int32_t before = nbeval;
  RealProbe().ExpectSameRunAs(m, 21, 5);
  EXPECT_EQ(nbeval - before, static_cast<std::int32_t>(m.evaluated.size()));
}

INSTANTIATE_TEST_SUITE_P(AllSchemes, RealGARun,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, -1), ::testing::Bool()));

TEST(RealGAStep, NaNGenesAreNeverEvaluated)
{
  Model m{7, 2, 2, 0.8, 1.0, false, {-1.0, -1.0}, {1.0, 1.0}, Valley, {}, {}, {}, {}};
  RealProbe o;
  Genes min = m.min, max = m.max;
  o.Setup(7, min, max);
  o.SetSeed(4);
  QAVCoutCapture quiet;
  o.Initialize();
  o._OldPopulation->_Individuals[3]._Code[1] = std::nan("");
  o.evaluated.clear();
  const std::int32_t before = nbeval;
  for (int g = 0; g < 3; ++g)
  {
    o.GenerateMin();
    o.ShiftPopulation();
  }
  // The model draws from the same generator, so it runs after the engine.
  m.Init(4);
  m.pop[3][1] = std::nan("");
  m.evaluated.clear();
  for (int g = 0; g < 3; ++g)
    m.Generation();
  EXPECT_EQ(o.evaluated, m.evaluated); // NaN != NaN: equal only if no NaN gene was evaluated
  EXPECT_LT(o.evaluated.size(), 21u);
  EXPECT_EQ(nbeval - before, static_cast<std::int32_t>(o.evaluated.size()));
}

// ------------------------------------------------------------------------------------------
// Run drivers

namespace
{
// Six individuals, F 0 and rand/1: every trial copies a population member, so each generation
// evaluates exactly six trials. The first trial of generation g scores script[g - 1] (when
// given); every other trial scores 1e9 and loses.
struct Scripted
{
  RealProbe o;
  Genes min{-1.0, -1.0}, max{1.0, 1.0};
  std::string out, drq;
  std::int32_t evaluations = 0;

  Scripted(double initial, std::vector<double> script, std::int32_t idem, double reference = 0.0)
  {
    o.Setup(6, min, max);
    o.SetCrossValue(0.0);
    o.SetIdemFitnessCount(idem);
    o.SetFitnessReference(reference);
    o.SetMaxNumber(5);
    int calls = 0;
    o.fitness = [=](std::int32_t, const double*) mutable {
      const int call = calls++;
      if (call < 6)
        return initial;
      const std::size_t g = (call - 6) / 6;
      return (call - 6) % 6 == 0 && g < script.size() ? script[g] : 1e9;
    };
  }
  void Run(bool maximize = false)
  {
    QAVCoutCapture stdOut;
    DrqCapture platform;
    const std::int32_t before = nbeval;
    maximize ? o.Maximize() : o.Minimize();
    evaluations = nbeval - before;
    out = stdOut.Text();
    drq = platform.Text();
  }
  std::string Closing() const { return drq.substr(drq.find("_MaxNumberOfGenerations")); }
};
} // namespace

TEST(RealGADriver, MinimizeCountsOnlySignificantChange)
{
  // 100 -> 99.95 is within 0.1 %: no progress, and the run with idem 1 stops there.
  Scripted a(100.0, {99.95, 99.90}, 1);
  a.Run();
  EXPECT_EQ(a.Closing(), "_MaxNumberOfGenerations = 5\nnbgen = 1\n\n_Optimum._Fitness = 99.95\n"
                         "_FitnessReference = 0\n\nidemFitnessCount  = 1\n_IdemFitnessCount = 1\n\n");
  // 99.90 is 0.1 % from 100 (the last significant value, not 99.95): the count restarts.
  Scripted b(100.0, {99.95, 99.90}, 2);
  b.Run();
  EXPECT_EQ(b.Closing(), "_MaxNumberOfGenerations = 5\nnbgen = 4\n\n_Optimum._Fitness = 99.9\n"
                         "_FitnessReference = 0\n\nidemFitnessCount  = 2\n_IdemFitnessCount = 2\n\n");
  EXPECT_EQ(b.evaluations, 6 + 4 * 6);
  // An optimum of exactly 0 always counts as a change.
  Scripted c(5.0, {0.0}, 1, -1.0);
  c.Run();
  EXPECT_NE(c.Closing().find("nbgen = 5\n\n_Optimum._Fitness = 0\n"), std::string::npos);
  EXPECT_NE(c.Closing().find("idemFitnessCount  = 0\n"), std::string::npos);
  // Debug lines frame the run on standard output; the closing block is on the platform stream.
  EXPECT_EQ(c.out.find("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize beginning\n"
                       "DEBUG TasOptimiser: QAVTasGAOptimiser::Initialize beginning\n"
                       "DEBUG TasOptimiser: QAVTasGAOptimiser::Initialize ending\n"),
            0u);
  EXPECT_EQ(c.out.substr(c.out.size() - 55), "DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize ending\n");
  // Reference reached at once: no generation, and the block still closes the run.
  Scripted d(5.0, {}, 1, 10.0);
  d.Run();
  EXPECT_NE(d.Closing().find("nbgen = 0\n"), std::string::npos);
  EXPECT_EQ(d.evaluations, 6);
}

TEST(RealGADriver, MaximizeNeedsExactEqualityAndStaysQuiet)
{
  // 100 -> 100.05 is a change for Maximize; the following still generation ends the run.
  Scripted a(100.0, {100.05}, 1, 1e9);
  a.o.fitness = [calls = 0](std::int32_t, const double*) mutable {
    const int call = calls++;
    return call < 6 ? 100.0 : (call == 6 ? 100.05 : -1.0);
  };
  a.Run(true);
  EXPECT_EQ(a.evaluations, 6 + 2 * 6);
  EXPECT_EQ(a.o.GetOptimumFitness(), 100.05);
  EXPECT_EQ(a.out.find("Minimize"), std::string::npos);
  EXPECT_EQ(a.drq.find("nbgen"), std::string::npos);
}

TEST(RealGADriver, RefusesRunsThatCannotFinish)
{
  Genes min{0.0}, max{1.0};
  for (std::int32_t np : {1, 5})
  {
    RealProbe o;
    o.Setup(np, min, max);
    QAVCoutCapture out;
    o.Minimize();
    o.Maximize();
    EXPECT_EQ(out.Text(), "QAVTasGAOptimizer::Minimize refused: fewer than 6 individuals (SetPopulationSize needs 6 or more)\n"
                          "QAVTasGAOptimizer::Maximize refused: fewer than 6 individuals (SetPopulationSize needs 6 or more)\n");
    EXPECT_TRUE(o.evaluated.empty());
  }
  RealProbe o;
  o.SetNumParams(1);
  QAVCoutCapture out;
  o.Minimize();
  EXPECT_EQ(out.Text(), "QAVTasGAOptimizer::Minimize refused: no gene limits (call SetParamValLimits)\n");
  EXPECT_EQ(o._OldPopulation, nullptr);
}

TEST(RealGAOptimizer, DefaultsFallbacksPopulationsAndCounter)
{
  QAVCoutCapture out;
  RealProbe o;
  EXPECT_EQ(out.Text(), "DEBUG TasOptimizer: QAVMathGAOptimiser constructor beginning\n"
                        "DEBUG TasOptimizer: QAVMathGAOptimiser constructor ending\n");
  EXPECT_EQ(std::make_tuple(o._PopulationSize, o._Process, o._IdemFitnessCount), std::make_tuple(30, 2, 10));
  for (std::int32_t n : {0, -1, 501})
  {
    o.SetNumParams(n);
    EXPECT_EQ(o._NumParams, 500);
  }
  o.SetPopulationSize(3); // kept: the driver refuses it, see below
  EXPECT_EQ(o._PopulationSize, 3);
  o.SetPopulationSize(0);
  o.SetIdemFitnessCount(0);
  EXPECT_EQ(std::make_tuple(o._PopulationSize, o._IdemFitnessCount), std::make_tuple(30, 10));

  Genes min{2.0, 0.0}, max{2.0, 1.0};
  QAVTasMathGAPopulation three(3, 2, min.data(), max.data());
  QAVTasMathGAPopulation copy(&three);
  EXPECT_EQ(three._Size, 3);
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

// ------------------------------------------------------------------------------------------
// Reports on the platform stream, failure lines on standard output

TEST(RealGAReports, TextsWidthsAndStreams)
{
  Genes min{0.0, 0.0}, max{1.0, 1.0};
  RealProbe o;
  o.Setup(30, min, max);
  o.SetMaxNumber(100);
  {
    QAVCoutCapture quiet;
    o.Initialize();
  }
  QAVTasMathGAPopulation& parents = *o._OldPopulation;
  QAVTasMathGAPopulation& children = *o._NewPopulation;
  parents._MaxFitness = 12.5;
  parents._MinFitness = 0.03125;
  parents._MinIndex = 9;
  QAVSetIndividual(parents, 9, 0.5, -1234567.0, 3.0);
  children._MinIndex = 0;
  children._MaxIndex = 29;
  QAVSetIndividual(children, 0, 0.25, 1e-7, 2.0);
  children._MinFitness = 2.0;
  children._MaxFitness = 40.0;
  DrqCapture drq;
  QAVCoutCapture out;
  o.InitReport();
  o.Report(1);
  repchar("-", -2);
  const std::string dashes(79, '-');
  const std::string gen = std::string(33, ' ') + "QAVTasGAOptimizer ";
  EXPECT_EQ(drq.Text(), "__________Simple GA parameters_____________________\n\n"
                        " QAVTasMathGAPopulation size       =   30\n"
                        " Chromosome length        =    2\n"
                        " Number of QAVMathGAOptimizers  =  100\n"
                        " Crossover value          =             0.8\n"
                        " Mutation  value          =               1\n\n"
                        "__________Initial QAVTasGAOptimizer statistics____________\n\n"
                        " Initial QAVTasMathGAPopulation maximum fitness =            12.5\n"
                        " Initial QAVTasMathGAPopulation minimum fitness =         0.03125\n" +
                          QAVReportHead("QAVTasMathGAPopulation", "QAVTasGAOptimizer", " 0") +
                          " 10) \n"
                          "    1)             0.5\n"
                          "    2)    -1.23457e+06\n"
                          "               3 \n"
                          "\n" +
                          gen + " 1\n"
                          "#                 _Code                      value          _Fitness  \n"
                          "  1) \n"
                          "    1)            0.25\n"
                          "    2)           1e-07\n"
                          "               2 \n" +
                          dashes + "\n"
                          " Note : QAVTasGAOptimizer  1\n"
                          " Accumulated statistics : \n"
                          "   _MaxFitness  =              40  (QAVTasMathGAIndividual =   30)\n"
                          "   _MinFitness  =               2  (QAVTasMathGAIndividual =    1)\n" +
                          dashes + "\n");
  EXPECT_TRUE(out.Text().empty());
}

TEST(RealGAReports, ReportFailuresAndPrint)
{
  const std::string head = QAVReportHead("QAVTasMathGAPopulation", "QAVTasGAOptimizer", " 0");
  QAVCoutCapture out;
  DrqCapture drq;
  RealProbe never;
  never.Report(1);
  EXPECT_EQ(drq.Text(), head);
  EXPECT_NE(out.Text().find("QAVTasGAOptimizer::Report failed: _OldPopulation == NULL\n"), std::string::npos);

  Genes min{0.0}, max{1.0};
  RealProbe o;
  o.Setup(6, min, max);
  o.Initialize();
  QAVTasMathGAIndividual* saved = o._OldPopulation->_Individuals;
  o._OldPopulation->_Individuals = nullptr;
  o.Report(1);
  o._OldPopulation->_Individuals = saved;
  saved = o._NewPopulation->_Individuals;
  o._NewPopulation->_Individuals = nullptr;
  o.Report(1);
  o._NewPopulation->_Individuals = saved;
  const std::string text = out.Text();
  EXPECT_NE(text.find("QAVTasGAOptimizer::Report failed -- lg 470 \n"), std::string::npos);
  EXPECT_NE(text.find("QAVTasGAOptimizer::Report failed -- lg 489 \n"), std::string::npos);

  QAVTasMathGAIndividual ind{};
  ind._Code[0] = 0.125;
  ind._Fitness = 2.5;
  DrqCapture print;
  o.Print(ind, "Best");
  const std::string dashes(79, '-');
  EXPECT_EQ(print.Text(), "\n" + dashes + "\n" + std::string(32, ' ') + "Best" + std::string(30, ' ') + "\n" + dashes +
                            "\n_Code [ 0] = 0.125\n\n_Fitness   = 2.5\n" + dashes + "\n");
}

TEST(RealGAStep, FailureLinesGoToStandardOutput)
{
  Genes min{-1.0, -1.0}, max{1.0, 1.0};
  RealProbe o;
  o.Setup(6, min, max);
  o.SetCrossValue(0.0);
  QAVCoutCapture quiet;
  o.Initialize();
  o.ExpectFailureLines({"QAVTasGAOptimizer::GenerateMin failed -- lg 583 \n", "QAVTasGAOptimizer::GenerateMin failed -- lg 776 \n",
                        "QAVTasGAOptimizer::GenerateMin failed -- lg 782 \n", "QAVTasGAOptimizer::GenerateMin failed -- lg 862 \n",
                        "QAVTasGAOptimizer::GenerateMax failed -- lg 893 \n", "QAVTasGAOptimizer::GenerateMax failed -- lg 1086 \n",
                        "QAVTasGAOptimizer::GenerateMax failed -- lg 1092 \n", "QAVTasGAOptimizer::GenerateMax failed -- lg 1155 \n"});
}

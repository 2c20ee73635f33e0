// qavtas de: runs a differential-evolution engine on a built-in test function.
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"
#include "QAVToolCommands.h"
#include "QAVToolHistory.h"
#include "QAVToolOptions.h"
#include "QAVToolTestFunction.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <optional>
#include <vector>

namespace
{
// Options left out take the chosen engine's defaults (Defaults below).
struct DeSettings
{
  QAVToolTestFunction::Kind function = QAVToolTestFunction::Sphere;
  std::string functionName = "sphere";
  std::int32_t dim = 2;
  std::optional<double> lower, upper;
  std::optional<std::int32_t> pop, process, idem;
  std::int32_t generations = 100;
  double f = 0.8;
  std::optional<double> cr;
  std::int32_t seed = -3;
  std::int32_t refresh = 10;
  std::int32_t threads = 1;
  bool maximize = false;
  bool real = false;
  QAVToolHistory history;
};

struct EngineDefaults
{
  double lower, upper;
  std::int32_t pop, process, idem;
  double cr;
};

// The integer engine's population of 6 and CR of 1 stall on the test functions, so the tool
// starts it wider; the real engine runs with its own defaults.
constexpr EngineDefaults kIntegerDefaults{-50.0, 50.0, 20, 1, 100, 0.9};
constexpr EngineDefaults kRealDefaults{-5.0, 5.0, 30, 2, 10, 1.0};

void ApplyDefaults(DeSettings& ioS)
{
  const EngineDefaults& d = ioS.real ? kRealDefaults : kIntegerDefaults;
  ioS.lower = ioS.lower.value_or(d.lower);
  ioS.upper = ioS.upper.value_or(d.upper);
  ioS.pop = ioS.pop.value_or(d.pop);
  ioS.process = ioS.process.value_or(d.process);
  ioS.idem = ioS.idem.value_or(d.idem);
  ioS.cr = ioS.cr.value_or(d.cr);
}

const char kHelp[] =
  "usage: qavtas de [options]\n"
  "\n"
  "Minimises (or maximises) a built-in test function by differential evolution, with\n"
  "the integer-coded engine (or, with --real, the real-coded one), printing the\n"
  "engine's reports and then the optimum. Every test function has its minimum 0 at\n"
  "x[i] = 1 + (i mod 3). Defaults are given as integer engine / real engine.\n"
  "\n"
  "options:\n"
  "  --real              use the real-coded engine (double genes)\n"
  "  --function NAME     sphere, rosenbrock or rastrigin (default sphere;\n"
  "                      rosenbrock needs --dim 2 or more)\n"
  "  --dim N             number of genes, 1 to 500 (default 2)\n"
  "  --lower X           lower limit of every gene (default -50 / -5)\n"
  "  --upper X           upper limit of every gene, above --lower (default 50 / 5);\n"
  "                      with integer genes both limits are 32-bit integers\n"
  "  --pop N             individuals per population, 6 or more (default 20 / 30)\n"
  "  --generations N     most generations of the run, 1 or more (default 100)\n"
  "  --process N         recombination scheme 1 to 10 (default 1 / 2): 1 best/1,\n"
  "                      2 rand/1, 3 rand-to-best/1, 4 best/2, 5 rand/2 with\n"
  "                      exponential crossover; 6 to 10 the same with binomial crossover\n"
  "  --f X               weight F of gene differences, 0 to 1 (default 0.8)\n"
  "  --cr X              crossover probability CR, 0 to 1 (default 0.9 / 1)\n"
  "  --seed N            seed of the random generator (default -3)\n"
  "  --idem N            stop after N generations without progress of the optimum\n"
  "                      (default 100 / 10; the real engine's minimisation counts a\n"
  "                      change of 0.1 % or less as none)\n"
  "  --refresh N         report every N generations, 1 or more (default 10;\n"
  "                      1 reports the last generation only)\n"
  "  --threads N         threads evaluating each generation, the output unchanged\n"
  "                      (default 1; 0 or less: one per hardware thread)\n"
  "  --maximize          maximise instead of minimise (the run then ends by --idem\n"
  "                      or --generations)\n";
const char kHelpEnd[] = "  --help              this text\n";

// An engine minimising or maximising one of the test functions.
template <class Engine, class Gene>
class TestOptimizer : public Engine
{
public:
  explicit TestOptimizer(QAVToolTestFunction iFunction) : _Function(iFunction) {}
  double EvalFitness(std::int32_t iCount, Gene* ipCode) override { return _Function(iCount, ipCode); }

private:
  QAVToolTestFunction _Function;
};

std::int32_t InRange(QAVToolOptions& ioOptions, const std::string& iName, std::int32_t iMin, std::int32_t iMax)
{
  const std::int32_t value = ioOptions.Int32Value(iName);
  if (value < iMin || value > iMax)
    QAVToolOptions::Fail("option " + iName + " takes a value from " + std::to_string(iMin) + " to " +
                         std::to_string(iMax) + ", not " + std::to_string(value));
  return value;
}

double Fraction(QAVToolOptions& ioOptions, const std::string& iName)
{
  const double value = ioOptions.DoubleValue(iName);
  if (value < 0.0 || value > 1.0)
    QAVToolOptions::Fail("option " + iName + " takes a value from 0 to 1");
  return value;
}

// True when the option was one of this command's; help is handled by the caller.
bool ParseOption(QAVToolOptions& ioOptions, const std::string& iName, DeSettings& ioS)
{
  constexpr std::int32_t kMany = std::numeric_limits<std::int32_t>::max();
  if (iName == "--function")
  {
    const std::string name = ioOptions.Value(iName);
    if (!QAVToolTestFunction::FromName(name, ioS.function))
      QAVToolOptions::Fail("unknown function '" + name + "' (known: " + QAVToolTestFunction::Names() + ")");
    ioS.functionName = name;
  }
  else if (iName == "--dim")
    ioS.dim = InRange(ioOptions, iName, 1, 500);
  else if (iName == "--lower")
    ioS.lower = ioOptions.DoubleValue(iName);
  else if (iName == "--upper")
    ioS.upper = ioOptions.DoubleValue(iName);
  else if (iName == "--pop")
    ioS.pop = InRange(ioOptions, iName, 6, kMany);
  else if (iName == "--generations")
    ioS.generations = InRange(ioOptions, iName, 1, kMany);
  else if (iName == "--process")
    ioS.process = InRange(ioOptions, iName, 1, 10);
  else if (iName == "--f")
    ioS.f = Fraction(ioOptions, iName);
  else if (iName == "--cr")
    ioS.cr = Fraction(ioOptions, iName);
  else if (iName == "--seed")
    ioS.seed = ioOptions.Int32Value(iName);
  else if (iName == "--idem")
    ioS.idem = InRange(ioOptions, iName, 1, kMany);
  else if (iName == "--refresh")
    ioS.refresh = InRange(ioOptions, iName, 1, kMany);
  else if (iName == "--threads")
    ioS.threads = ioOptions.Int32Value(iName);
  else if (iName == "--maximize")
    ioS.maximize = true;
  else if (iName == "--real")
    ioS.real = true;
  else
    return ioS.history.TakeOption(ioOptions, iName);
  return true;
}

void CheckProblem(const DeSettings& iS)
{
  if (!(*iS.lower < *iS.upper))
    QAVToolOptions::Fail("--lower must be below --upper");
  if (iS.function == QAVToolTestFunction::Rosenbrock && iS.dim < 2)
    QAVToolOptions::Fail("rosenbrock needs --dim 2 or more");
}

std::int32_t IntegerLimit(double iValue, const char* iName)
{
  if (std::floor(iValue) != iValue || iValue < -2147483648.0 || iValue > 2147483647.0)
    QAVToolOptions::Fail(std::string("option ") + iName + " takes a 32-bit integer with integer genes");
  return static_cast<std::int32_t>(iValue);
}

// Runs the engine on limits of its own gene type and prints the optimum with the engine's Print.
template <class Engine, class Gene>
int RunEngine(DeSettings& iS, Gene iLower, Gene iUpper)
{
  std::vector<Gene> lower(iS.dim, iLower);
  std::vector<Gene> upper(iS.dim, iUpper);
  TestOptimizer<Engine, Gene> opt{QAVToolTestFunction(iS.function)};
  opt.SetNumParams(iS.dim);
  opt.SetPopulationSize(*iS.pop);
  opt.SetMaxNumber(iS.generations);
  opt.SetProcess(*iS.process);
  opt.SetCrossValue(iS.f);
  opt.SetMutatValue(*iS.cr);
  opt.SetSeed(iS.seed);
  opt.SetIdemFitnessCount(*iS.idem);
  opt.SetRefresh(iS.refresh);
  opt.SetParamValLimits(lower.data(), upper.data());
  opt.SetEvaluationThreads(iS.threads);
  iS.history.Watch(opt);
  if (iS.maximize)
  {
    // A maximising run goes on while the optimum is below the reference: never stop on it.
    opt.SetFitnessReference(std::numeric_limits<double>::infinity());
    opt.Maximize();
  }
  else
    opt.Minimize();
  opt.Print(opt._Optimum, "Optimum");
  return iS.history.Write("de", std::string(iS.maximize ? "Maximising " : "Minimising ") + iS.functionName + " in " +
                                  std::to_string(iS.dim) + (iS.dim == 1 ? " gene" : " genes") + ", " +
                                  (iS.real ? "real" : "integer") + " engine, population " +
                                  std::to_string(*iS.pop) + ", scheme " + std::to_string(*iS.process));
}

int Run(DeSettings& iS)
{
  if (iS.real)
    return RunEngine<QAVTasGAOptimizer, double>(iS, *iS.lower, *iS.upper);
  return RunEngine<QAVMathIntGAOptimizer, std::int32_t>(iS, IntegerLimit(*iS.lower, "--lower"),
                                                        IntegerLimit(*iS.upper, "--upper"));
}
} // namespace

int QAVToolRunDe(int argc, char** argv)
{
  QAVToolOptions options(argc, argv);
  DeSettings settings;
  while (!options.Done())
  {
    const std::string name = options.NextName();
    if (options.IsHelp(name))
    {
      std::cout << kHelp << QAVToolHistory::kHelp << kHelpEnd;
      return 0;
    }
    if (!ParseOption(options, name, settings))
      QAVToolOptions::Fail("unknown option '" + name + "' (see qavtas de --help)");
  }
  ApplyDefaults(settings);
  CheckProblem(settings);
  return Run(settings);
}

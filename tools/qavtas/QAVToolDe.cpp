// qavtas de: runs a differential-evolution engine on a built-in test function.
#include "QAVMathIntGAOptimizer.h"
#include "QAVToolCommands.h"
#include "QAVToolOptions.h"
#include "QAVToolTestFunction.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <vector>

namespace
{
struct DeSettings
{
  QAVToolTestFunction::Kind function = QAVToolTestFunction::Sphere;
  std::int32_t dim = 2;
  double lower = -50.0;
  double upper = 50.0;
  std::int32_t pop = 20;
  std::int32_t generations = 100;
  std::int32_t process = 1;
  double f = 0.8;
  double cr = 0.9;
  std::int32_t seed = -3;
  std::int32_t idem = 100;
  std::int32_t refresh = 10;
  bool maximize = false;
};

const char kHelp[] =
  "usage: qavtas de [options]\n"
  "\n"
  "Minimises (or maximises) a built-in test function with the integer-coded\n"
  "differential-evolution engine, printing the engine's reports and then the optimum.\n"
  "Every test function has its minimum 0 at x[i] = 1 + (i mod 3).\n"
  "\n"
  "options:\n"
  "  --function NAME     sphere, rosenbrock or rastrigin (default sphere;\n"
  "                      rosenbrock needs --dim 2 or more)\n"
  "  --dim N             number of genes, 1 to 500 (default 2)\n"
  "  --lower X           lower limit of every gene (default -50)\n"
  "  --upper X           upper limit of every gene, above --lower (default 50);\n"
  "                      with integer genes both limits are 32-bit integers\n"
  "  --pop N             individuals per population, 6 or more (default 20)\n"
  "  --generations N     most generations of the run, 1 or more (default 100)\n"
  "  --process N         recombination scheme 1 to 10 (default 1): 1 best/1, 2 rand/1,\n"
  "                      3 rand-to-best/1, 4 best/2, 5 rand/2 with exponential\n"
  "                      crossover; 6 to 10 the same with binomial crossover\n"
  "  --f X               weight F of gene differences, 0 to 1 (default 0.8)\n"
  "  --cr X              crossover probability CR, 0 to 1 (default 0.9)\n"
  "  --seed N            seed of the random generator (default -3)\n"
  "  --idem N            stop after N generations without change of the optimum\n"
  "                      (default 100)\n"
  "  --refresh N         report every N generations, 1 or more (default 10;\n"
  "                      1 reports the last generation only)\n"
  "  --maximize          maximise instead of minimise (the run then ends by --idem\n"
  "                      or --generations)\n"
  "  --help              this text\n";

class IntTestOptimizer : public QAVMathIntGAOptimizer
{
public:
  explicit IntTestOptimizer(QAVToolTestFunction iFunction) : _Function(iFunction) {}
  double EvalFitness(std::int32_t iCount, std::int32_t* ipCode) override { return _Function(iCount, ipCode); }

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
  else if (iName == "--maximize")
    ioS.maximize = true;
  else
    return false;
  return true;
}

void CheckProblem(const DeSettings& iS)
{
  if (!(iS.lower < iS.upper))
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

// The settings every engine shares, in the engine's own setter names.
template <class Optimizer>
void Configure(Optimizer& ioOpt, const DeSettings& iS)
{
  ioOpt.SetNumParams(iS.dim);
  ioOpt.SetPopulationSize(iS.pop);
  ioOpt.SetMaxNumber(iS.generations);
  ioOpt.SetProcess(iS.process);
  ioOpt.SetCrossValue(iS.f);
  ioOpt.SetMutatValue(iS.cr);
  ioOpt.SetSeed(iS.seed);
  ioOpt.SetIdemFitnessCount(iS.idem);
  ioOpt.SetRefresh(iS.refresh);
  // A maximising run goes on while the optimum is below the reference: never stop on it.
  if (iS.maximize)
    ioOpt.SetFitnessReference(std::numeric_limits<double>::infinity());
}

int RunInteger(const DeSettings& iS)
{
  std::vector<std::int32_t> lower(iS.dim, IntegerLimit(iS.lower, "--lower"));
  std::vector<std::int32_t> upper(iS.dim, IntegerLimit(iS.upper, "--upper"));
  IntTestOptimizer opt{QAVToolTestFunction(iS.function)};
  Configure(opt, iS);
  opt.SetParamValLimits(lower.data(), upper.data());
  if (iS.maximize)
    opt.Maximize();
  else
    opt.Minimize();
  opt.Print(opt._Optimum, "Optimum");
  return 0;
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
      std::cout << kHelp;
      return 0;
    }
    if (!ParseOption(options, name, settings))
      QAVToolOptions::Fail("unknown option '" + name + "' (see qavtas de --help)");
  }
  CheckProblem(settings);
  return RunInteger(settings);
}

// qavtas de: runs a differential-evolution engine on a built-in test function.
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"
#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolHistory.h"
#include "QAVToolSession.h"
#include "QAVToolTestFunction.h"

#include <nlohmann/json.hpp>

#include <algorithm>
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

const char kDescription[] =
  "Minimises (or maximises) a built-in test function by differential evolution, with the integer-coded\n"
  "engine (or, with --real, the real-coded one), printing the engine's reports and then the optimum.\n"
  "Every test function has its minimum 0 at x[i] = 1 + (i mod 3). Defaults are given as integer\n"
  "engine / real engine.";
const char kFooter[] =
  "Exit status: 0 an answer, 3 an optimum that is not a finite number, 1 an output that cannot be\n"
  "written, 2 a usage error.";

// The one declaration of the command's options: parsing, --help and the fuzz bounds.
void Declare(QAVToolCli& ioCli, DeSettings& ioS)
{
  constexpr std::int32_t kMany = std::numeric_limits<std::int32_t>::max();
  constexpr double kAny = std::numeric_limits<double>::max();
  ioCli.Flag("--real", ioS.real, "use the real-coded engine (double genes)");
  ioCli.Choice("--function", ioS.functionName, {"sphere", "rosenbrock", "rastrigin"},
               "sphere, rosenbrock or rastrigin (default sphere; rosenbrock needs --dim 2 or more)");
  ioCli.Int("--dim", ioS.dim, 1, 500, "number of genes (default 2)", 16);
  ioCli.Real("--lower", ioS.lower, -kAny, kAny, "lower limit of every gene (default -50 / -5)");
  ioCli.Real("--upper", ioS.upper, -kAny, kAny,
             "upper limit of every gene, above --lower (default 50 / 5); with integer genes both limits are "
             "32-bit integers");
  ioCli.Int("--pop", ioS.pop, 6, kMany, "individuals per population (default 20 / 30)", 64);
  ioCli.Int("--generations", ioS.generations, 1, kMany, "most generations of the run (default 100)", 200);
  ioCli.Int("--process", ioS.process, 1, 10,
            "recombination scheme (default 1 / 2): 1 best/1, 2 rand/1, 3 rand-to-best/1, 4 best/2, 5 rand/2 "
            "with exponential crossover; 6 to 10 the same with binomial crossover");
  ioCli.Real("--f", ioS.f, 0.0, 1.0, "weight F of gene differences (default 0.8)");
  ioCli.Real("--cr", ioS.cr, 0.0, 1.0, "crossover probability CR (default 0.9 / 1)");
  ioCli.Int("--seed", ioS.seed, INT32_MIN, INT32_MAX, "seed of the random generator (default -3)");
  ioCli.Int("--idem", ioS.idem, 1, kMany,
            "stop after N generations without progress of the optimum (default 100 / 10; the real engine's "
            "minimisation counts a change of 0.1 % or less as none)");
  ioCli.Int("--refresh", ioS.refresh, 1, kMany,
            "report every N generations (default 10; 1 reports the last generation only)");
  ioCli.Int("--threads", ioS.threads, INT32_MIN, INT32_MAX,
            "threads evaluating each generation, the output unchanged (default 1; 0 or less: one per hardware "
            "thread)",
            4);
  ioCli.Flag("--maximize", ioS.maximize, "maximise instead of minimise (the run then ends by --idem or --generations)");
  ioS.history.Declare(ioCli);
  ioCli.WithProgress();
  ioCli.WithJson();
}

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

// Two populations of pop x dim genes live during a run: refuse before allocating what no
// machine of our users has.
constexpr double kMostPopulationBytes = 1024.0 * 1024.0 * 1024.0;

void CheckProblem(DeSettings& ioS)
{
  QAVToolTestFunction::FromName(ioS.functionName, ioS.function);
  if (!(*ioS.lower < *ioS.upper))
    throw QAVToolUsageError{"--lower must be below --upper"};
  if (ioS.function == QAVToolTestFunction::Rosenbrock && ioS.dim < 2)
    throw QAVToolUsageError{"rosenbrock needs --dim 2 or more"};
  const double bytes = 2.0 * double(*ioS.pop) * ioS.dim * (ioS.real ? sizeof(double) : sizeof(std::int32_t));
  if (bytes > kMostPopulationBytes)
    throw QAVToolUsageError{"--pop " + std::to_string(*ioS.pop) + " with --dim " + std::to_string(ioS.dim) +
                            " needs populations of more than 1 GiB"};
}

std::int32_t IntegerLimit(double iValue, const char* iName)
{
  if (std::floor(iValue) != iValue || iValue < -2147483648.0 || iValue > 2147483647.0)
    throw QAVToolUsageError{std::string("option ") + iName + " takes a 32-bit integer with integer genes"};
  return static_cast<std::int32_t>(iValue);
}

// Limits near the largest double overflow the fitness or the genes' differences.
template <class Gene>
bool IsFinite(double iFitness, const std::vector<Gene>& iX)
{
  return std::isfinite(iFitness) &&
    std::all_of(iX.begin(), iX.end(), [](Gene g) { return std::isfinite(static_cast<double>(g)); });
}

// Runs the engine on limits of its own gene type and prints the optimum with the engine's Print.
template <class Engine, class Gene>
int RunEngine(DeSettings& iS, QAVToolSession& ioSession, Gene iLower, Gene iUpper)
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
  QAVGAProgress last{};
  ioSession.Watch(opt,
                  [&](const QAVGAProgress& p)
                  {
                    iS.history.Record(p);
                    last = p;
                  });
  if (iS.maximize)
  {
    // A maximising run goes on while the optimum is below the reference: never stop on it.
    opt.SetFitnessReference(std::numeric_limits<double>::infinity());
    opt.Maximize();
  }
  else
    opt.Minimize();
  if (!ioSession.Options().json)
    ioSession.Speak();
  opt.Print(opt._Optimum, "Optimum");
  ioSession.Speak();
  std::vector<Gene> x(iS.dim);
  opt.GetOptimumParams(x.data());
  const bool finite = IsFinite(opt.GetOptimumFitness(), x);
  if (ioSession.Options().json)
  {
    const nlohmann::json answer = {{"status", finite ? "ok" : "not finite"}, {"seconds", ioSession.Seconds()},
                                   {"objective", opt.GetOptimumFitness()},   {"x", x},
                                   {"evaluations", last._Evaluations},       {"generations", last._Generation}};
    if (const int status = ioSession.Write("-", answer.dump() + "\n"))
      return status;
  }
  if (!finite)
    ioSession.Fail(QAVToolExit::BreaksBound,
                   "not a finite answer: the optimum's fitness or a gene overflowed (narrow --lower and --upper)");
  const int written = iS.history.Write(ioSession,
                                       std::string(iS.maximize ? "Maximising " : "Minimising ") + iS.functionName +
                                         " in " + std::to_string(iS.dim) + (iS.dim == 1 ? " gene" : " genes") + ", " +
                                         (iS.real ? "real" : "integer") + " engine, population " +
                                         std::to_string(*iS.pop) + ", scheme " + std::to_string(*iS.process));
  return written != QAVToolExit::Answered || finite ? written : QAVToolExit::BreaksBound;
}

int Run(DeSettings& iS, QAVToolSession& ioSession)
{
  if (iS.real)
    return RunEngine<QAVTasGAOptimizer, double>(iS, ioSession, *iS.lower, *iS.upper);
  return RunEngine<QAVMathIntGAOptimizer, std::int32_t>(iS, ioSession, IntegerLimit(*iS.lower, "--lower"),
                                                        IntegerLimit(*iS.upper, "--upper"));
}
} // namespace

int QAVToolRunDe(int argc, char** argv)
{
  DeSettings settings;
  QAVToolCli cli("de", kDescription, kFooter);
  Declare(cli, settings);
  if (!cli.Parse(argc, argv))
    return QAVToolExit::Answered;
  ApplyDefaults(settings);
  CheckProblem(settings);
  QAVToolSession session("de", cli.common);
  return Run(settings, session);
}

std::vector<QAVToolCli::Declaration> QAVToolDeOptions()
{
  DeSettings settings;
  QAVToolCli cli("de", kDescription);
  Declare(cli, settings);
  return cli.Declarations();
}

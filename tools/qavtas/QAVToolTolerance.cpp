// qavtas tolerance: solves a tolerancing problem read from a data file and writes its report.
#include "ErrorDepthHandler.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVToolHistory.h"
#include "QAVToolCommands.h"
#include "QAVToolDataFile.h"
#include "QAVToolOptions.h"

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

namespace
{
const char kHelp[] =
  "usage: qavtas tolerance FILE [options]\n"
  "\n"
  "Reads a tolerancing problem from the data file FILE (form 2, direct, or 3, multiplier),\n"
  "runs the genetic optimiser on it with the engine's progress output, and writes the\n"
  "constraint report of its result.\n"
  "\n"
  "options:\n"
  "  --exact             solve the problem exactly instead (minimum of sum 1/X within the\n"
  "                      X domains and the Y bounds, certified to a relative gap of 1e-9)\n"
  "                      and write the report of that solution in the direct-form layout\n"
  "  --compare           run both and print, side by side, the objective, the largest\n"
  "                      bound violation and the time of each, and how far the genetic\n"
  "                      answer lies above the exact optimum\n"
  "  --quiet             no progress output, only the report\n"
  "  --report OUT        write the report to the file OUT instead of standard output\n"
  "  --seed N            seed of the random generator (default -3)\n";
const char kHelpEnd[] =
  "  --help              this text\n"
  "\n"
  "Exit status: 0 on success, 1 when the file cannot be read, the run fails or (--exact,\n"
  "--compare) no X meets the bounds, 2 for a usage error.\n";

struct Settings
{
  std::string file;
  std::string report;
  bool quiet = false;
  bool exact = false;
  bool compare = false;
  bool hasSeed = false;
  std::int32_t seed = 0;
  QAVToolHistory history; // of the genetic run
};

// Throws away everything written to std::cout (and so to the platform stream) while it lives.
class Silence
{
public:
  explicit Silence(bool iActive) : _Saved(iActive ? std::cout.rdbuf(&_Null) : nullptr) {}
  ~Silence()
  {
    if (_Saved != nullptr)
      std::cout.rdbuf(_Saved);
  }
  Silence(const Silence&) = delete;
  Silence& operator=(const Silence&) = delete;

private:
  struct NullBuffer : std::streambuf
  {
    int overflow(int c) override { return c == traits_type::eof() ? traits_type::not_eof(c) : c; }
  };
  NullBuffer _Null;
  std::streambuf* _Saved;
};

struct FileCloser
{
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

Settings Parse(int argc, char** argv, bool& oHelp)
{
  Settings settings;
  QAVToolOptions options(argc, argv);
  oHelp = false;
  while (!options.Done())
  {
    const std::string name = options.NextName();
    if (options.IsHelp(name))
    {
      oHelp = true;
      return settings;
    }
    if (name == "--quiet")
      settings.quiet = true;
    else if (name == "--exact")
      settings.exact = true;
    else if (name == "--compare")
      settings.compare = true;
    else if (name == "--report")
      settings.report = options.Value(name);
    else if (name == "--seed")
    {
      settings.seed = options.Int32Value(name);
      settings.hasSeed = true;
    }
    else if (settings.history.TakeOption(options, name))
      continue;
    else if (name.rfind("-", 0) == 0 && name.size() > 1)
      QAVToolOptions::Fail("unknown option '" + name + "'");
    else if (!settings.file.empty())
      QAVToolOptions::Fail("one data file only, not also '" + name + "'");
    else
      settings.file = name;
  }
  if (settings.file.empty())
    QAVToolOptions::Fail("a data file is needed (see qavtas tolerance --help)");
  if (settings.exact && settings.compare)
    QAVToolOptions::Fail("--exact and --compare exclude each other");
  if (settings.exact && settings.history.Wanted())
    QAVToolOptions::Fail("--history and --plot follow the genetic run, which --exact leaves out");
  return settings;
}

int Failure(const std::string& iMessage)
{
  std::cerr << "qavtas tolerance: " << iMessage << '\n';
  return 1;
}

int ReadProblem(const Settings& iSettings, QAVTasOptimizerTolerancing& ioOptimizer)
{
  const std::string error = QAVToolReadDataFile(iSettings.file, ioOptimizer);
  return error.empty() ? 0 : Failure(error);
}

// Runs iWrite on the report destination (standard output or --report OUT).
int WriteOutput(const Settings& iSettings, const std::function<HRESULT(FILE*)>& iWrite)
{
  File out(iSettings.report.empty() ? nullptr : std::fopen(iSettings.report.c_str(), "w"));
  if (!iSettings.report.empty() && !out)
    return Failure("cannot write '" + iSettings.report + "': " + std::strerror(errno));
  std::cout.flush();
  FILE* target = out ? out.get() : stdout;
  if (iWrite(target) != S_OK)
    return Failure("no report: the run left no result");
  if (std::fflush(target) != 0)
    return Failure("writing the report failed");
  return 0;
}

int RunFailed(const Settings& iSettings)
{
  return Failure(iSettings.file + ": the run failed (" + ErrorDepthHandler::_errfile_ + ", line " +
                 std::to_string(ErrorDepthHandler::_i_errline_) + ")");
}

int ExactFailed(const Settings& iSettings)
{
  if (ErrorDepthHandler::_ier_ == 1 && ErrorDepthHandler::_i_errline_ == 710)
    return Failure(iSettings.file + ": no tolerances meet these bounds (the problem is infeasible)");
  if (ErrorDepthHandler::_ier_ == 1 && ErrorDepthHandler::_i_errline_ == 711)
    return Failure(iSettings.file + ": the exact solver could not certify an optimum");
  return RunFailed(iSettings);
}

template <class F>
double SecondsOf(F iRun, HRESULT& oStatus)
{
  const auto start = std::chrono::steady_clock::now();
  oStatus = iRun();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double SumOfInverses(const std::vector<double>& iX)
{
  double sum = 0.0;
  for (double x : iX)
    sum += 1.0 / x;
  return sum;
}

// The history and the plot of a run that ended with iStatus (written when it succeeded).
int WriteHistoryAfter(const Settings& iSettings, int iStatus)
{
  if (iStatus != 0)
    return iStatus;
  const std::size_t slash = iSettings.file.find_last_of('/');
  return iSettings.history.Write("tolerance", "Tolerancing " + iSettings.file.substr(slash + 1) +
                                                ", genetic run");
}

int RunCompare(const Settings& iSettings, QAVTasOptimizerTolerancing& ioOptimizer)
{
  HRESULT status = S_OK;
  const double geneticTime = SecondsOf([&] { return ioOptimizer.Optimize(); }, status);
  std::vector<double> genetic;
  if (status != S_OK || ioOptimizer.GetResultX(genetic) != S_OK)
    return RunFailed(iSettings);
  const double exactTime = SecondsOf([&] { return ioOptimizer.OptimizeExact(); }, status);
  if (status != S_OK)
    return ExactFailed(iSettings);

  const QAVTasOptimizerTolerancing& o = ioOptimizer;
  const QAVTasAllocationProblem bounds = o.AllocationProblem();
  const double geneticValue = SumOfInverses(genetic);
  const double geneticViolation = bounds.MaxViolation(genetic.data());
  const double exactValue = o._Exact.Cost;
  return WriteOutput(iSettings, [&](FILE* f) {
    std::fprintf(f, "%-20s%16s%16s\n", "", "genetic", "exact");
    std::fprintf(f, "%-20s%16.6f%16.6f\n", "objective", geneticValue, exactValue);
    std::fprintf(f, "%-20s%16.3e%16.3e\n", "largest violation", geneticViolation,
                 bounds.MaxViolation(o._Exact.Tolerances.data()));
    std::fprintf(f, "%-20s%16.6f%16.6f\n", "time (s)", geneticTime, exactTime);
    std::fprintf(f, "\noptimality gap of the genetic answer: %.4f %%%s\n",
                 100.0 * (geneticValue - exactValue) / exactValue,
                 geneticViolation > 1.0e-6 ? " (the genetic answer breaks the bounds)" : "");
    return S_OK;
  });
}
} // namespace

int QAVToolRunTolerance(int argc, char** argv)
{
  bool help = false;
  Settings settings = Parse(argc, argv, help);
  if (help)
  {
    std::cout << kHelp << QAVToolHistory::kHelp << kHelpEnd;
    return 0;
  }
  // The exact solution alone has no progress to show: the engine's lines would only mix with it.
  Silence silence(settings.quiet || settings.exact);
  QAVTasOptimizerTolerancing optimizer;
  if (const int status = ReadProblem(settings, optimizer))
    return status;
  if (settings.hasSeed)
    optimizer.SetSeed(settings.seed);
  settings.history.Watch(optimizer);
  if (settings.compare)
    return WriteHistoryAfter(settings, RunCompare(settings, optimizer));
  if (settings.exact)
  {
    if (optimizer.OptimizeExact() != S_OK)
      return ExactFailed(settings);
    return WriteOutput(settings, [&](FILE* f) { return optimizer.CheckExactConstraints(f); });
  }
  if (optimizer.Optimize() != S_OK)
    return RunFailed(settings);
  return WriteHistoryAfter(settings, WriteOutput(settings, [&](FILE* f) { return optimizer.CheckConstraints(f); }));
}

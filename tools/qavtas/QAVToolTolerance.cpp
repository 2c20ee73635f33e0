// qavtas tolerance: solves a tolerancing problem read from a data file and writes its report.
#include "QAVTasOptimizerTolerancing.h"
#include "QAVTasToleranceDataFile.h"
#include "QAVTasToleranceExactSolver.h"
#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolDataFile.h"
#include "QAVToolHistory.h"
#include "QAVToolSession.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{
const char kDescription[] =
  "Reads a tolerancing problem from the data file FILE (form 2, direct, or 3, multiplier; - is standard\n"
  "input) and writes the constraint report of its certified optimum: the minimum of sum 1/X within the X\n"
  "domains and the Y bounds, to a relative gap of 1e-9, in the direct-form layout.";
const char kFooter[] =
  "Exit status: 0 an answer within every bound, 3 an answer that breaks a bound (one line on standard\n"
  "error names the worst) or an optimum that could not be certified, 4 no tolerances meet the bounds,\n"
  "1 a data or I/O error, 2 a usage error. With --compare, the status of the certified run.";

// A broken bound is one beyond this, relative to its own scale, as the allocation problem measures it.
using DataFile = QAVTasToleranceDataFile;
constexpr double kViolationTolerance = 1.0e-6;

struct Settings
{
  std::string file;
  std::string report = "-";
  bool exact = false, genetic = false, compare = false;
  std::optional<std::int32_t> seed;
  QAVToolHistory history; // of the genetic run
  DataFile::Result data;  // the file as read
};

// The data file as messages name it.
std::string Name(const Settings& iS)
{
  return QAVToolSession::InputName(iS.file);
}

void Declare(QAVToolCli& ioCli, Settings& ioS)
{
  ioCli.InFile("FILE", ioS.file, "the tolerancing data file (- for standard input)");
  ioCli.Flag("--exact", ioS.exact, "the certified optimum (the default)");
  ioCli.Flag("--genetic", ioS.genetic,
             "run the genetic optimiser instead, with the engine's reports, and write the constraint report of "
             "its result");
  ioCli.Flag("--compare", ioS.compare,
             "run both and print, side by side, the objective, the largest bound violation and the time of each, "
             "and how far the genetic answer lies above the optimum");
  ioCli.Excludes("--exact", "--genetic");
  ioCli.Excludes("--exact", "--compare");
  ioCli.Excludes("--genetic", "--compare");
  ioCli.OutFile("--report", ioS.report, "write the report to the file OUT instead of standard output");
  ioCli.Int("--seed", ioS.seed, INT32_MIN, INT32_MAX, "seed of the genetic run's random generator (default -3)");
  ioS.history.Declare(ioCli);
  ioCli.WithProgress();
  ioCli.WithJson();
  ioCli.Excludes("--json", "--report");
}

// The problem of the file (or standard input); 0, or 1 after a line saying where and what.
int ReadProblem(Settings& ioS, const QAVToolSession& iSession, QAVTasOptimizerTolerancing& ioOptimizer)
{
  const std::string error = QAVToolReadDataFile(ioS.file, ioOptimizer, ioS.data);
  if (!error.empty())
    return iSession.Fail(QAVToolExit::DataError, error + iSession.Detail());
  if (ioS.data.State == DataFile::Status::Unsolvable)
    return iSession.Fail(QAVToolExit::DataError,
                         Name(ioS) + ":" + std::to_string(ioS.data.Line) + ": the data cannot be solved: expected " +
                           ioS.data.Expected);
  if (ioS.data.Problem.Dimensions.empty())
    return iSession.Fail(QAVToolExit::DataError, Name(ioS) + ": the data cannot be solved: expected at least one X");
  return QAVToolExit::Answered;
}

// A report the library writes to a stream, as text.
std::string Captured(const std::function<HRESULT(FILE*)>& iWrite, HRESULT& oStatus)
{
  char* buffer = nullptr;
  std::size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  if (out == nullptr)
    throw std::bad_alloc();
  oStatus = iWrite(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// The bound X breaks most, in words; empty when none is broken. As QAVTasAllocationProblem::MaxViolation
// measures it: relative to |bound|, for a stack-up to the larger of |bound| and the sum of its terms.
std::string WorstViolation(const QAVTasOptimizerTolerancing& iO, const std::vector<double>& iX, double& oWorst)
{
  std::string worst;
  oWorst = 0.0;
  auto consider = [&](double iValue, double iBound, double iTerms, bool iAbove, const std::string& iWhat)
  {
    const double by = iAbove ? iValue - iBound : iBound - iValue;
    const double relative = std::isnan(by) ? HUGE_VAL : by > 0.0 ? by / std::max(std::fabs(iBound), iTerms) : 0.0;
    if (relative > oWorst)
    {
      oWorst = relative;
      std::ostringstream text;
      text << iWhat << " = " << iValue << (iAbove ? " is above its upper bound " : " is below its lower bound ")
           << iBound << " by " << by;
      worst = text.str();
    }
  };
  for (std::int32_t j = 0; j < iO._Ny; ++j)
  {
    double y = 0.0, terms = 0.0;
    for (std::int32_t i = 0; i < iO._Nx; ++i)
      y += iO._ppW[j][i] * iX[i], terms += std::fabs(iO._ppW[j][i] * iX[i]);
    const std::string name = "stack-up Y[" + std::to_string(j + 1) + "]";
    consider(y, iO._pYmax[j], terms, true, name);
    consider(y, iO._pYmin[j], terms, false, name);
  }
  for (std::int32_t i = 0; i < iO._Nx; ++i)
  {
    const std::string name = "tolerance X[" + std::to_string(i + 1) + "]";
    consider(iX[i], iO._pXsup[i], 0.0, true, name);
    consider(iX[i], iO._pXinf[i], 0.0, false, name);
  }
  return oWorst > kViolationTolerance ? worst : "";
}

double SumOfInverses(const std::vector<double>& iX)
{
  double sum = 0.0;
  for (double x : iX)
    sum += 1.0 / x;
  return sum;
}

// One solved (or refused) run, as the report, the JSON and the exit status see it.
struct Answer
{
  explicit Answer(const char* iMethod) : method(iMethod) {}

  const char* method;
  QAVToolExit::Status status = QAVToolExit::DataError;
  std::string message; // the stderr line for a status other than 0
  const char* state = "not solved";
  std::vector<double> x;
  double objective = 0.0, violation = 0.0, seconds = 0.0;
  std::string report;

  nlohmann::json Json() const
  {
    nlohmann::json j = {{"method", method}, {"status", state}, {"seconds", seconds}};
    if (!x.empty())
      j.update({{"objective", objective}, {"x", x}, {"max_violation", violation}});
    return j;
  }
};

Answer SolveExact(const Settings& iS, const QAVToolSession& iSession, QAVTasOptimizerTolerancing& ioO)
{
  Answer a{"exact"};
  const double start = iSession.Seconds();
  QAVTasAllocationResult result = QAVTasToleranceExactSolver::Solve(iS.data.Problem);
  a.seconds = iSession.Seconds() - start;
  if (result.State == QAVTasAllocationResult::Status::Infeasible)
    return a.status = QAVToolExit::Infeasible, a.state = "infeasible",
           a.message = Name(iS) + ": no tolerances meet these bounds", a;
  if (result.State != QAVTasAllocationResult::Status::Optimal)
    return a.status = QAVToolExit::BreaksBound,
           a.message = Name(iS) + ": the exact solver could not certify an optimum", a;
  a.x = result.Tolerances;
  a.objective = result.Cost;
  WorstViolation(ioO, a.x, a.violation);
  a.status = QAVToolExit::Answered;
  a.state = "optimal";
  ioO._Exact = std::move(result); // the report's answer
  HRESULT written = S_OK;
  a.report = Captured([&](FILE* f) { return ioO.CheckExactConstraints(f); }, written);
  return a;
}

Answer SolveGenetic(const Settings& iS, QAVToolSession& ioSession, QAVTasOptimizerTolerancing& ioO)
{
  Answer a{"genetic"};
  if (iS.data.Form == 2 && !iS.data.GeneticExpected.empty())
    return a.message = Name(iS) + ": the data cannot be solved: expected " + iS.data.GeneticExpected, a;
  const double start = ioSession.Seconds();
  const HRESULT hr = ioO.Optimize();
  a.seconds = ioSession.Seconds() - start;
  if (hr != S_OK || ioO.GetResultX(a.x) != S_OK)
  {
    a.x.clear();
    return a.message = Name(iS) + ": the library refused the run" + ioSession.Detail(), a;
  }
  a.objective = SumOfInverses(a.x);
  const std::string worst = WorstViolation(ioO, a.x, a.violation);
  a.status = worst.empty() ? QAVToolExit::Answered : QAVToolExit::BreaksBound;
  a.state = worst.empty() ? "ok" : "violated";
  a.message = worst.empty() ? "" : "the answer breaks a bound: " + worst;
  HRESULT written = S_OK;
  a.report = Captured([&](FILE* f) { return ioO.CheckConstraints(f); }, written);
  return a;
}

std::string CompareTable(const Answer& iGenetic, const Answer& iExact)
{
  char text[1024];
  const double gap = 100.0 * (iGenetic.objective - iExact.objective) / iExact.objective;
  std::snprintf(text, sizeof text,
                "%-20s%16s%16s\n%-20s%16.6f%16.6f\n%-20s%16.3e%16.3e\n%-20s%16.6f%16.6f\n\n"
                "optimality gap of the genetic answer: %.4f %%%s\n",
                "", "genetic", "exact", "objective", iGenetic.objective, iExact.objective, "largest violation",
                iGenetic.violation, iExact.violation, "time (s)", iGenetic.seconds, iExact.seconds, gap,
                iGenetic.violation > kViolationTolerance ? " (the genetic answer breaks the bounds)" : "");
  return text;
}

// Prints the answer (text or JSON) and returns the exit status of the answer that counts.
int Finish(const Settings& iS, QAVToolSession& ioSession, const Answer* ipGenetic, const Answer* ipExact)
{
  ioSession.Speak();
  const Answer& counted = ipExact ? *ipExact : *ipGenetic;
  std::string text;
  if (ioSession.Options().json)
  {
    nlohmann::json j = counted.Json();
    if (ipGenetic && ipExact)
      j = {{"status", counted.state},
           {"seconds", ioSession.Seconds()},
           {"exact", ipExact->Json()},
           {"genetic", ipGenetic->Json()}};
    text = j.dump() + "\n";
  }
  else if (ipGenetic && ipExact)
    text = ipGenetic->x.empty() || ipExact->x.empty() ? "" : CompareTable(*ipGenetic, *ipExact);
  else
    text = counted.report;
  if (!text.empty())
    if (const int status = ioSession.Write(ioSession.Options().json ? "-" : iS.report, text))
      return status;
  if (ipGenetic && !ipGenetic->x.empty())
  {
    const std::size_t slash = Name(iS).find_last_of('/');
    if (const int status = iS.history.Write(ioSession, "Tolerancing " + Name(iS).substr(slash + 1) + ", genetic run"))
      return status;
  }
  if (ipGenetic && ipExact && ipGenetic->status == QAVToolExit::DataError)
    ioSession.Fail(QAVToolExit::DataError, ipGenetic->message);
  if (counted.status != QAVToolExit::Answered)
    ioSession.Fail(counted.status, counted.message);
  return counted.status;
}
} // namespace

int QAVToolRunTolerance(int argc, char** argv)
{
  Settings settings;
  QAVToolCli cli("tolerance", kDescription, kFooter);
  Declare(cli, settings);
  if (!cli.Parse(argc, argv))
    return QAVToolExit::Answered;
  if (settings.history.Wanted() && !settings.genetic && !settings.compare)
    throw QAVToolUsageError{"--history and --plot follow the genetic run: add --genetic or --compare"};
  if (settings.seed && !settings.genetic && !settings.compare)
    throw QAVToolUsageError{"--seed seeds the genetic run: add --genetic or --compare"};
  // The certified answer alone has no engine to report: its lines are the report.
  QAVToolCli::Common common = cli.common;
  common.quiet = common.quiet || !(settings.genetic || settings.compare);
  QAVToolSession session("tolerance", common);
  QAVTasOptimizerTolerancing optimizer;
  if (const int status = ReadProblem(settings, session, optimizer))
    return status;
  if (settings.seed)
    optimizer.SetSeed(*settings.seed);
  session.Watch(optimizer, [&](const QAVGAProgress& p) { settings.history.Record(p); });
  if (settings.compare)
  {
    const Answer genetic = SolveGenetic(settings, session, optimizer);
    const Answer exact = SolveExact(settings, session, optimizer);
    return Finish(settings, session, &genetic, &exact);
  }
  if (settings.genetic)
  {
    const Answer genetic = SolveGenetic(settings, session, optimizer);
    return Finish(settings, session, &genetic, nullptr);
  }
  const Answer exact = SolveExact(settings, session, optimizer);
  return Finish(settings, session, nullptr, &exact);
}

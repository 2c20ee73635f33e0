// qavtas allocate: the certified allocation of an allocation problem file, as a report or JSON;
// --from-data converts a tolerancing data file into such a file.
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"
#include "QAVTasFunctionAllocation.h"
#include "QAVTasOptimizerVersion.h"
#include "QAVTasTargetRows.h"
#include "QAVToolAllocateAnswer.h"
#include "QAVToolAllocateJson.h"
#include "QAVToolAllocateText.h"
#include "QAVToolAllocateYield.h"
#include "QAVToolAllocationPage.h"
#include "QAVToolAllocationPicture.h"
#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolDataFile.h"
#include "QAVToolExit.h"
#include "QAVToolInterrupt.h"
#include "QAVToolJsonInput.h"
#include "QAVToolOutput.h"
#include "QAVToolProgress.h"
#include "QAVToolSession.h"
#include "QAVToolSilence.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const char kFooter[] =
  "FILE is an allocation problem in JSON ('-' reads standard input):\n"
  "  {\"format\": \"qavtas-allocation/1\",\n"
  "   \"dimensions\": [{\"name\": \"hub\", \"min\": 0.005, \"max\": 0.5,\n"
  "                   \"cost\": {\"model\": \"reciprocal\", \"a\": 0, \"b\": 1}}, ...],\n"
  "   \"stackups\": [{\"name\": \"gap\", \"law\": \"worst-case\", \"limit\": 0.3,\n"
  "                 \"sensitivities\": {\"hub\": 1.0, \"pin\": -1.0}}, ...]}\n"
  "Cost models: reciprocal a + b/t, power a + b/t^k, exponential a + b exp(-m t), table\n"
  "{\"points\": [[t, cost], ...]} (convex, non-increasing; its t range bounds the dimension).\n"
  "A dimension may instead have a fixed \"tolerance\", and a \"mean_shift\" in [0, 1).\n"
  "Laws: worst-case, rss (\"factor\" >= 1, default 1), mean-shift (limit > 0), linear\n"
  "(\"lower\" and \"upper\" instead of \"limit\"). Keys beginning with x- are notes. The schema\n"
  "is docs/allocation.schema.json.\n"
  "\n"
  "--json prints {\"status\": \"optimal\" | \"infeasible\" | \"not solved\", \"reason\", \"cost\",\n"
  "\"lower_bound\", \"relative_gap\", \"tolerances\": {name: t}, \"stackups\": {name: {\"value\",\n"
  "\"limit\" (linear: \"lower\", \"upper\"), \"shadow_price\"}}}; shadow prices are the saving per\n"
  "unit of loosening, -d cost / d limit; one that would save less than 1e-9 of the cost over the\n"
  "limit's own size is 0. Utilisation (\"utilisation\", the picture and the page) is value / limit;\n"
  "for a linear row, how far its value has left the band's centre for the nearer edge,\n"
  "|value - centre| / half-width: 0 at the centre, 1 on either edge, where the row binds (an\n"
  "equality band: 1 when met). An infeasible problem adds \"relaxation\": {stack-up: r}, the\n"
  "least sum of loosenings that makes it feasible (a limit T becomes T (1 + r); a linear band\n"
  "[lower, upper] widens by r S on both sides, S the largest of |lower|, |upper|, the band's width\n"
  "and sum |s| min), and \"conflict\": [stack-up], those loosened and those on their limit there;\n"
  "a design whose tolerances are all fixed also gets each stack-up's value and\n"
  "utilisation, and its yield with --yield. With process options, prices are those at the chosen\n"
  "selection; a pure selection's stack-ups add \"keeps_cheaper_out\" (the problem without it has a\n"
  "cheaper selection) and \"saving_at_110pct\" (the optimum's saving with the limit 10 % looser),\n"
  "null when a re-solve did not finish. --time-limit bounds the search for the loosening too.\n"
  "\n"
  "Exit status: 0 certified optimal, 4 certified infeasible, 3 not solved, 1 a bad file or an\n"
  "I/O error, 2 a usage error.\n";

const char kDescription[] = "Allocates tolerances: the least-cost tolerances that meet every stack-up of FILE,\n"
                            "with a certificate of optimality (or of infeasibility).";

struct Settings
{
  std::string file;
  std::string fromData;
  std::string report = "-";
  std::string svg;
  std::string html;
  std::string commandLine;
  QAVToolAllocateYield processes; // process selection and yield
  QAVToolProgress::Mode progress = QAVToolProgress::Mode::Off;
};

// The options, declared once: they give the parsing and --help.
void Declare(QAVToolCli& ioCli, Settings& oSettings)
{
  ioCli.InFile("FILE", oSettings.file, "the allocation problem file (- for standard input)", false);
  ioCli.OutFile("--report", oSettings.report, "write the answer to the file OUT instead of standard output");
  ioCli.InFile("--from-data", oSettings.fromData,
               "print the tolerancing data file FILE converted into an allocation problem file", false);
  ioCli.OutFile("--svg", oSettings.svg, "draw the allocation (utilisation, contributions, tolerances) to OUT");
  ioCli.OutFile("--html", oSettings.html, "write the whole answer as one self-contained HTML page to OUT");
  oSettings.processes.Declare(ioCli);
  ioCli.WithJson();
  ioCli.WithProgress();
}

bool WriteText(const std::string& iPath, const std::string& iText, std::string& oError)
{
  return QAVToolWriteOutput(iPath, iText, oError);
}

// The problem of a data file; the optimiser's construction lines would only spoil the output.
std::string ReadData(const std::string& iPath, QAVTasAllocationProblem& oProblem)
{
  const QAVToolSilence silence;
  QAVTasOptimizerTolerancing data;
  const std::string error = QAVToolReadDataFile(iPath, data);
  if (error.empty())
    oProblem = data.AllocationProblem();
  return error;
}

int ConvertData(const Settings& iSettings, const QAVToolSession& iSession)
{
  QAVTasAllocationProblem problem;
  std::string error = ReadData(iSettings.fromData, problem);
  if (!error.empty())
    return iSession.Fail(QAVToolExit::DataError, error);
  const std::string text = QAVTasAllocationFile::Write(problem);
  // What the allocation reader refuses (a lower bound <= 0, say) is no convertible problem.
  QAVTasAllocationProblem check;
  if (!QAVTasAllocationFile::Read(text, check, error))
    return iSession.Fail(QAVToolExit::DataError, iSettings.fromData + ": cannot be converted: " + error);
  return WriteText(iSettings.report, text, error) ? QAVToolExit::Answered
                                                  : iSession.Fail(QAVToolExit::DataError, error);
}

QAVToolExit::Status ExitStatusOf(const QAVTasAllocationResult& iResult)
{
  switch (iResult.State)
  {
    case QAVTasAllocationResult::Status::Optimal:
      return QAVToolExit::Answered;
    case QAVTasAllocationResult::Status::Infeasible:
      return QAVToolExit::Infeasible;
    case QAVTasAllocationResult::Status::NotSolved:
      break;
  }
  return QAVToolExit::BreaksBound;
}

// The picture and the page, when asked for.
bool WritePictures(const Settings& iSettings, const QAVToolAllocateAnswer& iAnswer, std::string& oError)
{
  if (!iSettings.svg.empty() &&
      !WriteText(iSettings.svg, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + QAVToolAllocationPicture::Svg(iAnswer),
                 oError))
    return false;
  return iSettings.html.empty() || WriteText(iSettings.html, QAVToolAllocationPage::Html(iAnswer), oError);
}

// The search with its progress line; SIGINT or SIGTERM stop it with what it has found.
QAVTasAllocationResult Search(const Settings& iSettings, const QAVTasAllocationProblem& iProblem)
{
  QAVToolProgress progress(iSettings.progress);
  const bool searches = std::any_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(),
                                    [](const QAVTasAllocationProblem::Dimension& d) { return !d.Options.empty(); });
  std::optional<QAVToolInterrupt> interrupt;
  if (searches)
    interrupt.emplace();
  return iSettings.processes.Solve(iProblem,
                                   [&progress](const QAVTasProcessSelector::Progress& iProgress)
                                   {
                                     progress.Update(iProgress);
                                     return !QAVToolInterrupt::Requested();
                                   });
}

int Allocate(const Settings& iSettings, const QAVToolSession& iSession)
{
  std::string error;
  QAVTasAllocationProblem drawing;
  if (!QAVToolJsonInput::ReadProblem(iSettings.file, drawing, error))
    return iSession.Fail(QAVToolExit::DataError, error);
  const QAVTasAllocationProblem problem = QAVTasTargetRows::SolverProblem(drawing);
  const QAVTasFunctionAllocation::Result solved = QAVTasFunctionAllocation().Solve(
    problem, [&iSettings](const QAVTasAllocationProblem& iModel) { return Search(iSettings, iModel); });
  QAVToolAllocateAnswer::Run run;
  run.Title = "Allocation of " + QAVToolSession::InputName(iSettings.file);
  run.CommandLine = iSettings.commandLine;
  run.Version = "qavtas " QAV_TASOPT_VERSION;
  run.Curves = !iSettings.html.empty();
  const QAVToolAllocateAnswer answer = QAVToolAllocateAnswer::Build(drawing, problem, solved, iSettings.processes, run);
  const std::string text =
    iSession.Options().json ? QAVToolAllocateJson::Text(answer) : QAVToolAllocateText::Report(answer);
  if (!WriteText(iSettings.report, text, error) || !WritePictures(iSettings, answer, error))
    return iSession.Fail(QAVToolExit::DataError, error);
  const QAVTasAllocationResult& result = solved.Answer;
  if (result.State == QAVTasAllocationResult::Status::NotSolved)
    return iSession.Fail(ExitStatusOf(result),
                         QAVToolSession::InputName(iSettings.file) + ": not solved: " + result.Reason);
  return ExitStatusOf(result);
}
} // namespace

int QAVToolRunAllocate(int argc, char** argv)
{
  Settings settings;
  settings.commandLine = QAVToolCli::CommandLine("allocate", argc, argv);
  QAVToolCli cli("allocate", kDescription, kFooter);
  Declare(cli, settings);
  if (!cli.Parse(argc, argv))
    return QAVToolExit::Answered;
  if (settings.file.empty() == settings.fromData.empty())
    throw QAVToolUsageError{"one problem file, or --from-data FILE"};
  settings.processes.CheckUsage();
  settings.progress = QAVToolProgress::Choose(cli.common.quiet || cli.common.json, cli.common.progress);
  const QAVToolSession session("allocate", cli.common);
  return settings.fromData.empty() ? Allocate(settings, session) : ConvertData(settings, session);
}

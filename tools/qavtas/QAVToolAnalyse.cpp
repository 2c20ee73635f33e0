// qavtas analyse: the stack-ups of a problem file at its fixed tolerances, as an engineer reads a
// drawing: worst case, statistical model, capability, parts per million, Monte Carlo, contributions.
#include "QAVTasOptimizerVersion.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVToolAnalysisPage.h"
#include "QAVToolAnalysisReport.h"
#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolExit.h"
#include "QAVToolJsonInput.h"
#include "QAVToolOutput.h"
#include "QAVToolSession.h"

#include <string>

namespace
{
const char kDescription[] = "Analyses the stack-ups of FILE at its fixed tolerances: worst case, statistical model,\n"
                            "Cp and Cpk, parts per million out, Monte Carlo, and who contributes.";

const char kFooter[] =
  "FILE is an allocation problem file (docs/allocation.schema.json) whose every dimension has a\n"
  "fixed \"tolerance\" or a \"plus\"/\"minus\" zone about its \"nominal\"; a stack-up's \"lsl\" and \"usl\"\n"
  "bound y = \"constant\" + sum of sensitivity x dimension, or y = its \"function\": then the worst case is\n"
  "the true function's over the tolerance box, certified by interval branch and bound (or its gap\n"
  "given), and the second-order moments use its Hessian.\n"
  "\n"
  "--json prints {\"samples\", \"seed\", \"stackups\": {name: {\"nominal\", \"centre\", \"worst_case\":\n"
  "[min, max], \"worst_case_certified\", \"worst_case_gap\", \"worst_case_defined\", \"mean\",\n"
  "\"sigma\", \"second_order\": {\"mean\", \"sigma\"}, \"cp\", \"cpk\", \"ppm_below\", \"ppm_above\",\n"
  "\"meets\": {\"worst_case\", \"statistical\", \"simulated\"}, \"mc\": {\"mean\", \"sigma\", \"min\",\n"
  "\"max\", \"p00135\", \"p99865\", \"yield\", \"ci95\"}, \"contributions\": {dimension:\n"
  "{\"sensitivity\", \"variance_share\", \"worst_case_share\"}}, \"function\"}}, \"joint\": {\"yield\",\n"
  "\"ci95\"}}; a figure that does not exist is null.\n"
  "\n"
  "Exit status: 0 the analysis ran (whatever it found), 1 a bad file or an I/O error, 2 a usage\n"
  "error (a dimension without a fixed tolerance among them).\n";

struct Settings
{
  std::string file, csv, html, commandLine;
  std::int32_t samples = 1000000, seed = 1, threads = 0;
};

void Declare(QAVToolCli& ioCli, Settings& oSettings)
{
  ioCli.InFile("FILE", oSettings.file, "the problem file (- for standard input)");
  ioCli.Int("--samples", oSettings.samples, 1, 100000000, "assemblies to simulate (default 1000000)", 100000);
  ioCli.Int("--seed", oSettings.seed, 0, 2147483647,
            "seed of the simulation (default 1): the same figures on any number of threads");
  ioCli.Int("--threads", oSettings.threads, 0, 1024, "threads of the simulation (default 0: one per hardware thread)",
            4);
  ioCli.OutFile("--csv", oSettings.csv, "write one row per stack-up and dimension to OUT, for a spreadsheet");
  ioCli.OutFile("--html", oSettings.html, "write the analysis as one self-contained HTML page to OUT");
  ioCli.WithJson();
}

int Analyse(const Settings& iSettings, const QAVToolSession& iSession)
{
  std::string error;
  QAVTasAllocationProblem problem;
  if (!QAVToolJsonInput::ReadProblem(iSettings.file, problem, error))
    return iSession.Fail(QAVToolExit::DataError, error);
  const std::string name = QAVToolSession::InputName(iSettings.file);
  std::int32_t free = -1;
  const std::vector<double> tolerances = QAVTasStackupAnalysis::FixedTolerances(problem, free);
  if (free >= 0)
    throw QAVToolUsageError{"dimension '" + problem.Dimensions[static_cast<std::size_t>(free)].Name +
                            "' has no fixed tolerance: analyse needs \"tolerance\" or \"plus\"/\"minus\" on each"};
  QAVTasStackupAnalysis::Settings settings;
  settings.Samples = iSettings.samples;
  settings.Seed = static_cast<std::uint64_t>(iSettings.seed);
  settings.Threads = iSettings.threads;
  settings.HistogramBins = iSettings.html.empty() ? 0 : QAVToolAnalysisPage::kBins;
  const QAVTasStackupAnalysis::Result result = QAVTasStackupAnalysis(settings).Analyse(problem, tolerances);
  const std::string answer =
    iSession.Options().json ? QAVToolAnalysisJson(problem, result) : QAVToolAnalysisText(problem, result);
  if (!QAVToolWriteOutput("-", answer, error))
    return iSession.Fail(QAVToolExit::DataError, error);
  if (!iSettings.csv.empty() && !QAVToolWriteOutput(iSettings.csv, QAVToolAnalysisCsv(problem, result), error))
    return iSession.Fail(QAVToolExit::DataError, error);
  const std::string title = "Stack-up analysis of " + name;
  if (!iSettings.html.empty() &&
      !QAVToolWriteOutput(
        iSettings.html,
        QAVToolAnalysisPage::Html(problem, result, title, iSettings.commandLine + "  (qavtas " QAV_TASOPT_VERSION ")"),
        error))
    return iSession.Fail(QAVToolExit::DataError, error);
  return QAVToolExit::Answered;
}
} // namespace

int QAVToolRunAnalyse(int argc, char** argv)
{
  Settings settings;
  settings.commandLine = QAVToolCli::CommandLine("analyse", argc, argv);
  QAVToolCli cli("analyse", kDescription, kFooter);
  Declare(cli, settings);
  if (!cli.Parse(argc, argv))
    return QAVToolExit::Answered;
  const QAVToolSession session("analyse", cli.common);
  return Analyse(settings, session);
}

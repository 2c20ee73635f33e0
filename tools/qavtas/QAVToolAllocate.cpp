// qavtas allocate: the certified allocation of an allocation problem file, as a report or JSON;
// --from-data converts a tolerancing data file into such a file.
#include "QAVNullBuffer.h"
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"
#include "QAVToolAllocateReport.h"
#include "QAVToolCommands.h"
#include "QAVToolDataFile.h"
#include "QAVToolOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
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
  "unit of loosening, -d cost / d limit.\n"
  "\n"
  "Exit status: 0 certified optimal, 4 certified infeasible, 3 not solved, 1 a bad file or an\n"
  "I/O error, 2 a usage error.\n";

struct Settings
{
  std::string file;
  std::string fromData;
  std::string report;
  bool json = false;
};

int Failure(const std::string& iMessage)
{
  std::cerr << "qavtas allocate: " << iMessage << '\n';
  return 1;
}

std::string NameOf(const std::string& iPath)
{
  return iPath == "-" ? "standard input" : iPath;
}

// The options, declared once: they give both the parsing and --help.
void Declare(CLI::App& ioApp, Settings& oSettings)
{
  ioApp.description("Allocates tolerances: the least-cost tolerances that meet every stack-up of FILE,\n"
                    "with a certificate of optimality (or of infeasibility).");
  ioApp.footer(kFooter);
  ioApp.add_option("FILE", oSettings.file, "the allocation problem file");
  ioApp.add_flag("--json", oSettings.json, "print the answer as one JSON object instead of the report");
  ioApp.add_option("--report", oSettings.report, "write the answer to the file OUT instead of standard output")
    ->option_text("OUT");
  ioApp
    .add_option("--from-data", oSettings.fromData,
                "print the tolerancing data file DATA converted into an allocation problem file")
    ->option_text("DATA");
}

// False when --help was asked for (the help is printed); a usage error is thrown.
bool Parse(int argc, char** argv, Settings& oSettings)
{
  CLI::App app("", "qavtas allocate");
  Declare(app, oSettings);
  std::vector<std::string> args(argv, argv + argc);
  std::reverse(args.begin(), args.end());
  try
  {
    app.parse(args);
  }
  catch (const CLI::CallForHelp&)
  {
    std::cout << app.help();
    return false;
  }
  catch (const CLI::ParseError& e)
  {
    QAVToolOptions::Fail(e.what());
  }
  if (oSettings.file.empty() == oSettings.fromData.empty())
    QAVToolOptions::Fail("one problem file, or --from-data DATA (see qavtas allocate --help)");
  return true;
}

// The whole text at iPath ("-": standard input); false with oError when it cannot be read.
bool ReadText(const std::string& iPath, std::string& oText, std::string& oError)
{
  std::ifstream file;
  if (iPath != "-")
  {
    file.open(iPath, std::ios::binary);
    if (!file)
    {
      oError = "cannot open '" + iPath + "': " + std::strerror(errno);
      return false;
    }
  }
  std::istream& in = iPath == "-" ? std::cin : file;
  oText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad())
    oError = "cannot read '" + iPath + "'";
  return !in.bad();
}

// Writes iText to standard output, or to iPath through a temporary file renamed into place, so
// that a failed run never leaves a half-written answer.
bool WriteText(const std::string& iPath, const std::string& iText, std::string& oError)
{
  if (iPath.empty() || iPath == "-")
  {
    std::cout << iText << std::flush;
    if (!std::cout)
      oError = "cannot write to standard output";
    return static_cast<bool>(std::cout);
  }
  const std::string temporary = iPath + ".partial";
  FILE* out = std::fopen(temporary.c_str(), "wb");
  bool written = out != nullptr && std::fwrite(iText.data(), 1, iText.size(), out) == iText.size();
  written = out != nullptr && std::fclose(out) == 0 && written;
  if (written && std::rename(temporary.c_str(), iPath.c_str()) == 0)
    return true;
  oError = "cannot write '" + iPath + "': " + std::strerror(errno);
  std::remove(temporary.c_str());
  return false;
}

// The problem of a data file; the optimiser's construction lines would only spoil the output.
std::string ReadData(const std::string& iPath, QAVTasAllocationProblem& oProblem)
{
  struct Silence
  {
    QAVNullBuffer null;
    std::streambuf* saved = std::cout.rdbuf(&null);
    ~Silence() { std::cout.rdbuf(saved); }
  } silence;
  QAVTasOptimizerTolerancing data;
  const std::string error = QAVToolReadDataFile(iPath, data);
  if (error.empty())
    oProblem = data.AllocationProblem();
  return error;
}

int ConvertData(const Settings& iSettings)
{
  QAVTasAllocationProblem problem;
  std::string error = ReadData(iSettings.fromData, problem);
  if (!error.empty())
    return Failure(error);
  const std::string text = QAVTasAllocationFile::Write(problem);
  // What the allocation reader refuses (a lower bound <= 0, say) is no convertible problem.
  QAVTasAllocationProblem check;
  if (!QAVTasAllocationFile::Read(text, check, error))
    return Failure(iSettings.fromData + ": cannot be converted: " + error);
  return WriteText(iSettings.report, text, error) ? 0 : Failure(error);
}

int ExitStatusOf(const QAVTasAllocationResult& iResult)
{
  switch (iResult.State)
  {
    case QAVTasAllocationResult::Status::Optimal:
      return 0;
    case QAVTasAllocationResult::Status::Infeasible:
      return 4;
    case QAVTasAllocationResult::Status::NotSolved:
      break;
  }
  return 3;
}

int Allocate(const Settings& iSettings)
{
  std::string text, error;
  if (!ReadText(iSettings.file, text, error))
    return Failure(error);
  QAVTasAllocationProblem problem;
  if (!QAVTasAllocationFile::Read(text, problem, error))
    return Failure(NameOf(iSettings.file) + ": " + error);
  const QAVTasAllocationResult result = QAVTasAllocationSolver().Solve(problem);
  const std::string answer =
    iSettings.json ? QAVToolAllocationJson(problem, result) : QAVToolAllocationReport(problem, result);
  if (!WriteText(iSettings.report, answer, error))
    return Failure(error);
  if (result.State == QAVTasAllocationResult::Status::NotSolved)
    std::cerr << "qavtas allocate: " << NameOf(iSettings.file) << ": not solved: " << result.Reason << '\n';
  return ExitStatusOf(result);
}
} // namespace

int QAVToolRunAllocate(int argc, char** argv)
{
  Settings settings;
  if (!Parse(argc, argv, settings))
    return 0;
  return settings.fromData.empty() ? Allocate(settings) : ConvertData(settings);
}

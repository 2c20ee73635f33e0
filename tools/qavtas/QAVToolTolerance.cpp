// qavtas tolerance: solves a tolerancing problem read from a data file and writes its report.
#include "ErrorDepthHandler.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVToolCommands.h"
#include "QAVToolOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

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
  "  --quiet             no progress output, only the report\n"
  "  --report OUT        write the report to the file OUT instead of standard output\n"
  "  --seed N            seed of the random generator (default -3)\n"
  "  --help              this text\n"
  "\n"
  "Exit status: 0 on success, 1 when the file cannot be read or the run fails, 2 for a\n"
  "usage error.\n";

struct Settings
{
  std::string file;
  std::string report;
  bool quiet = false;
  bool hasSeed = false;
  std::int32_t seed = 0;
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
    else if (name == "--report")
      settings.report = options.Value(name);
    else if (name == "--seed")
    {
      settings.seed = options.Int32Value(name);
      settings.hasSeed = true;
    }
    else if (name.rfind("-", 0) == 0 && name.size() > 1)
      QAVToolOptions::Fail("unknown option '" + name + "'");
    else if (!settings.file.empty())
      QAVToolOptions::Fail("one data file only, not also '" + name + "'");
    else
      settings.file = name;
  }
  if (settings.file.empty())
    QAVToolOptions::Fail("a data file is needed (see qavtas tolerance --help)");
  return settings;
}

// What the data file should hold at the step that failed, by the line of the reader's report.
const char* ExpectedItem(std::int32_t iLine)
{
  switch (iLine)
  {
  case 277: return "the form number (2 direct, 3 multiplier)";
  case 281: return "'Dimension du vecteur Nx : <count>' with a count of 0 or more";
  case 283: return "'Dimension du vecteur Ny : <count>' with a count of 0 or more";
  case 292: return "the line 'Coefficients de la matrice W :'";
  case 300: return "Ny rows of Nx coefficients of W";
  case 310: return "the line 'Tolerancement sur Y (Ymin puis Ymax) :'";
  case 314: return "the Ny lower bounds of Y (Ymin)";
  case 321: return "the Ny upper bounds of Y (Ymax)";
  case 329: return "the line 'Domaine de definition de X (bornes inf puis sup) :'";
  case 333: return "the Nx lower bounds of X (Xinf)";
  case 342: return "the Nx upper bounds of X (Xsup)";
  default: return "a line end";
  }
}

// Line of the last item the reader took in before it stopped (1 when it took none): the reader
// stops after the white space that follows an item.
long LineAt(FILE* ipFile)
{
  const long offset = std::ftell(ipFile);
  if (offset < 0 || std::fseek(ipFile, 0, SEEK_SET) != 0)
    return 0;
  long line = 1, lastItemLine = 1;
  for (long k = 0; k < offset; ++k)
  {
    const int c = std::fgetc(ipFile);
    if (c == EOF)
      break;
    if (c == '\n')
      ++line;
    else if (!std::isspace(c))
      lastItemLine = line;
  }
  return lastItemLine;
}

int Failure(const std::string& iMessage)
{
  std::cerr << "qavtas tolerance: " << iMessage << '\n';
  return 1;
}

int ReadProblem(const Settings& iSettings, QAVTasOptimizerTolerancing& ioOptimizer)
{
  File in(std::fopen(iSettings.file.c_str(), "r"));
  if (!in)
    return Failure("cannot open '" + iSettings.file + "': " + std::strerror(errno));
  if (ioOptimizer.ReadDataFile(in.get()) != S_OK)
    return Failure(iSettings.file + ":" + std::to_string(LineAt(in.get())) + ": expected " +
                   ExpectedItem(ErrorDepthHandler::_i_errline_));
  if (ioOptimizer._Formulation != 2 && ioOptimizer._Formulation != 3)
    return Failure(iSettings.file + ":1: the form number must be 2 (direct) or 3 (multiplier), not " +
                   std::to_string(ioOptimizer._Formulation));
  return 0;
}

int WriteReport(const Settings& iSettings, QAVTasOptimizerTolerancing& ioOptimizer)
{
  File out(iSettings.report.empty() ? nullptr : std::fopen(iSettings.report.c_str(), "w"));
  if (!iSettings.report.empty() && !out)
    return Failure("cannot write '" + iSettings.report + "': " + std::strerror(errno));
  std::cout.flush();
  if (ioOptimizer.CheckConstraints(out ? out.get() : stdout) != S_OK)
    return Failure("no report: the run left no result");
  if (std::fflush(out ? out.get() : stdout) != 0)
    return Failure("writing the report failed");
  return 0;
}
} // namespace

int QAVToolRunTolerance(int argc, char** argv)
{
  bool help = false;
  const Settings settings = Parse(argc, argv, help);
  if (help)
  {
    std::cout << kHelp;
    return 0;
  }
  Silence silence(settings.quiet);
  QAVTasOptimizerTolerancing optimizer;
  if (const int status = ReadProblem(settings, optimizer))
    return status;
  if (settings.hasSeed)
    optimizer.SetSeed(settings.seed);
  if (optimizer.Optimize() != S_OK)
    return Failure(settings.file + ": the run failed (" + ErrorDepthHandler::_errfile_ + ", line " +
                   std::to_string(ErrorDepthHandler::_i_errline_) + ")");
  return WriteReport(settings, optimizer);
}

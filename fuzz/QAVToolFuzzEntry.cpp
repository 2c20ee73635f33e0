#include "QAVToolFuzzEntry.h"

#include "QAVNullBuffer.h"
#include "QAVSelectionEnumeration.h"
#include "QAVTasAllPairsDistance.h"
#include "QAVTasAllocationDiagnosis.h"
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasYieldEstimator.h"
#include "QAVToleranceReadersAgree.h"
#include "QAVToolAllocateAnswer.h"
#include "QAVToolAllocateJson.h"
#include "QAVToolAllocateText.h"
#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolPointFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
// Swallows everything written to std::cout while it lives: reports would only slow a fuzzer.
class QuietCout
{
public:
  QuietCout() : _Saved(std::cout.rdbuf(&_Null)) {}
  ~QuietCout() { std::cout.rdbuf(_Saved); }
  QuietCout(const QuietCout&) = delete;
  QuietCout& operator=(const QuietCout&) = delete;

private:
  QAVNullBuffer _Null;
  std::streambuf* _Saved;
};

std::vector<std::string> SplitLines(const std::uint8_t* ipData, std::size_t iSize)
{
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < iSize; ++i)
  {
    if (ipData[i] == '\n')
      lines.emplace_back();
    else
      lines.back().push_back(static_cast<char>(ipData[i]));
  }
  // An argument is a C string: it ends at its first NUL, as argv would.
  for (std::string& line : lines)
    line.resize(line.find('\0') == std::string::npos ? line.size() : line.find('\0'));
  return lines;
}

// The value an option names, in either "--name value" or "--name=value" form.
bool OptionValue(const std::vector<std::string>& iArgs, std::size_t iAt, const std::string& iName, std::string& oValue)
{
  const std::string& arg = iArgs[iAt];
  if (arg == iName && iAt + 1 < iArgs.size())
  {
    oValue = iArgs[iAt + 1];
    return true;
  }
  if (arg.compare(0, iName.size() + 1, iName + "=") == 0)
  {
    oValue = arg.substr(iName.size() + 1);
    return true;
  }
  return false;
}

// False when a size option asks for more than the fuzz bound its declaration gives, or when an
// argument could name a file for the run to write; a value that is no number is left to the tool.
bool WithinRunBounds(const std::vector<std::string>& iArgs)
{
  static const std::vector<QAVToolCli::Declaration> kOptions = QAVToolDeOptions();
  for (const std::string& arg : iArgs)
    for (const QAVToolCli::Declaration& option : kOptions)
      if (option.kind == QAVToolCli::Kind::OutFile && (arg == option.name || arg.rfind(option.name + "=", 0) == 0))
        return false;
  for (std::size_t i = 0; i < iArgs.size(); ++i)
    for (const QAVToolCli::Declaration& option : kOptions)
    {
      std::string text;
      if (option.fuzzMost <= 0 || !OptionValue(iArgs, i, option.name, text))
        continue;
      char* end = nullptr;
      const long long value = std::strtoll(text.c_str(), &end, 10);
      if (end != text.c_str() && value > option.fuzzMost)
        return false;
    }
  return true;
}
} // namespace

int QAVToolFuzzDeOptions(const std::uint8_t* ipData, std::size_t iSize)
{
  std::vector<std::string> args = SplitLines(ipData, iSize);
  if (args.size() == 1 && args[0].empty())
    args.clear();
  if (args.size() > 64 || !WithinRunBounds(args))
    return 0;
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  QuietCout quiet;
  try
  {
    QAVToolRunDe(static_cast<int>(args.size()), argv.data());
  }
  catch (const QAVToolUsageError&)
  {
    // The tool's own refusal: one line and exit status 2.
  }
  std::cout.clear();
  return 0;
}

namespace
{
// A file under the temporary directory, written afresh for each input and removed afterwards.
class ScratchFile
{
public:
  ScratchFile(const std::uint8_t* ipData, std::size_t iSize)
  {
    const char* dir = std::getenv("TMPDIR");
    _Path = std::string(dir && *dir ? dir : "/tmp") + "/qavtas_fuzz_" + std::to_string(getpid());
    std::ofstream out(_Path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(ipData), static_cast<std::streamsize>(iSize));
  }
  ~ScratchFile() { std::remove(_Path.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Path() const { return _Path; }

private:
  std::string _Path;
};

// A broken promise of the code under test: stop at once, so that the fuzzer keeps the input.
void Require(bool iHolds)
{
  if (!iHolds)
    std::abort();
}
} // namespace

int QAVToolFuzzPointFile(const std::uint8_t* ipData, std::size_t iSize)
{
  const ScratchFile file(ipData, iSize);
  std::vector<double> points;
  std::string error;
  if (!QAVToolReadPoints(file.Path(), points, error))
  {
    Require(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  Require(points.size() % 2 == 0);
  for (double value : points)
    Require(std::isfinite(value));
  // What the file's points meet first in 'qavtas ellipse': the geometry of the point set.
  const std::int32_t n = static_cast<std::int32_t>(points.size() / 2);
  double diameter = -1.0;
  Require(QAVTasGetMaxDistance(points.data(), n, diameter) == S_OK);
  if (n <= 512)
    Require(diameter == QAVTasAllPairsMaxDistance(points.data(), static_cast<std::size_t>(n)));
  QAVTasCovarianceEllipse ellipse(1.0, 0.0, 1.0, 1.0, 0.0, points.data(), n, 0);
  double variance = 0.0;
  ellipse.GetVarianceOfDistanceFromPoints(points.data(), n, variance);
  return 0;
}

int QAVToolFuzzDataFile(const std::uint8_t* ipData, std::size_t iSize)
{
  if (iSize == 0)
    return 0;
  std::string bytes(reinterpret_cast<const char*>(ipData), iSize);
  FILE* pFile = fmemopen(&bytes[0], bytes.size(), "r");
  if (!pFile)
    return 0;
  QuietCout quiet;
  QAVTasOptimizerTolerancing problem;
  // Twice on one object: the second read must release what the first one kept.
  const HRESULT first = problem.ReadDataFile(pFile);
  std::rewind(pFile);
  const HRESULT second = problem.ReadDataFile(pFile);
  std::fclose(pFile);
  Require(first == second);
  if (second != S_OK || problem._Nx > 6 || problem._Ny > 6)
  {
    Require(second == S_OK || QAVToleranceReadersDisagree(bytes).empty()); // the typed reader stops alike
    return 0;
  }
  Require(QAVToleranceReadersDisagree(bytes).empty());
  // A small problem that was read: the exact allocation and its report must cope with any values.
  if (problem.OptimizeExact() == S_OK)
  {
    FILE* pSink = std::fopen("/dev/null", "w");
    Require(pSink != nullptr);
    problem.CheckExactConstraints(pSink);
    std::fclose(pSink);
  }
  return 0;
}

namespace
{
// What each stack-up holds of an enumerable selection agrees with enumeration, where it is known.
void CheckHeld(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
               const QAVTasProcessSelector::Options& iSearch)
{
  QAVTasSelectionPrices::Options options;
  options.Search = iSearch;
  const auto held = QAVTasSelectionPrices(options).Analyse(iProblem, iResult);
  const double slack = 1e-7 * std::max(1.0, std::fabs(iResult.Cost));
  for (std::size_t j = 0; j < held.size(); ++j)
  {
    QAVTasAllocationProblem without = iProblem;
    without.Stackups.erase(without.Stackups.begin() + static_cast<std::ptrdiff_t>(j));
    const double cheapest = QAVEnumeratedOptimum(without);
    if (held[j].KeepsCheaperOut == QAVTasSelectionPrices::Verdict::Yes)
      Require(cheapest < iResult.Cost);
    if (held[j].KeepsCheaperOut == QAVTasSelectionPrices::Verdict::No)
      Require(cheapest > iResult.Cost - slack);
    std::vector<double> share(held.size(), 0.0);
    share[j] = options.Loosening;
    const double looser = QAVEnumeratedOptimum(QAVTasAllocationDiagnosis::Loosened(iProblem, share));
    Require(std::isnan(held[j].Saving) || std::fabs(held[j].Saving - (iResult.Cost - looser)) <= slack);
  }
}

// The selector's answer is feasible when optimal, and agrees with enumeration where it can go.
void CheckSelection(const QAVTasAllocationProblem& iProblem)
{
  QAVTasProcessSelector::Options options;
  options.MaxNodes = 20000;
  const QAVTasAllocationResult r = QAVTasProcessSelector(options).Solve(iProblem);
  Require(r.Tolerances.size() == iProblem.Dimensions.size());
  const bool optimal = r.State == QAVTasAllocationResult::Status::Optimal;
  Require(!optimal || iProblem.MaxViolation(r.Tolerances.data()) <= 1e-8);
  const double reference = QAVEnumeratedOptimum(iProblem, 4096.0);
  if (std::isnan(reference))
    return;
  Require(reference == HUGE_VAL ? !optimal : r.State != QAVTasAllocationResult::Status::Infeasible);
  Require(!optimal || std::fabs(r.Cost - reference) <= 1e-7 * std::max(1.0, std::fabs(reference)));
  if (optimal && iProblem.Stackups.size() <= 8)
    CheckHeld(iProblem, r, options);
}
} // namespace

int QAVToolFuzzAllocationFile(const std::uint8_t* ipData, std::size_t iSize)
{
  const std::string text(reinterpret_cast<const char*>(ipData), iSize);
  QAVTasAllocationProblem problem, again;
  std::string error;
  if (!QAVTasAllocationFile::Read(text, problem, error))
  {
    Require(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  const std::string written = QAVTasAllocationFile::Write(problem);
  Require(QAVTasAllocationFile::Read(written, again, error) && QAVTasAllocationFile::Write(again) == written);
  if (problem.Dimensions.size() > 64 || problem.Stackups.size() > 64)
    return 0;
  const QAVTasAllocationResult result = QAVTasAllocationSolver().Solve(problem);
  Require(result.Tolerances.size() == problem.Dimensions.size());
  if (result.State == QAVTasAllocationResult::Status::Optimal)
  {
    const double cost = result.Cost;
    Require(result.RelativeGap <= 1e-9 && result.LowerBound <= cost + 1e-9 * std::max(1.0, std::fabs(cost)));
    Require(problem.MaxViolation(result.Tolerances.data()) <= 1e-8);
  }
  const QAVToolAllocateAnswer answer = QAVToolAllocateAnswer::Solved(problem, result);
  Require(!QAVToolAllocateText::Report(answer).empty() && !QAVToolAllocateJson::Text(answer).empty());
  CheckSelection(problem);
  return 0;
}

namespace
{
// Reads a problem's numbers and counts from fuzz bytes; past the end every byte is 0.
class FuzzBytes
{
public:
  FuzzBytes(const std::uint8_t* ipData, std::size_t iSize) : _Data(ipData), _Size(iSize) {}

  std::uint8_t Byte() { return _At < _Size ? _Data[_At++] : 0; }

  // Below 16 a hostile value, below 160 a plain one in (0, 2], else eight raw bytes.
  double Number()
  {
    static const double kHostile[16] = {NAN,    HUGE_VAL, -HUGE_VAL, 0.0, -0.0,     -1.0, 1.0, 1e308,
                                        -1e308, 1e-308,   5e-324,    1.5, 0.999999, 1e-9, 1e9, 2.0};
    const std::uint8_t b = Byte();
    if (b < 16)
      return kHostile[b];
    if (b < 160)
      return (b - 15) / 72.0;
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k)
      bits = bits << 8 | Byte();
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

private:
  const std::uint8_t* _Data;
  std::size_t _Size, _At = 0;
};

QAVTasAllocationProblem::Dimension FuzzDimension(FuzzBytes& ioBytes)
{
  using Problem = QAVTasAllocationProblem;
  Problem::Dimension d;
  d.Name = "d" + std::to_string(ioBytes.Byte() % 8);
  const std::uint8_t kind = ioBytes.Byte();
  d.Fixed = kind % 3 == 1;
  d.Tolerance = ioBytes.Number(), d.Min = ioBytes.Number(), d.Max = ioBytes.Number();
  d.CostOf.Model = static_cast<Problem::CostModel>(ioBytes.Byte() % 6);
  d.CostOf.A = ioBytes.Number(), d.CostOf.B = ioBytes.Number();
  d.CostOf.K = ioBytes.Number(), d.CostOf.M = ioBytes.Number();
  for (std::uint8_t k = ioBytes.Byte() % 5; k > 0; --k)
    d.CostOf.Points.emplace_back(ioBytes.Number(), ioBytes.Number());
  for (std::uint8_t k = kind % 3 == 2 ? ioBytes.Byte() % 4 : 0; k > 0; --k)
    d.Options.push_back({ioBytes.Number(), ioBytes.Number(), ""});
  d.MeanShift = ioBytes.Number();
  d.Spread = static_cast<Problem::Distribution>(ioBytes.Byte() % 3);
  return d;
}

QAVTasAllocationProblem::Stackup FuzzStackup(FuzzBytes& ioBytes)
{
  using Problem = QAVTasAllocationProblem;
  Problem::Stackup s;
  s.Name = "s";
  s.Rule = static_cast<Problem::Law>(ioBytes.Byte() % 5);
  s.Limit = ioBytes.Number(), s.Factor = ioBytes.Number(), s.Lower = ioBytes.Number(), s.Upper = ioBytes.Number();
  for (std::uint8_t k = ioBytes.Byte() % 6; k > 0; --k)
    s.Sensitivity.emplace_back(static_cast<std::int8_t>(ioBytes.Byte()) % 9, ioBytes.Number());
  return s;
}

// The refusal every consumer gives a problem with defects.
bool Refused(const QAVTasAllocationResult& iResult, const std::string& iDefects)
{
  return iResult.State == QAVTasAllocationResult::Status::NotSolved && iResult.Reason == iDefects &&
    iResult.Tolerances.empty();
}
} // namespace

int QAVToolFuzzAllocationProblem(const std::uint8_t* ipData, std::size_t iSize)
{
  FuzzBytes bytes(ipData, iSize);
  QAVTasAllocationProblem problem;
  for (std::uint8_t k = 1 + bytes.Byte() % 6; k > 0; --k)
    problem.Dimensions.push_back(FuzzDimension(bytes));
  for (std::uint8_t k = bytes.Byte() % 5; k > 0; --k)
    problem.Stackups.push_back(FuzzStackup(bytes));
  const std::vector<std::string> defects = problem.Validate();
  const std::string reason = problem.Defects();
  Require(defects.empty() == reason.empty());
  QAVTasYieldEstimator::Options few;
  few.Samples = 256, few.Threads = 1;
  if (!defects.empty())
  {
    Require(Refused(QAVTasAllocationSolver().Solve(problem), reason));
    Require(Refused(QAVTasProcessSelector().Solve(problem), reason));
    try
    {
      QAVTasYieldEstimator(few).Simulate(problem, std::vector<double>(problem.Dimensions.size(), 1.0));
      Require(false);
    }
    catch (const std::invalid_argument& e)
    {
      Require(e.what() == reason);
    }
    return 0;
  }
  const QAVTasAllocationResult solved = QAVTasAllocationSolver().Solve(problem);
  Require(solved.Tolerances.size() == problem.Dimensions.size());
  Require(solved.State != QAVTasAllocationResult::Status::Optimal ||
          problem.MaxViolation(solved.Tolerances.data()) <= 1e-8);
  CheckSelection(problem);
  QAVTasProcessSelector::Options options;
  options.MaxNodes = 2000;
  const QAVTasAllocationResult selected = QAVTasProcessSelector(options).Solve(problem);
  if (selected.State == QAVTasAllocationResult::Status::Optimal)
    QAVTasYieldEstimator(few).Simulate(problem, selected.Tolerances);
  return 0;
}

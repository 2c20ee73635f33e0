#include "QAVToolAllocateYield.h"

#include "QAVTasProcessSelector.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Estimator = QAVTasYieldEstimator;

const char QAVToolAllocateYield::kHelp[] =
  "  --max-nodes K       branch-and-bound nodes before giving up on a proof (default 1000000);\n"
  "                      the best selection found is then reported as not solved, with its gap\n"
  "  --time-limit S      the same, after S seconds\n"
  "  --yield N           simulate N assemblies of the allocated tolerances and report the yield\n"
  "                      of each stack-up and of all at once, with 95 % intervals\n"
  "  --seed S            seed of the simulation (default 1); a seed gives the same figures on\n"
  "                      any number of threads\n"
  "  --qmc               scrambled Sobol points instead of random ones; the interval then comes\n"
  "                      from 16 independent scramblings\n";

namespace
{
std::int64_t PositiveInteger(QAVToolOptions& ioOptions, const std::string& iName)
{
  const std::string text = ioOptions.Value(iName);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < 1)
    QAVToolOptions::Fail("option " + iName + " takes a positive integer, not '" + text + "'");
  return value;
}

nlohmann::json Interval(const Estimator::Estimate& iE)
{
  return nlohmann::json::array({iE.Lower, iE.Upper});
}

std::string Fixed(double iValue, int iDigits)
{
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", iDigits, iValue);
  return text;
}
} // namespace

bool QAVToolAllocateYield::Parse(const std::string& iName, QAVToolOptions& ioOptions)
{
  if (iName == "--yield")
    _Yield.Samples = PositiveInteger(ioOptions, iName), _WantsYield = true;
  else if (iName == "--seed")
    _Yield.Seed = static_cast<std::uint64_t>(PositiveInteger(ioOptions, iName));
  else if (iName == "--qmc")
    _Yield.Qmc = true;
  else if (iName == "--max-nodes")
    _MaxNodes = PositiveInteger(ioOptions, iName);
  else if (iName == "--time-limit")
  {
    _TimeLimit = ioOptions.DoubleValue(iName);
    if (!(_TimeLimit > 0.0))
      QAVToolOptions::Fail("option --time-limit takes a positive number of seconds");
  }
  else
    return false;
  return true;
}

Result QAVToolAllocateYield::Solve(const Problem& iProblem) const
{
  QAVTasProcessSelector::Options options;
  options.MaxNodes = _MaxNodes;
  options.TimeLimit = _TimeLimit;
  return QAVTasProcessSelector(options).Solve(iProblem);
}

void QAVToolAllocateYield::Simulate(const Problem& iProblem, const Result& iResult)
{
  _HasYield = false;
  if (!_WantsYield || iResult.State == Result::Status::Infeasible ||
      iResult.Tolerances.size() != iProblem.Dimensions.size())
    return;
  for (const double t : iResult.Tolerances)
    if (!(t > 0.0) || !std::isfinite(t))
      return;
  _Report = Estimator(_Yield).Simulate(iProblem, iResult.Tolerances);
  _HasYield = true;
}

void QAVToolAllocateYield::Print(std::ostream& oOut, const Problem& iProblem, const Result& iResult) const
{
  bool header = false;
  for (std::size_t i = 0; i < iProblem.Dimensions.size() && i < iResult.Processes.size(); ++i)
  {
    const std::int32_t k = iResult.Processes[i];
    if (k < 0)
      continue;
    if (!header)
      oOut << "\nprocesses\n  "
           << "dimension" << std::string(12, ' ') << "process" << std::string(14, ' ') << "tolerance      cost\n";
    header = true;
    const auto& d = iProblem.Dimensions[i];
    const auto& option = d.Options[k];
    oOut << "  " << d.Name << std::string(d.Name.size() < 21 ? 21 - d.Name.size() : 1, ' ') << option.Process
         << std::string(option.Process.size() < 21 ? 21 - option.Process.size() : 1, ' ') << Fixed(option.Tolerance, 6)
         << "  " << Fixed(option.CostValue, 4) << '\n';
  }
  if (!_HasYield)
    return;
  oOut << "\nyield (" << (_Report.Qmc ? "scrambled Sobol" : "Monte Carlo") << ", " << _Report.Samples
       << " assemblies, seed " << _Yield.Seed << ")\n"
       << "  stack-up             yield       95 % interval            ppm out    exact\n";
  const auto line = [&](const std::string& iName, const Estimator::Estimate& iE)
  {
    oOut << "  " << iName << std::string(iName.size() < 21 ? 21 - iName.size() : 1, ' ');
    if (!iE.Defined)
    {
      oOut << "undefined (a linear row has no nominal)\n";
      return;
    }
    oOut << Fixed(iE.Yield, 7) << "   [" << Fixed(iE.Lower, 7) << ", " << Fixed(iE.Upper, 7) << "]   "
         << Fixed(iE.PpmOut, 1);
    if (iE.HasExact)
      oOut << "    " << Fixed(iE.Exact, 7);
    oOut << '\n';
  };
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    line(iProblem.Stackups[j].Name, _Report.Stackups[j]);
  line("all at once", _Report.Joint);
}

void QAVToolAllocateYield::AddJson(nlohmann::json& ioOut, const Problem& iProblem, const Result& iResult) const
{
  nlohmann::json processes = nlohmann::json::object();
  for (std::size_t i = 0; i < iProblem.Dimensions.size() && i < iResult.Processes.size(); ++i)
    if (iResult.Processes[i] >= 0)
      processes[iProblem.Dimensions[i].Name] = iProblem.Dimensions[i].Options[iResult.Processes[i]].Process;
  if (!processes.empty())
    ioOut["processes"] = processes;
  if (!_HasYield)
    return;
  const Estimator::Estimate& joint = _Report.Joint;
  nlohmann::json yield = {{"method", _Report.Qmc ? "qmc" : "mc"}, {"samples", _Report.Samples}};
  if (joint.Defined)
  {
    yield["joint"] = joint.Yield;
    yield["ci95"] = Interval(joint);
    yield["ppm_out"] = joint.PpmOut;
    if (joint.HasExact)
      yield["exact"] = joint.Exact;
  }
  else
    yield["joint"] = nullptr;
  nlohmann::json stackups = nlohmann::json::object();
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Estimator::Estimate& e = _Report.Stackups[j];
    nlohmann::json entry = {{"yield", nullptr}, {"note", "undefined for a linear row"}};
    if (e.Defined)
    {
      entry = {{"yield", e.Yield}, {"ci95", Interval(e)}, {"ppm_out", e.PpmOut}};
      if (e.HasExact)
        entry["exact"] = e.Exact;
    }
    stackups[iProblem.Stackups[j].Name] = entry;
  }
  yield["stackups"] = stackups;
  ioOut["yield"] = yield;
  ioOut["method"] = yield["method"];
}

#include "QAVToolAllocateYield.h"

#include "QAVToolText.h"

#include "QAVTasProcessSelector.h"
#include "QAVToolAllocateDiagnosis.h"
#include "QAVToolAllocateReport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Estimator = QAVTasYieldEstimator;
using Json = nlohmann::ordered_json;

namespace
{
// Without a time limit, the re-solves of what each stack-up holds stop after this many times the
// search's own time, and never before the least.
const double kHeldPerSearch = 20.0, kLeastHeld = 2.0;

// A search stopped by a limit still has its best selection.
bool HasSelection(const Result& iResult)
{
  for (const std::int32_t k : iResult.Processes)
    if (k >= 0)
      return iResult.State != Result::Status::Infeasible;
  return false;
}

Json Figures(const Estimator::Estimate& iE)
{
  if (!iE.Defined)
    return {{"yield", nullptr}, {"note", "undefined for a linear row"}};
  Json figures = {{"yield", iE.Yield}, {"ci95", {iE.Lower, iE.Upper}}, {"ppm_out", iE.PpmOut}};
  if (iE.HasExact)
    figures["exact"] = iE.Exact;
  return figures;
}
} // namespace

void QAVToolAllocateYield::Declare(QAVToolCli& ioCli)
{
  const std::int32_t most = 2147483647;
  ioCli.Int("--max-nodes", _MaxNodes, 1, most,
            "branch-and-bound nodes before the search stops (not solved, with its best selection and gap)");
  ioCli.Real("--time-limit", _TimeLimit, 0.0, 1e9, "seconds before the search stops, likewise (0: no limit)");
  ioCli.Int("--yield", _Samples, 0, most, "simulate N assemblies of the allocation: yield of each stack-up and of all");
  ioCli.Int("--seed", _Seed, 0, most, "seed of the simulation (default 1): the same figures on any number of threads");
  ioCli.Flag("--qmc", _Qmc, "scrambled Sobol points; the interval comes from 16 independent scramblings");
}

void QAVToolAllocateYield::CheckUsage() const
{
  if (_Samples <= 0 && (_Seed || _Qmc))
    throw QAVToolUsageError{std::string(_Seed ? "--seed" : "--qmc") + " follows the simulation: add --yield N"};
}

QAVTasProcessSelector::Options QAVToolAllocateYield::Search() const
{
  QAVTasProcessSelector::Options options;
  options.MaxNodes = _MaxNodes;
  options.TimeLimit = _TimeLimit;
  return options;
}

Result QAVToolAllocateYield::Solve(const Problem& iProblem, const QAVTasProcessSelector::Observer& iObserver) const
{
  const auto start = std::chrono::steady_clock::now();
  QAVTasProcessSelector::Options options = Search();
  options.OnProgress = iObserver;
  Result result = QAVTasProcessSelector(options).Solve(iProblem);
  _Searched = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

std::vector<QAVTasSelectionPrices::Stackup> QAVToolAllocateYield::Held(const Problem& iProblem,
                                                                       const Result& iResult) const
{
  const bool continuous = std::any_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(),
                                      [](const Problem::Dimension& d) { return !d.Fixed && d.Options.empty(); });
  if (continuous)
    return {};
  QAVTasSelectionPrices::Options options;
  options.Search = Search();
  if (options.Search.TimeLimit == 0.0)
    options.Search.TimeLimit = std::max(kLeastHeld, kHeldPerSearch * _Searched);
  return QAVTasSelectionPrices(options).Analyse(iProblem, iResult);
}

std::unique_ptr<Estimator::Report> QAVToolAllocateYield::Yield(const Problem& iProblem, const Result& iResult) const
{
  const bool allocated = iResult.State == Result::Status::Optimal || HasSelection(iResult) ||
    QAVToolAllocateDiagnosis::FixedDesign(iProblem);
  if (_Samples <= 0 || !allocated || iResult.Tolerances.size() != iProblem.Dimensions.size())
    return nullptr;
  Estimator::Options options;
  options.Samples = _Samples;
  options.Seed = static_cast<std::uint64_t>(_Seed.value_or(1));
  options.Qmc = _Qmc;
  return std::make_unique<Estimator::Report>(Estimator(options).Simulate(iProblem, iResult.Tolerances));
}

std::string QAVToolAllocateYield::Extend(const std::string& iReport, const Problem& iProblem, const Result& iResult,
                                         const Estimator::Report* ipYield) const
{
  return iReport + TextAnswer(iProblem, iResult, ipYield);
}

std::string QAVToolAllocateYield::TextAnswer(const Problem& iProblem, const Result& iResult,
                                             const Estimator::Report* ipYield) const
{
  std::string text;
  if (iResult.State == Result::Status::NotSolved && HasSelection(iResult))
    text += "\nbest selection found: cost " + QAVToolText::Format("%.10g", iResult.Cost) + ", lower bound " +
      QAVToolText::Format("%.10g", iResult.LowerBound) + ", relative gap " +
      QAVToolText::Format("%.2g", iResult.RelativeGap) + "\n";
  if (HasSelection(iResult))
  {
    text += "\nprocesses\n  " + QAVToolText::Padded("dimension", 21) + QAVToolText::Padded("process", 21) +
      "tolerance    cost\n";
    for (std::size_t i = 0; i < iProblem.Dimensions.size() && i < iResult.Processes.size(); ++i)
      if (iResult.Processes[i] >= 0)
      {
        const auto& option = iProblem.Dimensions[i].Options[iResult.Processes[i]];
        text += "  " + QAVToolText::Padded(iProblem.Dimensions[i].Name, 21) +
          QAVToolText::Padded(QAVToolProcessName(iProblem.Dimensions[i], iResult.Processes[i]), 21) +
          QAVToolText::Padded(QAVToolText::Format("%.6g", option.Tolerance), 13) +
          QAVToolText::Format("%.6g", option.CostValue) + "\n";
      }
  }
  if (!ipYield)
    return text;
  text += "\nyield (" + std::string(ipYield->Qmc ? "scrambled Sobol" : "Monte Carlo") + ", " +
    std::to_string(ipYield->Samples) + " assemblies, seed " + std::to_string(_Seed.value_or(1)) + ")\n  " +
    QAVToolText::Padded("stack-up", 21) + "yield        95 % interval            ppm out     exact\n";
  const auto line = [&](const std::string& iName, const Estimator::Estimate& iE)
  {
    text += "  " + QAVToolText::Padded(iName, 21);
    if (!iE.Defined)
    {
      text += "undefined: a linear row has no nominal\n";
      return;
    }
    text += QAVToolText::Format("%.7f", iE.Yield) + "    [" + QAVToolText::Format("%.7f", iE.Lower) + ", " +
      QAVToolText::Format("%.7f", iE.Upper) + "]   " +
      (iE.HasExact
         ? QAVToolText::Padded(QAVToolText::Format("%.1f", iE.PpmOut), 12) + QAVToolText::Format("%.7f", iE.Exact)
         : QAVToolText::Format("%.1f", iE.PpmOut)) +
      "\n";
  };
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    line(iProblem.Stackups[j].Name, ipYield->Stackups[j]);
  line("all at once", ipYield->Joint);
  return text;
}

void QAVToolAllocateYield::ExtendJson(Json& ioAnswer, const Problem& iProblem, const Result& iResult,
                                      const Estimator::Report* ipYield) const
{
  Json& answer = ioAnswer;
  if (HasSelection(iResult))
  {
    if (iResult.State != Result::Status::Optimal)
    {
      answer["cost"] = iResult.Cost;
      answer["lower_bound"] = iResult.LowerBound;
      answer["relative_gap"] = iResult.RelativeGap;
      answer["tolerances"] = QAVToolAllocationTolerances(iProblem, iResult);
    }
    Json processes = Json::object();
    for (std::size_t i = 0; i < iProblem.Dimensions.size() && i < iResult.Processes.size(); ++i)
      if (iResult.Processes[i] >= 0)
        QAVToolJsonAppend(processes, iProblem.Dimensions[i].Name,
                          QAVToolProcessName(iProblem.Dimensions[i], iResult.Processes[i]));
    answer["processes"] = std::move(processes);
    answer["nodes"] = iResult.Nodes;
  }
  if (ipYield)
  {
    const Estimator::Estimate& joint = ipYield->Joint;
    Json yield = {{"joint", joint.Defined ? Json(joint.Yield) : Json(nullptr)}};
    const Json figures = Figures(joint);
    for (const auto& [key, value] : figures.items())
      if (key != "yield")
        yield[key] = value;
    yield["samples"] = ipYield->Samples;
    yield["method"] = ipYield->Qmc ? "qmc" : "mc";
    Json stackups = Json::object();
    for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
      QAVToolJsonAppend(stackups, iProblem.Stackups[j].Name, Figures(ipYield->Stackups[j]));
    yield["stackups"] = std::move(stackups);
    answer["method"] = yield["method"];
    answer["yield"] = std::move(yield);
  }
}

// The report and the JSON answer of 'qavtas allocate'.
#include "QAVToolAllocateReport.h"

#include "QAVTasAllocationFile.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasStackupLaw.h"

#include "QAVTasStackupContributions.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

namespace
{
using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;

// A bound or a limit binds when the answer sits on it to this relative distance. Prices alone do not
// tell: an interior-point answer leaves prices of the order of its gap on every inactive bound.
const double kOnBound = 1e-7;

std::string Format(const char* iFormat, ...)
{
  char buffer[512];
  va_list args;
  va_start(args, iFormat);
  std::vsnprintf(buffer, sizeof buffer, iFormat, args);
  va_end(args);
  return buffer;
}

double Entry(const std::vector<double>& iValues, std::size_t iAt)
{
  return iAt < iValues.size() ? iValues[iAt] : 0.0;
}

std::string BindsOf(const Problem::Dimension& iDimension, const Result& iResult, std::size_t i)
{
  if (iDimension.Fixed)
    return "fixed";
  if (!iDimension.Options.empty())
  {
    const std::int32_t chosen = i < iResult.Processes.size() ? iResult.Processes[i] : -1;
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= iDimension.Options.size())
      return "option";
    return "option " + QAVToolProcessName(iDimension, static_cast<std::size_t>(chosen));
  }
  const double t = Entry(iResult.Tolerances, i);
  if (t <= iDimension.Min * (1.0 + kOnBound))
    return "min";
  if (t >= iDimension.Max * (1.0 - kOnBound))
    return "max";
  return "-";
}

// The side of a linear row that its value lies nearer to: the side its price belongs to.
bool UpperSideActive(const Problem::Stackup& iStackup, double iValue)
{
  return iStackup.Upper - iValue <= iValue - iStackup.Lower;
}

// Whether the stack-up's value sits on its limit (a linear row: on either side).
bool OnLimit(const Problem::Stackup& iStackup, double iValue)
{
  if (!iStackup.LawOf().Band())
    return iStackup.Limit - iValue <= kOnBound * iStackup.Limit;
  const double scale = std::max(std::fabs(iStackup.Lower), std::fabs(iStackup.Upper));
  return std::min(iStackup.Upper - iValue, iValue - iStackup.Lower) <= kOnBound * scale;
}

std::string LawOf(const Problem::Stackup& iStackup)
{
  return iStackup.LawOf().ReportLine(iStackup);
}

std::string DimensionTable(const Problem& iProblem, const Result& iResult)
{
  std::string text = Format("%-16s %14s %14s  %s\n", "dimension", "tolerance", "cost", "binds");
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const Problem::Dimension& d = iProblem.Dimensions[i];
    const double t = Entry(iResult.Tolerances, i);
    const double cost = QAVToolAllocationCost(iProblem, iResult, i);
    text += Format("%-16s %14.6g %14.6g  ", d.Name.c_str(), t, cost) + BindsOf(d, iResult, i) + "\n";
  }
  return text;
}

std::string StackupTable(const Problem& iProblem, const Result& iResult)
{
  std::string text =
    Format("%-16s %-12s %12s %25s %12s %14s\n", "stack-up", "law", "value", "limit", "slack", "shadow price");
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    const double v = Entry(iResult.StackupValues, j);
    const bool linear = s.LawOf().Band();
    const std::string limit = linear ? Format("[%g, %g]", s.Lower, s.Upper) : Format("%g", s.Limit);
    const double slack = linear ? std::min(s.Upper - v, v - s.Lower) : s.Limit - v;
    text += Format("%-16s %-12s %12.6g %25s %12.4g %14.6g\n", s.Name.c_str(), LawOf(s).c_str(), v, limit.c_str(), slack,
                   Entry(iResult.StackupPrices, j));
  }
  return text;
}

// Stack-ups and bounds the answer sits on, by the saving a unit of loosening brings, largest first.
std::string WhatBinds(const Problem& iProblem, const Result& iResult)
{
  std::vector<std::pair<double, std::string>> binding;
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    const double v = Entry(iResult.StackupValues, j);
    // An equality's value lies on both sides: the nearer one is rounding.
    const std::string side = !s.LawOf().Band() ? "limit"
      : s.Lower == s.Upper                     ? "equality"
      : UpperSideActive(s, v)                  ? "upper"
                                               : "lower";
    if (OnLimit(s, v))
      binding.emplace_back(Entry(iResult.StackupPrices, j), "stack-up " + s.Name + " (" + side + ")");
  }
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const std::string bound = BindsOf(iProblem.Dimensions[i], iResult, i);
    if (bound == "min" || bound == "max")
      binding.emplace_back(Entry(bound == "min" ? iResult.MinPrices : iResult.MaxPrices, i),
                           bound + " of " + iProblem.Dimensions[i].Name);
  }
  binding.erase(std::remove_if(binding.begin(), binding.end(), [](const auto& b) { return !(b.first > 0.0); }),
                binding.end());
  std::stable_sort(binding.begin(), binding.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::string text = "what binds (saving per unit of loosening):\n";
  for (const auto& [price, what] : binding)
    text += Format("  %-40s %14.6g\n", what.c_str(), price);
  if (!binding.empty())
    return text;
  return text +
    (QAVTasSelectionPrices::AtCheapest(iProblem, iResult)
       ? "  nothing: every tolerance is at its most economical\n"
       : "  no tolerance has a price at this selection, but the stack-ups hold some processes\n"
         "  above their cheapest\n");
}
} // namespace

std::string QAVToolAllocationReport(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult)
{
  std::string text = std::string("status: ") + QAVToolAllocationStatusName(iResult.State);
  if (iResult.State == Result::Status::Infeasible)
    text += " (certified: no tolerances meet every requirement)";
  if (iResult.State != Result::Status::Optimal)
    return text + (iResult.Reason.empty() ? "" : ": " + iResult.Reason) + "\n";
  text += " (certified)\n\n" + DimensionTable(iProblem, iResult) + "\n" + StackupTable(iProblem, iResult) + "\n";
  text += Format("total cost %.10g, lower bound %.10g, relative gap %.2g\n\n", iResult.Cost, iResult.LowerBound,
                 iResult.RelativeGap);
  return text + WhatBinds(iProblem, iResult);
}

// Each stack-up's contributors in percent of its value, and the share of its limit it uses.
void AddContributions(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                      nlohmann::ordered_json& ioAnswer)
{
  const QAVTasStackupContributions k(iProblem, iResult.Tolerances.data());
  nlohmann::ordered_json shares = nlohmann::ordered_json::object(), used = nlohmann::ordered_json::object();
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    nlohmann::ordered_json node = nlohmann::ordered_json::object();
    for (const auto& share : k.Shares[j])
      QAVToolJsonAppend(node, iProblem.Dimensions[share.Dimension].Name, share.Percent);
    QAVToolJsonAppend(shares, iProblem.Stackups[j].Name, std::move(node));
    QAVToolJsonAppend(used, iProblem.Stackups[j].Name, k.Utilisation[j]);
  }
  ioAnswer["contributions"] = std::move(shares);
  ioAnswer["utilisation"] = std::move(used);
}

std::string QAVToolAllocationJson(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult)
{
  return QAVToolJsonText(QAVToolAllocationAnswer(iProblem, iResult));
}

nlohmann::ordered_json QAVToolAllocationAnswer(const QAVTasAllocationProblem& iProblem,
                                               const QAVTasAllocationResult& iResult)
{
  nlohmann::ordered_json answer = {{"status", QAVToolAllocationStatusName(iResult.State)}};
  if (iResult.State != Result::Status::Optimal)
  {
    answer["reason"] = iResult.Reason;
    return answer;
  }
  answer["cost"] = iResult.Cost;
  answer["lower_bound"] = iResult.LowerBound;
  answer["relative_gap"] = iResult.RelativeGap;
  answer["iterations"] = iResult.Iterations;
  answer["tolerances"] = QAVToolAllocationTolerances(iProblem, iResult);
  nlohmann::ordered_json stackups = nlohmann::ordered_json::object();
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    nlohmann::ordered_json node = {{"law", QAVTasAllocationFile::LawName(s.Rule)},
                                   {"value", Entry(iResult.StackupValues, j)}};
    if (s.LawOf().Band())
    {
      node["lower"] = s.Lower;
      node["upper"] = s.Upper;
    }
    else
      node["limit"] = s.Limit;
    node["shadow_price"] = Entry(iResult.StackupPrices, j);
    QAVToolJsonAppend(stackups, s.Name, std::move(node));
  }
  answer["stackups"] = std::move(stackups);
  AddContributions(iProblem, iResult, answer);
  return answer;
}

nlohmann::ordered_json QAVToolAllocationTolerances(const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasAllocationResult& iResult)
{
  nlohmann::ordered_json tolerances = nlohmann::ordered_json::object();
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
    QAVToolJsonAppend(tolerances, iProblem.Dimensions[i].Name, Entry(iResult.Tolerances, i));
  return tolerances;
}

void QAVToolJsonAppend(nlohmann::ordered_json& ioObject, const std::string& iKey, nlohmann::ordered_json iValue)
{
  ioObject.get_ref<nlohmann::ordered_json::object_t&>().emplace_back(iKey, std::move(iValue));
}

std::string QAVToolJsonText(const nlohmann::ordered_json& iAnswer)
{
  return iAnswer.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

const char* QAVToolAllocationStatusName(QAVTasAllocationResult::Status iStatus)
{
  switch (iStatus)
  {
    case Result::Status::Optimal:
      return "optimal";
    case Result::Status::Infeasible:
      return "infeasible";
    case Result::Status::NotSolved:
      break;
  }
  return "not solved";
}

std::string QAVToolAllocationBinds(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                                   std::size_t iDimension)
{
  return BindsOf(iProblem.Dimensions[iDimension], iResult, iDimension);
}

double QAVToolAllocationCost(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                             std::size_t iDimension)
{
  // A dimension made by a process costs what its chosen option costs.
  const Problem::Dimension& d = iProblem.Dimensions[iDimension];
  const std::int32_t chosen = iDimension < iResult.Processes.size() ? iResult.Processes[iDimension] : -1;
  return chosen >= 0 ? d.Options[static_cast<std::size_t>(chosen)].CostValue
                     : d.CostOf.Value(Entry(iResult.Tolerances, iDimension));
}

std::string QAVToolProcessName(const QAVTasAllocationProblem::Dimension& iDimension, std::size_t iOption)
{
  const std::string& name = iDimension.Options[iOption].Process;
  return name.empty() ? "#" + std::to_string(iOption + 1) : name;
}

#include "QAVToolAllocateAnswer.h"

#include "QAVToolText.h"

#include "QAVTasAllocationFile.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasStackupContributions.h"
#include "QAVTasStackupLaw.h"
#include "QAVToolAllocateCapability.h"
#include "QAVToolAllocateDiagnosis.h"
#include "QAVToolAllocateFunctions.h"
#include "QAVToolAllocateYield.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace
{
using Answer = QAVToolAllocateAnswer;
using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;

// A bound or a limit binds when the answer sits on it to this relative distance. Prices alone do not
// tell: an interior-point answer leaves prices of the order of its gap on every inactive bound.
const double kOnBound = 1e-7;

double Entry(const std::vector<double>& iValues, std::size_t iAt)
{
  return iAt < iValues.size() ? iValues[iAt] : std::nan("");
}

const char* StatusName(Result::Status iStatus)
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

// An option's process as the file names it, or "#k" (k counted from 1) when it names none.
std::string ProcessName(const Problem::Dimension& iDimension, std::size_t iOption)
{
  const std::string& name = iDimension.Options[iOption].Process;
  return name.empty() ? "#" + std::to_string(iOption + 1) : name;
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
    return "option " + ProcessName(iDimension, static_cast<std::size_t>(chosen));
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

// An equality's value lies on both sides: the nearer one is rounding.
std::string SideOf(const Problem::Stackup& iStackup, double iValue)
{
  return !iStackup.LawOf().Band()       ? "limit"
    : iStackup.Lower == iStackup.Upper  ? "equality"
    : UpperSideActive(iStackup, iValue) ? "upper"
                                        : "lower";
}

Answer::Band BandOf(const Problem::Stackup& iStackup)
{
  Answer::Band band;
  band.Linear = iStackup.LawOf().Band();
  band.Limit = iStackup.Limit;
  band.Lower = iStackup.Lower;
  band.Upper = iStackup.Upper;
  return band;
}

Answer::Dimension DimensionRow(const Problem& iProblem, const Result& iResult, std::size_t i)
{
  const Problem::Dimension& d = iProblem.Dimensions[i];
  Answer::Dimension row;
  row.Name = d.Name;
  row.Tolerance = Entry(iResult.Tolerances, i);
  row.Binds = BindsOf(d, iResult, i);
  row.Fixed = d.Fixed;
  row.Continuous = !d.Fixed && d.Options.empty();
  row.Min = row.Low = d.Min;
  row.Max = row.High = d.Max;
  if (!d.Options.empty())
  {
    row.Low = row.High = d.Options[0].Tolerance;
    for (const auto& o : d.Options)
      row.Low = std::min(row.Low, o.Tolerance), row.High = std::max(row.High, o.Tolerance);
  }
  // A dimension made by a process costs what its chosen option costs.
  const std::int32_t chosen = i < iResult.Processes.size() ? iResult.Processes[i] : -1;
  row.Cost = chosen >= 0 ? d.Options[static_cast<std::size_t>(chosen)].CostValue : d.CostOf.Value(row.Tolerance);
  if (chosen >= 0 && static_cast<std::size_t>(chosen) < d.Options.size())
  {
    row.Process = ProcessName(d, static_cast<std::size_t>(chosen));
    row.ProcessTolerance = d.Options[static_cast<std::size_t>(chosen)].Tolerance;
  }
  return row;
}

Answer::Stackup StackupRow(const Problem& iProblem, const Result& iResult, std::size_t j)
{
  const Problem::Stackup& s = iProblem.Stackups[j];
  const bool linear = s.LawOf().Band();
  Answer::Stackup row;
  row.Name = s.Name;
  row.Law = QAVTasAllocationFile::LawName(s.Rule);
  row.LawLine = LawOf(s);
  row.HasLaw = s.HasLaw;
  row.Limit = BandOf(s);
  const double v = Entry(iResult.StackupValues, j);
  row.Value = v;
  row.Slack = linear ? std::min(s.Upper - v, v - s.Lower) : s.Limit - v;
  row.Price = Entry(iResult.StackupPrices, j);
  row.Side = SideOf(s, v);
  row.Utilisation = std::nan("");
  return row;
}

// Each stack-up's contributors and the share of its limit it uses, at the allocated tolerances.
void AddContributions(const Problem& iProblem, const Result& iResult, Answer& ioAnswer)
{
  if (iResult.Tolerances.size() != iProblem.Dimensions.size())
    return;
  const QAVTasStackupContributions k(iProblem, iResult.Tolerances.data());
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    Answer::Stackup& row = ioAnswer.Stackups[j];
    row.Utilisation = k.Utilisation[j];
    row.Shares.reserve(k.Shares[j].size());
    for (const auto& share : k.Shares[j])
      row.Shares.push_back({static_cast<std::size_t>(share.Dimension), share.Percent});
  }
}

void SortByPrice(std::vector<Answer::Priced>& ioItems)
{
  ioItems.erase(std::remove_if(ioItems.begin(), ioItems.end(), [](const auto& b) { return !(b.Price > 0.0); }),
                ioItems.end());
  std::stable_sort(ioItems.begin(), ioItems.end(), [](const auto& a, const auto& b) { return a.Price > b.Price; });
}

// The report's list: stack-ups and bounds the answer sits on. The page's: everything with a price.
void AddPrices(const Problem& iProblem, const Result& iResult, Answer& ioAnswer)
{
  using Kind = Answer::Priced::Kind;
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Answer::Stackup& row = ioAnswer.Stackups[j];
    if (OnLimit(iProblem.Stackups[j], row.Value))
      ioAnswer.Binding.push_back({Kind::Stackup, j, row.Price});
    ioAnswer.Prices.push_back({Kind::Stackup, j, row.Price});
  }
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const std::string& bound = ioAnswer.Dimensions[i].Binds;
    if (bound == "min" || bound == "max")
      ioAnswer.Binding.push_back(
        {bound == "min" ? Kind::Min : Kind::Max, i, Entry(bound == "min" ? iResult.MinPrices : iResult.MaxPrices, i)});
    ioAnswer.Prices.push_back({Kind::Min, i, Entry(iResult.MinPrices, i)});
    ioAnswer.Prices.push_back({Kind::Max, i, Entry(iResult.MaxPrices, i)});
  }
  SortByPrice(ioAnswer.Binding);
  SortByPrice(ioAnswer.Prices);
  ioAnswer.AtCheapest = QAVTasSelectionPrices::AtCheapest(iProblem, iResult);
}
} // namespace

QAVToolAllocateAnswer QAVToolAllocateAnswer::Solved(const QAVTasAllocationProblem& iProblem,
                                                    const QAVTasAllocationResult& iResult)
{
  Answer answer;
  answer.State = iResult.State;
  answer.Status = StatusName(iResult.State);
  answer.Reason = iResult.Reason;
  answer.Cost = iResult.Cost;
  answer.LowerBound = iResult.LowerBound;
  answer.RelativeGap = iResult.RelativeGap;
  answer.Iterations = iResult.Iterations;
  answer.Nodes = iResult.Nodes;
  answer.Dimensions.reserve(iProblem.Dimensions.size());
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
    answer.Dimensions.push_back(DimensionRow(iProblem, iResult, i));
  answer.Stackups.reserve(iProblem.Stackups.size());
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    answer.Stackups.push_back(StackupRow(iProblem, iResult, j));
  AddContributions(iProblem, iResult, answer);
  AddPrices(iProblem, iResult, answer);
  answer.FixedDesign = QAVToolAllocateDiagnosis::FixedDesign(iProblem);
  answer.Selected = QAVToolAllocateYield::HasSelection(iResult);
  return answer;
}

// The sections come in the order the command has always worked them out in: the re-solves of what
// a selection holds are timed against the search.
QAVToolAllocateAnswer QAVToolAllocateAnswer::Build(const QAVTasAllocationProblem& iDrawing,
                                                   const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasFunctionAllocation::Result& iSolved,
                                                   const QAVToolAllocateYield& iProcesses, const Run& iRun)
{
  const Result& result = iSolved.Answer;
  Answer answer = Solved(iProblem, result);
  answer.Title = iRun.Title;
  answer.CommandLine = iRun.CommandLine;
  answer.Version = iRun.Version;
  QAVToolAllocateFunctions::Check(iProblem, iSolved, answer);
  answer.Loosening = QAVToolAllocateDiagnosis::Diagnose(iProblem, result, iProcesses.TimeLimit());
  answer.Held = iProcesses.Held(iProblem, result);
  answer.Yield = iProcesses.Yield(iProblem, result);
  answer.Seed = iProcesses.Seed();
  answer.Capabilities = QAVToolAllocateCapability::Analyse(iDrawing, result);
  if (iRun.Curves)
    answer.Curves = QAVToolAllocateCapability::Curves(iProblem, result, answer.BindingStackups);
  answer.CurvePoints = QAVToolAllocateCapability::kCurvePoints;
  return answer;
}

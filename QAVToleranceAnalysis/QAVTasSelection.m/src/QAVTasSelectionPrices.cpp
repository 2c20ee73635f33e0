#include "QAVTasSelectionPrices.h"

#include "QAVTasStackupLaw.h"

#include "QAVTasAllocationDiagnosis.h"

#include <algorithm>
#include <chrono>
#include <utility>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Verdict = QAVTasSelectionPrices::Verdict;

namespace
{
bool HasSelection(const Result& iResult)
{
  return std::any_of(iResult.Processes.begin(), iResult.Processes.end(), [](std::int32_t k) { return k >= 0; });
}

// The range of a dimension's tolerance over every choice it allows.
std::pair<double, double> RangeOf(const Problem::Dimension& iDimension)
{
  if (iDimension.Fixed)
    return {iDimension.Tolerance, iDimension.Tolerance};
  if (iDimension.Options.empty())
    return {iDimension.Min, iDimension.Max};
  const auto [lo, hi] = std::minmax_element(iDimension.Options.begin(), iDimension.Options.end(),
                                            [](const auto& a, const auto& b) { return a.Tolerance < b.Tolerance; });
  return {lo->Tolerance, hi->Tolerance};
}

// Whether no tolerances the problem allows break stack-up j: the laws other than the linear one
// grow with every tolerance, and a linear row's extremes lie at the ends of each range.
bool NeverBroken(const Problem& iProblem, std::size_t j)
{
  const Problem::Stackup& s = iProblem.Stackups[j];
  if (!s.LawOf().Band())
  {
    std::vector<double> loosest(iProblem.Dimensions.size());
    for (std::size_t i = 0; i < loosest.size(); ++i)
      loosest[i] = RangeOf(iProblem.Dimensions[i]).second;
    return iProblem.StackupValue(j, loosest.data()) <= s.Limit;
  }
  double low = 0.0, high = 0.0;
  for (const auto& [i, sensitivity] : s.Sensitivity)
  {
    const auto [lo, hi] = RangeOf(iProblem.Dimensions[static_cast<std::size_t>(i)]);
    low += std::min(sensitivity * lo, sensitivity * hi);
    high += std::max(sensitivity * lo, sensitivity * hi);
  }
  return s.Lower <= low && high <= s.Upper;
}

// Runs the re-solves within one time budget.
class Budget
{
public:
  explicit Budget(const QAVTasProcessSelector::Options& iSearch)
    : _Search(iSearch), _Start(std::chrono::steady_clock::now())
  {
  }

  // The answer to iProblem, or nothing when the budget is spent.
  bool Solve(const Problem& iProblem, Result& oResult) const
  {
    QAVTasProcessSelector::Options search = _Search;
    if (_Search.TimeLimit > 0.0)
    {
      const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - _Start;
      search.TimeLimit = _Search.TimeLimit - spent.count();
      if (search.TimeLimit <= 0.0)
        return false;
    }
    oResult = QAVTasProcessSelector(search).Solve(iProblem);
    return true;
  }

private:
  QAVTasProcessSelector::Options _Search;
  std::chrono::steady_clock::time_point _Start;
};

// How much cheaper a re-solve's best selection is (feasible even when the search did not finish);
// 0 when it found none.
double Cheaper(const Result& iResult, double iCost)
{
  return iResult.State != Result::Status::Infeasible && HasSelection(iResult) ? iCost - iResult.Cost : 0.0;
}
} // namespace

std::vector<QAVTasSelectionPrices::Stackup> QAVTasSelectionPrices::Analyse(const Problem& iProblem,
                                                                           const Result& iResult) const
{
  std::vector<Stackup> report;
  if (iResult.State != Result::Status::Optimal || !HasSelection(iResult))
    return report;
  report.resize(iProblem.Stackups.size());
  const Budget budget(_Options.Search);
  const double noise = 10.0 * _Options.Search.Gap * std::max(1.0, std::fabs(iResult.Cost));
  Problem changed = iProblem;
  std::vector<double> share(report.size(), 0.0);
  Result solved;
  for (std::size_t j = 0; j < report.size(); ++j)
  {
    Stackup& entry = report[j];
    if (NeverBroken(iProblem, j))
    {
      entry = {Verdict::No, 0.0};
      continue;
    }
    share[j] = _Options.Loosening;
    changed.Stackups[j] = QAVTasAllocationDiagnosis::Loosened(iProblem, share).Stackups[j];
    share[j] = 0.0;
    if (budget.Solve(changed, solved))
    {
      const double cheaper = Cheaper(solved, iResult.Cost);
      if (cheaper > noise)
        entry.KeepsCheaperOut = Verdict::Yes;
      if (solved.State == Result::Status::Optimal)
        entry.Saving = cheaper > noise ? cheaper : 0.0;
    }
    changed.Stackups.erase(changed.Stackups.begin() + static_cast<std::ptrdiff_t>(j));
    if (entry.KeepsCheaperOut == Verdict::Unknown && budget.Solve(changed, solved))
    {
      if (Cheaper(solved, iResult.Cost) > noise)
        entry.KeepsCheaperOut = Verdict::Yes;
      else if (solved.State == Result::Status::Optimal)
        entry.KeepsCheaperOut = Verdict::No;
    }
    changed.Stackups = iProblem.Stackups;
  }
  return report;
}

bool QAVTasSelectionPrices::AtCheapest(const Problem& iProblem, const Result& iResult)
{
  for (std::size_t i = 0; i < iProblem.Dimensions.size() && i < iResult.Processes.size(); ++i)
  {
    const auto& options = iProblem.Dimensions[i].Options;
    const std::int32_t chosen = iResult.Processes[i];
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= options.size())
      continue;
    const auto cheapest = std::min_element(options.begin(), options.end(),
                                           [](const auto& a, const auto& b) { return a.CostValue < b.CostValue; });
    if (options[static_cast<std::size_t>(chosen)].CostValue > cheapest->CostValue)
      return false;
  }
  return true;
}

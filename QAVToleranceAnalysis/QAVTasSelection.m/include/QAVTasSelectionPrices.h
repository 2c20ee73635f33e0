#ifndef QAVTasSelectionPrices_H
#define QAVTasSelectionPrices_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasOptimizerExport.h"
#include "QAVTasProcessSelector.h"

#include <cmath>
#include <vector>

// What each stack-up costs a process selection, where shadow prices say nothing: a pure selection
// has no continuous tolerance, so its prices are 0 even when a stack-up holds a dimension above its
// cheapest option. Each answer is a re-solve, so it holds for steps of any size:
// - KeepsCheaperOut: whether the problem without that stack-up has a cheaper selection. A cheaper
//   selection that a re-solve finds (even an unfinished one) proves yes; a stack-up that the
//   loosest options cannot break, or a finished re-solve without it, proves no.
// - Saving: how much less the optimum costs with that stack-up's limit loosened by Loosening of
//   itself, as QAVTasAllocationDiagnosis loosens it (a linear row's band widens on both sides).
//
// Contract: applies to an Optimal result with a selection (Result::Processes); otherwise the
// report is empty. A re-solve that is not finished within the budget leaves Unknown and NaN.
// Differences below the search's Gap (relative to max(1, |cost|)), ten times over, count as 0.
class QAV_TASOPT_API QAVTasSelectionPrices
{
public:
  struct Options
  {
    // The search of every re-solve; its TimeLimit bounds the whole analysis (0: no limit).
    QAVTasProcessSelector::Options Search;
    double Loosening = 0.1;
  };

  enum class Verdict
  {
    Unknown,
    No,
    Yes
  };

  struct Stackup
  {
    Verdict KeepsCheaperOut = Verdict::Unknown;
    double Saving = NAN; // NaN: not known
  };

  QAVTasSelectionPrices() = default;
  explicit QAVTasSelectionPrices(const Options& iOptions) : _Options(iOptions) {}

  // One entry per stack-up of the problem, or none.
  std::vector<Stackup> Analyse(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult) const;

  // Whether every dimension with options sits at one of its cheapest options.
  static bool AtCheapest(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);

private:
  Options _Options;
};

#endif

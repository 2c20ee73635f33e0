#ifndef QAVToolAllocateYield_H
#define QAVToolAllocateYield_H

// Process selection and yield for `qavtas allocate`: the options they add, the solve that picks
// processes when the file lists them, what each stack-up holds of a selection, and the yield.

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasYieldEstimator.h"

#include "QAVToolCli.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QAVToolAllocateYield
{
public:
  // --max-nodes K, --time-limit S, --yield N, --seed S, --qmc.
  void Declare(QAVToolCli& ioCli);
  // Throws a usage error for options that follow a simulation not asked for (--seed, --qmc).
  void CheckUsage() const;
  double TimeLimit() const { return _TimeLimit; } // seconds; 0: none

  // The process selector (a proven optimum over the options, or the continuous solver's answer
  // when no dimension has options), within the node and time limits; iObserver watches the search.
  QAVTasAllocationResult Solve(const QAVTasAllocationProblem& iProblem,
                               const QAVTasProcessSelector::Observer& iObserver = {}) const;

  // For an optimal pure selection (no continuous dimension), what each stack-up holds of it,
  // re-solved within the same node limit and time limit (without one: 20 times the time Solve
  // took, at least 2 s); else empty. SIGINT or SIGTERM stop the re-solves: what they did not settle
  // stays not known.
  std::vector<QAVTasSelectionPrices::Stackup> Held(const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasAllocationResult& iResult) const;

  // With --yield, the simulated yield of an answer that allocates every tolerance; else null.
  std::optional<QAVTasYieldEstimator::Report> Yield(const QAVTasAllocationProblem& iProblem,
                                                    const QAVTasAllocationResult& iResult) const;
  std::int32_t Seed() const { return _Seed.value_or(1); }

  // A selection to show: an optimum's, or the best of a search a limit stopped.
  static bool HasSelection(const QAVTasAllocationResult& iResult);

private:
  QAVTasProcessSelector::Options Search() const;

  std::int32_t _MaxNodes = 1000000;
  double _TimeLimit = 0.0;           // 0: none
  mutable double _Searched = 0.0;    // seconds the last Solve took
  std::int32_t _Samples = 0;         // 0: no yield
  std::optional<std::int32_t> _Seed; // 1 when not given
  bool _Qmc = false;
};

#endif

#ifndef QAVToolAllocateYield_H
#define QAVToolAllocateYield_H

// Process selection and yield for `qavtas allocate`: the options they add, the solve that picks
// processes when the file lists them, and their part of the human report and of the JSON.

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasYieldEstimator.h"

#include "QAVToolCli.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
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
  // took, at least 2 s); else empty.
  std::vector<QAVTasSelectionPrices::Stackup> Held(const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasAllocationResult& iResult) const;

  // The command's report with the chosen processes, the best selection of an unfinished search and
  // the simulated yield (ipYield, may be null) added; ExtendJson adds them to its JSON answer: keys
  // "processes": {dimension: process}, "yield": {...} and "method": "mc" or "qmc".
  std::string Extend(const std::string& iReport, const QAVTasAllocationProblem& iProblem,
                     const QAVTasAllocationResult& iResult, const QAVTasYieldEstimator::Report* ipYield) const;
  void ExtendJson(nlohmann::ordered_json& ioAnswer, const QAVTasAllocationProblem& iProblem,
                  const QAVTasAllocationResult& iResult, const QAVTasYieldEstimator::Report* ipYield) const;

  // With --yield, the simulated yield of an answer that allocates every tolerance; else null.
  std::unique_ptr<QAVTasYieldEstimator::Report> Yield(const QAVTasAllocationProblem& iProblem,
                                                      const QAVTasAllocationResult& iResult) const;

private:
  QAVTasProcessSelector::Options Search() const;
  std::string TextAnswer(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                         const QAVTasYieldEstimator::Report* ipYield) const;

  std::int32_t _MaxNodes = 1000000;
  double _TimeLimit = 0.0;           // 0: none
  mutable double _Searched = 0.0;    // seconds the last Solve took
  std::int32_t _Samples = 0;         // 0: no yield
  std::optional<std::int32_t> _Seed; // 1 when not given
  bool _Qmc = false;
};

#endif

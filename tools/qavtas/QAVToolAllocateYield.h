#ifndef QAVToolAllocateYield_H
#define QAVToolAllocateYield_H

// Process selection and yield for `qavtas allocate`: the options they add, the solve that picks
// processes when the file lists them, and their part of the human report and of the JSON.

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasYieldEstimator.h"
#include "QAVToolOptions.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>

class QAVToolAllocateYield
{
public:
  // Help lines for the options below, in the layout of `qavtas allocate --help`.
  static const char kHelp[];

  // Takes the option iName (and its value) when it is one of ours: --yield N, --seed S, --qmc,
  // --max-nodes K, --time-limit S. Returns false for any other option. Bad values are usage errors.
  bool Parse(const std::string& iName, QAVToolOptions& ioOptions);

  // The process selector (a proven optimum over the options, or the continuous solver's answer
  // when no dimension has options), within the node and time limits.
  QAVTasAllocationResult Solve(const QAVTasAllocationProblem& iProblem) const;

  // Simulates the allocation when --yield was given and the result holds tolerances (not
  // infeasible); later calls of Print and AddJson show it.
  void Simulate(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);

  // The chosen processes (when any dimension has options) and the yield table.
  void Print(std::ostream& oOut, const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult) const;
  // "processes": {dimension: process} and "yield": {...}, with "method": "mc" or "qmc".
  void AddJson(nlohmann::json& ioOut, const QAVTasAllocationProblem& iProblem,
               const QAVTasAllocationResult& iResult) const;

private:
  std::int64_t _MaxNodes = 1000000;
  double _TimeLimit = 0.0;
  QAVTasYieldEstimator::Options _Yield;
  bool _WantsYield = false, _HasYield = false;
  QAVTasYieldEstimator::Report _Report;
};

#endif

#ifndef QAVToolAllocateFunctions_H
#define QAVToolAllocateFunctions_H

// What 'qavtas allocate' says about stack-ups given by their function: the sensitivities used (at
// the nominals), the worst case on the linear model and on the true function (certified) against
// the limit and the model's tightened limit, and the yield simulated on both.

#include "QAVTasFunctionAllocation.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

class QAVToolAllocateFunctions
{
public:
  static constexpr std::int64_t kSamples = 100000; // assemblies of the yields, seed 1

  QAVToolAllocateFunctions(const QAVTasAllocationProblem& iProblem, const QAVTasFunctionAllocation::Result& iResult);

  // The report with a section per function stack-up added; ExtendJson adds "functions": {name:
  // {"function", "sensitivities": {dimension: s}, "reference", "range": [min, max], "linear_value",
  // "true_value", "true_bound", "certified", "limit", "model_limit", "yield": {"samples", "model",
  // "model_ci95", "true", "true_ci95"}}} and "function_solves". Both leave a problem without
  // function stack-ups as it is.
  std::string Extend(const std::string& iReport) const;
  void ExtendJson(nlohmann::ordered_json& ioAnswer) const;
  // The same as a section of the page (empty without function stack-ups).
  std::string Html() const;

private:
  const QAVTasAllocationProblem& _Problem;
  const QAVTasFunctionAllocation::Result& _Result;
  std::vector<QAVTasFunctionAllocation::Yield> _Yields;
  bool _Any = false;
};

#endif

#ifndef QAVToolAllocateDiagnosis_H
#define QAVToolAllocateDiagnosis_H

// What 'qavtas allocate' says about an infeasible problem: the least loosening of the limits that
// makes it feasible and, for a design whose tolerances are all fixed, each stack-up's value, limit
// and utilisation.

#include "QAVTasAllocationDiagnosis.h"
#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

class QAVToolAllocateDiagnosis
{
public:
  // A row of the page's table: a stack-up to loosen, by how much, its limit before and after.
  struct Row
  {
    std::string Name;
    double Amount;
    std::string Limit, Loosened;
  };

  // Diagnoses a certified infeasible answer, its search over options within iTimeLimit seconds
  // (0: none); any other answer is left as it is.
  QAVToolAllocateDiagnosis(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                           double iTimeLimit);

  // The report with the analysis added; ExtendJson adds it to the JSON answer: keys "relaxation":
  // {stack-up: amount} (those above 0; null with "relaxation_reason" when none was found),
  // "conflict": [stack-up] (those loosened and those on their limit at the least loosening) and, for
  // a fixed design, "tolerances" and "stackups": {name: {"law", "value", "limit" or "lower" and
  // "upper", "utilisation"}}.
  std::string Extend(const std::string& iReport) const;
  void ExtendJson(nlohmann::ordered_json& ioAnswer) const;
  std::vector<Row> Rows() const;
  // Every dimension fixed: no free tolerance, no options.
  static bool FixedDesign(const QAVTasAllocationProblem& iProblem);

private:
  std::string Text() const;
  std::string LimitOf(std::size_t iStackup, double iR) const;

  const QAVTasAllocationProblem& _Problem;
  const QAVTasAllocationResult& _Result;
  std::unique_ptr<QAVTasAllocationDiagnosis::Report> _Report; // null: no diagnosis
};

#endif

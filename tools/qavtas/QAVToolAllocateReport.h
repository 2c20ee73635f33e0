#ifndef QAVToolAllocateReport_H
#define QAVToolAllocateReport_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

// The answers of 'qavtas allocate' to a solved problem. The report: the status; for an optimum,
// a table of dimensions (tolerance, cost, the bound that binds), a table of stack-ups (law, value,
// limit, slack, shadow price), the total cost with its certificate, and what binds, most costly
// first. The JSON: one object with the status and, for an optimum, the cost, its certificate, the
// tolerances and the stack-ups by name.
std::string QAVToolAllocationReport(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);
std::string QAVToolAllocationJson(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);
// The JSON answer as an object, for keys to be added before it is printed once.
nlohmann::ordered_json QAVToolAllocationAnswer(const QAVTasAllocationProblem& iProblem,
                                               const QAVTasAllocationResult& iResult);
// {dimension: tolerance} of the answer.
nlohmann::ordered_json QAVToolAllocationTolerances(const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasAllocationResult& iResult);
// Adds a member to a JSON object without looking for the key first: an ordered object looks keys up
// one by one, so filling one by name would take quadratic time. Names of a problem are unique.
void QAVToolJsonAppend(nlohmann::ordered_json& ioObject, const std::string& iKey, nlohmann::ordered_json iValue);
// The answer's one line of JSON.
std::string QAVToolJsonText(const nlohmann::ordered_json& iAnswer);
// "optimal", "infeasible" or "not solved", as the answers say it.
const char* QAVToolAllocationStatusName(QAVTasAllocationResult::Status iStatus);
// A dimension's cost at the answer: its chosen option's, else its cost model's.
double QAVToolAllocationCost(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                             std::size_t iDimension);
// An option's process as the file names it, or "#k" (k counted from 1) when it names none.
std::string QAVToolProcessName(const QAVTasAllocationProblem::Dimension& iDimension, std::size_t iOption);
// What holds a dimension's tolerance: "min" or "max" when the answer sits on that bound, "fixed",
// "option PROCESS", or "-".
std::string QAVToolAllocationBinds(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                                   std::size_t iDimension);

#endif

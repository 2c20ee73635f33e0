#ifndef QAVToolAllocateReport_H
#define QAVToolAllocateReport_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"

#include <cstddef>
#include <string>

// The answers of 'qavtas allocate' to a solved problem. The report: the status; for an optimum,
// a table of dimensions (tolerance, cost, the bound that binds), a table of stack-ups (law, value,
// limit, slack, shadow price), the total cost with its certificate, and what binds, most costly
// first. The JSON: one object with the status and, for an optimum, the cost, its certificate, the
// tolerances and the stack-ups by name.
std::string QAVToolAllocationReport(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);
std::string QAVToolAllocationJson(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);
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

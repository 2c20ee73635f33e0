#ifndef QAVToolAllocateReport_H
#define QAVToolAllocateReport_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"

#include <string>

// The answers of 'qavtas allocate' to a solved problem. The report: the status; for an optimum,
// a table of dimensions (tolerance, cost, the bound that binds), a table of stack-ups (law, value,
// limit, slack, shadow price), the total cost with its certificate, and what binds, most costly
// first. The JSON: one object with the status and, for an optimum, the cost, its certificate, the
// tolerances and the stack-ups by name.
std::string QAVToolAllocationReport(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);
std::string QAVToolAllocationJson(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);

#endif

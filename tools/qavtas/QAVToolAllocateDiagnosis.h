#ifndef QAVToolAllocateDiagnosis_H
#define QAVToolAllocateDiagnosis_H

// What `qavtas allocate` works out about an infeasible problem: the least loosening of the limits
// that makes it feasible, and the stack-ups in conflict there.

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVToolAllocateAnswer.h"

class QAVToolAllocateDiagnosis
{
public:
  // Diagnoses a certified infeasible answer, its search over options within iTimeLimit seconds
  // (0: none); any other answer has none (not Ran).
  static QAVToolAllocateAnswer::Diagnosis Diagnose(const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasAllocationResult& iResult, double iTimeLimit);
  // Every dimension fixed: no free tolerance, no options.
  static bool FixedDesign(const QAVTasAllocationProblem& iProblem);
};

#endif

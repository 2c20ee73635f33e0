#ifndef QAVTasToleranceExactSolver_H
#define QAVTasToleranceExactSolver_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasOptimizerExport.h"

// The certified answer to a tolerancing problem given as an allocation problem (as
// QAVTasToleranceDataFile reads it): minimise sum 1/X_i within the X domains and the Y bounds, to a
// relative duality gap of 1e-9 (QAVTasAllocationSolver). A lower X bound <= 0 only asks X > 0; an
// upper bound <= 0 admits no X, and the answer is Infeasible. A problem without X is NotSolved.
class QAV_TASOPT_API QAVTasToleranceExactSolver
{
public:
  static QAVTasAllocationResult Solve(QAVTasAllocationProblem iProblem);
};

#endif

#include "QAVTasAllocationSolver.h"

// Placeholder until the interior-point method lands: it proves nothing, so it claims nothing.
QAVTasAllocationResult QAVTasAllocationSolver::Solve(const QAVTasAllocationProblem& iProblem) const
{
  QAVTasAllocationResult result;
  result.Reason = "solver not available";
  result.Tolerances.assign(iProblem.Dimensions.size(), 0.0);
  return result;
}

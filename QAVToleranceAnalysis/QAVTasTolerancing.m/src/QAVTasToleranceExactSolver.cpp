#include "QAVTasToleranceExactSolver.h"

#include "QAVTasAllocationSolver.h"

namespace
{
const double kOpenFloor = 1.0e-12; // lower bound standing for X > 0, relative to Xsup
} // namespace

QAVTasAllocationResult QAVTasToleranceExactSolver::Solve(QAVTasAllocationProblem iProblem)
{
  QAVTasAllocationResult result;
  if (iProblem.Dimensions.empty())
    return result.Reason = "the problem has no tolerance to choose", result;
  bool noX = false;
  for (QAVTasAllocationProblem::Dimension& d : iProblem.Dimensions)
  {
    noX = noX || !(d.Max > 0.0);
    // A floor far below any answer keeps the domain open.
    d.Min = d.Min > 0.0 ? d.Min : kOpenFloor * d.Max;
  }
  if (noX)
    return result.State = QAVTasAllocationResult::Status::Infeasible, result.Reason = "an upper X bound is <= 0",
           result;
  return QAVTasAllocationSolver().Solve(iProblem);
}

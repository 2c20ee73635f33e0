#include "QAVTasProcessSelector.h"

#include "QAVTasProcessSearch.h"

#include <algorithm>

QAVTasAllocationResult QAVTasProcessSelector::Solve(const QAVTasAllocationProblem& iProblem) const
{
  const bool anyOptions = std::any_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(),
                                      [](const QAVTasAllocationProblem::Dimension& d) { return !d.Options.empty(); });
  if (!anyOptions)
  {
    QAVTasAllocationResult result = QAVTasAllocationSolver(_Options.Relaxation).Solve(iProblem);
    result.Processes.assign(iProblem.Dimensions.size(), -1);
    return result;
  }
  return QAVTasProcessSearch(iProblem, _Options).Run();
}

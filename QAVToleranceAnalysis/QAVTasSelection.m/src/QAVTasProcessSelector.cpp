#include "QAVTasProcessSelector.h"

#include "QAVTasProcessSearch.h"

#include <algorithm>
#include <cmath>

std::string QAVTasProcessSelector::Defects(const Options& iOptions)
{
  std::string defects;
  const auto add = [&](bool iBad, const std::string& iWhat)
  {
    if (iBad && !iWhat.empty())
      defects += (defects.empty() ? "" : "; ") + iWhat;
  };
  add(iOptions.MaxNodes < 1, "Options.MaxNodes: must be >= 1");
  add(!(std::isfinite(iOptions.TimeLimit) && iOptions.TimeLimit >= 0.0),
      "Options.TimeLimit: must be a finite number >= 0");
  add(!(std::isfinite(iOptions.Gap) && iOptions.Gap > 0.0), "Options.Gap: must be a finite number > 0");
  add(true, QAVTasAllocationSolver::Defects(iOptions.Relaxation, "Options.Relaxation."));
  return defects;
}

QAVTasAllocationResult QAVTasProcessSelector::Solve(const QAVTasAllocationProblem& iProblem) const
{
  std::string reason = iProblem.Defects();
  const std::string options = Defects(_Options);
  if (!options.empty())
    reason += (reason.empty() ? "" : "; ") + options;
  if (!reason.empty())
  {
    QAVTasAllocationResult refused;
    refused.Reason = reason;
    return refused;
  }
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

#ifndef QAVSelectionEnumeration_H
#define QAVSelectionEnumeration_H

// The reference optimum of a process selection, by trying every selection; the process-selection
// tests and the allocation fuzz target both hold the selector to it.

#include "QAVTasAllocationProblem.h"

#include <algorithm>
#include <cmath>
#include <vector>

// The least cost of a selection that meets every requirement (HUGE_VAL: none does); dimensions
// without options keep their tolerance and cost. NaN when a dimension is continuous or there are
// more than iMost selections.
inline double QAVEnumeratedOptimum(const QAVTasAllocationProblem& iProblem, double iMost = HUGE_VAL)
{
  const std::size_t n = iProblem.Dimensions.size();
  double count = 1.0;
  for (const auto& d : iProblem.Dimensions)
  {
    if (d.Options.empty() && !d.Fixed)
      return NAN;
    count *= static_cast<double>(std::max<std::size_t>(1, d.Options.size()));
  }
  if (count > iMost)
    return NAN;
  std::vector<std::size_t> pick(n, 0);
  std::vector<double> t(n);
  double best = HUGE_VAL;
  for (std::size_t i = 0; i < n;)
  {
    double cost = 0.0;
    for (std::size_t k = 0; k < n; ++k)
    {
      const auto& d = iProblem.Dimensions[k];
      t[k] = d.Options.empty() ? d.Tolerance : d.Options[pick[k]].Tolerance;
      cost += d.Options.empty() ? d.CostOf.Value(d.Tolerance) : d.Options[pick[k]].CostValue;
    }
    if (iProblem.MaxViolation(t.data()) <= 1e-9)
      best = std::min(best, cost);
    for (i = 0; i < n && ++pick[i] >= std::max<std::size_t>(1, iProblem.Dimensions[i].Options.size()); ++i)
      pick[i] = 0;
  }
  return best;
}

#endif

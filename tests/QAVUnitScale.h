#ifndef QAVUnitScale_H
#define QAVUnitScale_H

#include "QAVTasAllocationProblem.h"

#include <cmath>

// The same problem in another length unit, k new units to the old one: every tolerance, bound,
// limit and option k times larger, every cost parameter changed so that each cost stays the same
// (a + b/t: b k; a + b/t^p: b k^p; a + b exp(-m t): m / k; a table's t times k).
inline QAVTasAllocationProblem QAVInUnits(QAVTasAllocationProblem iProblem, double iK)
{
  using Problem = QAVTasAllocationProblem;
  for (Problem::Dimension& d : iProblem.Dimensions)
  {
    d.Min *= iK, d.Max *= iK, d.Tolerance *= iK;
    for (Problem::Option& o : d.Options)
      o.Tolerance *= iK;
    Problem::Cost& c = d.CostOf;
    if (c.Model == Problem::CostModel::Reciprocal)
      c.B *= iK;
    else if (c.Model == Problem::CostModel::Power)
      c.B *= std::pow(iK, c.K);
    else if (c.Model == Problem::CostModel::Exponential)
      c.M /= iK;
    for (auto& point : c.Points)
      point.first *= iK;
  }
  for (Problem::Stackup& s : iProblem.Stackups)
    s.Limit *= iK, s.Lower *= iK, s.Upper *= iK;
  return iProblem;
}

#endif

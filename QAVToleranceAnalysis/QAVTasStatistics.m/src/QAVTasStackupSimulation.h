#ifndef QAVTasStackupSimulation_H
#define QAVTasStackupSimulation_H

#include "QAVTasStackupAnalysis.h"

#include <vector>

// The Monte Carlo of QAVTasStackupAnalysis: every stack-up over the same simulated assemblies.
namespace QAVTasStackupSimulation
{
// How each dimension is drawn: Mean + Scale X, X of its distribution (QAVTasSampleBlocks::Deviates).
struct Draws
{
  std::vector<QAVTasAllocationProblem::Distribution> Spread;
  std::vector<double> Mean, Scale;
};

// A stack-up to simulate: its function, limits, the value its sums are taken about and the range
// of its histogram.
struct Target
{
  const QAVTasStackupFunction* Function = nullptr;
  bool HasLsl = false, HasUsl = false;
  double Lsl = 0.0, Usl = 0.0;
  double Reference = 0.0;
  double Low = 0.0, High = 0.0;
};

// Fills each stack-up's Mc (one per target) and the joint yield of ioResult.
void Run(const Draws& iDraws, const std::vector<Target>& iTargets, const QAVTasStackupAnalysis::Settings& iSettings,
         QAVTasStackupAnalysis::Result& ioResult);
} // namespace QAVTasStackupSimulation

#endif

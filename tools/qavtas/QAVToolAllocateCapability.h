#ifndef QAVToolAllocateCapability_H
#define QAVToolAllocateCapability_H

// What `qavtas allocate` works out in the drawing's terms: per stack-up with a limit, its mean,
// sigma, Cp, Cpk and ppm at the allocated tolerances (QAVTasStackupAnalysis, a simulation of
// kSamples assemblies where an input is not normal) and the simulated joint yield beside the yield
// target; for the page, the trade-off curve of each binding stack-up (the optimal cost as its
// limit goes from 0.5 to 2 times its value).

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVToolAllocateAnswer.h"

#include <cstdint>
#include <vector>

class QAVToolAllocateCapability
{
public:
  static constexpr std::int64_t kSamples = 100000;
  static constexpr int kCurvePoints = 21;
  static constexpr std::size_t kMostCurves = 6; // a page of a few curves; each costs kCurvePoints solves

  // iDrawing as read; does not apply when no stack-up has a limit or nothing was allocated.
  static QAVToolAllocateAnswer::Capability Analyse(const QAVTasAllocationProblem& iDrawing,
                                                   const QAVTasAllocationResult& iResult);
  // iSolver the problem that was solved (QAVTasTargetRows::SolverProblem): none unless it is a
  // continuous problem solved to optimality. The kMostCurves binding stack-ups whose loosening saves
  // most (price times limit), costliest first; oBinding counts every binding stack-up.
  static std::vector<QAVToolAllocateAnswer::Curve> Curves(const QAVTasAllocationProblem& iSolver,
                                                          const QAVTasAllocationResult& iResult, std::size_t& oBinding);
};

#endif

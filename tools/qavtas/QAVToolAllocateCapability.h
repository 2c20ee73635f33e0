#ifndef QAVToolAllocateCapability_H
#define QAVToolAllocateCapability_H

// What 'qavtas allocate' adds in the drawing's terms: per stack-up with a limit, its mean, sigma,
// Cp, Cpk and ppm at the allocated tolerances (QAVTasStackupAnalysis, a simulation of kSamples
// assemblies where an input is not normal) and the simulated joint yield beside the yield target;
// for the page, the trade-off curve of each binding stack-up (the optimal cost as its limit goes
// from 0.5 to 2 times its value).
#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasStackupAnalysis.h"

#include <nlohmann/json.hpp>

#include <string>

class QAVToolAllocateCapability
{
public:
  static constexpr std::int64_t kSamples = 100000;
  static constexpr int kCurvePoints = 21;

  // iDrawing as read, iSolver the problem that was solved (QAVTasTargetRows::SolverProblem).
  QAVToolAllocateCapability(const QAVTasAllocationProblem& iDrawing, const QAVTasAllocationProblem& iSolver,
                            const QAVTasAllocationResult& iResult);

  // The report with the capability added, and the JSON answer with it as "capability": {"samples",
  // "stackups": {name: {"mean", "sigma", "cp", "cpk", "ppm_below", "ppm_above"}}, "joint":
  // {"target", "yield", "ci95"}}; both unchanged when no stack-up has a limit or nothing was allocated.
  std::string Extend(const std::string& iReport) const;
  void ExtendJson(nlohmann::ordered_json& ioAnswer) const;
  // The page's sections: the capability table and the trade-off curves.
  std::string Html() const;

private:
  std::string Text() const;
  std::string Curves() const;

  const QAVTasAllocationProblem& _Drawing;
  const QAVTasAllocationProblem& _Solver;
  const QAVTasAllocationResult& _Result;
  bool _Applies = false;
  QAVTasStackupAnalysis::Result _Analysis;
};

#endif

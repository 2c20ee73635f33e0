#ifndef QAVToolAllocateAnswer_H
#define QAVToolAllocateAnswer_H

// Everything one run of `qavtas allocate` shows, built once from the problem and its solve: the
// report, the JSON, the picture and the page each render it and work nothing out of their own.

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasFunctionAllocation.h"
#include "QAVTasYieldEstimator.h"
#include "QAVToolAllocateCapability.h"
#include "QAVToolAllocateDiagnosis.h"
#include "QAVToolAllocateFunctions.h"
#include "QAVToolAllocateSelection.h"
#include "QAVToolAllocateYield.h"

#include <memory>
#include <string>

class QAVToolAllocateAnswer
{
public:
  // What names the run on the picture and the page.
  struct Labels
  {
    std::string Title;
    std::string CommandLine;
    std::string Version;
  };

  // iDrawing as read, iProblem the problem solved (QAVTasTargetRows::SolverProblem) and iSolved its
  // solve; iProcesses the run's selection and yield options, which it keeps.
  QAVToolAllocateAnswer(QAVTasAllocationProblem iDrawing, QAVTasAllocationProblem iProblem,
                        QAVTasFunctionAllocation::Result iSolved, const QAVToolAllocateYield& iProcesses,
                        Labels iLabels);
  QAVToolAllocateAnswer(const QAVToolAllocateAnswer&) = delete;
  QAVToolAllocateAnswer& operator=(const QAVToolAllocateAnswer&) = delete;

  const Labels Names;
  const QAVTasAllocationProblem Drawing;
  const QAVTasAllocationProblem Problem;
  const QAVTasFunctionAllocation::Result Solved;
  const QAVTasAllocationResult& Result; // Solved.Answer
  const QAVToolAllocateYield& Processes;
  const QAVToolAllocateFunctions Functions;
  const QAVToolAllocateDiagnosis Diagnosis;
  const QAVToolSelectionHeld Held;
  const std::unique_ptr<const QAVTasYieldEstimator::Report> Yield; // null without --yield
  const QAVToolAllocateCapability Capability;
};

#endif

#include "QAVToolAllocateText.h"

#include "QAVToolAllocateReport.h"

std::string QAVToolAllocateText::Report(const QAVToolAllocateAnswer& iAnswer)
{
  const QAVTasAllocationProblem& problem = iAnswer.Problem;
  const std::string text = iAnswer.Processes.Extend(
    QAVToolAddSelection(iAnswer.Diagnosis.Extend(QAVToolAllocationReport(problem, iAnswer.Result)), problem,
                        iAnswer.Held),
    problem, iAnswer.Result, iAnswer.Yield.get());
  return iAnswer.Capability.Extend(iAnswer.Functions.Extend(text));
}

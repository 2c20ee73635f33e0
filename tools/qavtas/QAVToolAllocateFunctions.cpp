#include "QAVToolAllocateFunctions.h"

void QAVToolAllocateFunctions::Check(const QAVTasAllocationProblem& iProblem,
                                     const QAVTasFunctionAllocation::Result& iResult, QAVToolAllocateAnswer& ioAnswer)
{
  bool any = false;
  for (const QAVTasAllocationProblem::Stackup& s : iProblem.Stackups)
    any = any || !s.Function.empty();
  if (!any || iResult.Checks.empty())
    return;
  const std::vector<QAVTasFunctionAllocation::Yield> yields =
    QAVTasFunctionAllocation().Yields(iProblem, iResult.Answer.Tolerances, kSamples, 1);
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const QAVTasAllocationProblem::Stackup& s = iProblem.Stackups[j];
    if (s.Function.empty())
      continue;
    QAVToolAllocateAnswer::Function row;
    row.Stackup = j;
    row.Text = s.Function;
    for (const auto& [i, w] : s.Sensitivity)
      row.Sensitivities.emplace_back(static_cast<std::size_t>(i), w);
    row.Check = iResult.Checks[j];
    ioAnswer.LocalOptimum =
      ioAnswer.LocalOptimum || (row.Check.Tangent && iResult.Answer.State == QAVTasAllocationResult::Status::Optimal);
    row.LinearValue = iProblem.StackupValue(j, iResult.Answer.Tolerances.data());
    if (j < yields.size())
      row.Yield = yields[j];
    ioAnswer.Functions.push_back(std::move(row));
  }
  ioAnswer.FunctionSolves = iResult.Rounds;
  ioAnswer.FunctionSamples = kSamples;
}

#include "QAVToolAllocateJson.h"

#include "QAVToolAllocateReport.h"

#include <nlohmann/json.hpp>

std::string QAVToolAllocateJson::Text(const QAVToolAllocateAnswer& iAnswer)
{
  const QAVTasAllocationProblem& problem = iAnswer.Problem;
  nlohmann::ordered_json answer = QAVToolAllocationAnswer(problem, iAnswer.Result);
  iAnswer.Diagnosis.ExtendJson(answer);
  iAnswer.Functions.ExtendJson(answer);
  QAVToolAddSelectionJson(answer, problem, iAnswer.Held);
  iAnswer.Processes.ExtendJson(answer, problem, iAnswer.Result, iAnswer.Yield.get());
  iAnswer.Capability.ExtendJson(answer);
  return QAVToolJsonText(answer);
}

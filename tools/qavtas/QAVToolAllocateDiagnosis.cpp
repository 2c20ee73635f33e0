#include "QAVToolAllocateDiagnosis.h"

#include "QAVTasAllocationDiagnosis.h"
#include "QAVTasStackupLaw.h"

namespace
{
using Problem = QAVTasAllocationProblem;
using Answer = QAVToolAllocateAnswer;

// The limit of a stack-up loosened by r: a limit grows by r times its scale, a band on both sides.
Answer::Band Loosened(const Problem& iProblem, std::size_t iStackup, double iR)
{
  const Problem::Stackup& s = iProblem.Stackups[iStackup];
  const double amount = iR * QAVTasAllocationDiagnosis::Scale(iProblem, iStackup);
  Answer::Band band;
  band.Linear = s.LawOf().Band();
  band.Limit = s.Limit + amount;
  band.Lower = s.Lower - amount;
  band.Upper = s.Upper + amount;
  return band;
}
} // namespace

bool QAVToolAllocateDiagnosis::FixedDesign(const Problem& iProblem)
{
  for (const Problem::Dimension& d : iProblem.Dimensions)
    if (!d.Fixed)
      return false;
  return true;
}

Answer::Diagnosis QAVToolAllocateDiagnosis::Diagnose(const Problem& iProblem, const QAVTasAllocationResult& iResult,
                                                     double iTimeLimit)
{
  Answer::Diagnosis diagnosis;
  if (iResult.State != QAVTasAllocationResult::Status::Infeasible)
    return diagnosis;
  QAVTasAllocationDiagnosis::Options options;
  options.TimeLimit = iTimeLimit;
  const QAVTasAllocationDiagnosis::Report report = QAVTasAllocationDiagnosis(options).Diagnose(iProblem);
  diagnosis.Ran = true;
  diagnosis.Solved = report.Solved;
  diagnosis.Reason = report.Reason;
  diagnosis.Total = report.Total;
  diagnosis.LowerBound = report.LowerBound;
  if (!report.Solved)
    return diagnosis;
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    if (report.Loosening[j] > 0.0)
      diagnosis.Rows.push_back({j, report.Loosening[j], Loosened(iProblem, j, report.Loosening[j])});
  for (const std::int32_t j : report.Conflict)
    diagnosis.Conflict.push_back(static_cast<std::size_t>(j));
  return diagnosis;
}

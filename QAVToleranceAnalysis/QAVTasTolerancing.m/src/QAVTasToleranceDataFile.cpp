#include "QAVTasToleranceDataFile.h"

#include "ErrorDepthHandler.h"
#include "QAVTasDataFileItems.h"
#include "QAVTasDataScanner.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVTasToleranceModel.h"
#include "QAVTasToleranceStaging.h"

namespace
{
using Model = QAVTasToleranceModel;
using Items = QAVTasDataFileItems;
using Result = QAVTasToleranceDataFile::Result;

const char* ExpectedAt(std::int32_t iReportLine)
{
  const char* expected = Items::Expected(iReportLine);
  return expected != nullptr ? expected : "a line end";
}

// The problem of a text read in full, checked as every solver checks it.
void Describe(const QAVTasToleranceStaging& iRead, const QAVTasTextScanner& iIn, Result& oResult)
{
  const Model model(iRead.ny, iRead.nx, iRead.w, iRead.ymin, iRead.ymax, iRead.xinf, iRead.xsup);
  oResult.Form = iRead.form;
  std::int64_t value = 0;
  const Model::DataFault fault = model.CheckData(false, &value);
  if (fault != Model::DataFault::None)
  {
    oResult.State = QAVTasToleranceDataFile::Status::Unsolvable;
    oResult.Line = iIn.ValueLine(static_cast<std::size_t>(value));
    oResult.Expected = ExpectedAt(QAVTasToleranceModel::ReportLine(fault));
    return;
  }
  oResult.State = QAVTasToleranceDataFile::Status::Read;
  oResult.Problem = model.AllocationProblem();
  if (iRead.form == 2 && model.CheckData(true) == Model::DataFault::XBoundNotPositive)
    oResult.GeneticExpected = ExpectedAt(Items::kXNotPositive);
}

Result ReadText(const std::string& iText, QAVTasToleranceStaging& oRead)
{
  ErrorDepthHandler depth;
  Result result;
  QAVTasTextScanner in(iText);
  if (oRead.Read(in) != S_OK)
  {
    result.Line = in.StopLine();
    result.Expected = ExpectedAt(oRead.stoppedAt);
    return result;
  }
  Describe(oRead, in, result);
  return result;
}
} // namespace

QAVTasToleranceDataFile::Result QAVTasToleranceDataFile::Read(const std::string& iText)
{
  QAVTasToleranceStaging read;
  return ReadText(iText, read);
}

QAVTasToleranceDataFile::Result QAVTasToleranceDataFile::Read(const std::string& iText,
                                                              QAVTasOptimizerTolerancing& ioOptimizer)
{
  QAVTasToleranceStaging read;
  Result result = ReadText(iText, read);
  if (result.State == Status::Malformed || ioOptimizer.Adopt(read) == S_OK)
    return result;
  Result noMemory; // for the optimizer's working buffer
  noMemory.Line = 1;
  noMemory.Expected = ExpectedAt(Items::kNx);
  return noMemory;
}

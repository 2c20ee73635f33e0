#ifndef QAVToleranceReadersAgree_H
#define QAVToleranceReadersAgree_H

// The typed reader of a tolerancing data file against the stream reader on the same text: both run
// the same steps, so they must stop at the same one or hand over the same problem.
#include "ErrorDepthHandler.h"
#include "QAVTasDataFileItems.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVTasToleranceDataFile.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace QAVToleranceReadersAgreeDetail
{
inline bool SameValues(const double* ipA, const double* ipB, std::int32_t iCount)
{
  return iCount == 0 || std::memcmp(ipA, ipB, sizeof(double) * static_cast<std::size_t>(iCount)) == 0;
}

inline bool SameData(const QAVTasOptimizerTolerancing& iA, const QAVTasOptimizerTolerancing& iB)
{
  bool same = iA._Formulation == iB._Formulation && iA._Nx == iB._Nx && iA._Ny == iB._Ny &&
    SameValues(iA._pYmin, iB._pYmin, iA._Ny) && SameValues(iA._pYmax, iB._pYmax, iA._Ny) &&
    SameValues(iA._pXinf, iB._pXinf, iA._Nx) && SameValues(iA._pXsup, iB._pXsup, iA._Nx);
  for (std::int32_t j = 0; same && j < iA._Ny; ++j)
    same = SameValues(iA._ppW[j], iB._ppW[j], iA._Nx);
  return same;
}

inline bool SameProblem(const QAVTasAllocationProblem& iA, const QAVTasAllocationProblem& iB)
{
  bool same = iA.Dimensions.size() == iB.Dimensions.size() && iA.Stackups.size() == iB.Stackups.size();
  for (std::size_t i = 0; same && i < iA.Dimensions.size(); ++i)
    same = iA.Dimensions[i].Name == iB.Dimensions[i].Name && iA.Dimensions[i].Min == iB.Dimensions[i].Min &&
      iA.Dimensions[i].Max == iB.Dimensions[i].Max;
  for (std::size_t j = 0; same && j < iA.Stackups.size(); ++j)
    same = iA.Stackups[j].Lower == iB.Stackups[j].Lower && iA.Stackups[j].Upper == iB.Stackups[j].Upper &&
      iA.Stackups[j].Sensitivity == iB.Stackups[j].Sensitivity;
  return same;
}
} // namespace QAVToleranceReadersAgreeDetail

// "" when they agree on iText, else what differs.
inline std::string QAVToleranceReadersDisagree(std::string iText)
{
  using namespace QAVToleranceReadersAgreeDetail;
  using File = QAVTasToleranceDataFile;
  QAVTasOptimizerTolerancing stream, typed;
  FILE* file = iText.empty() ? std::tmpfile() : fmemopen(&iText[0], iText.size(), "r");
  if (file == nullptr)
    return "";
  const HRESULT hr = stream.ReadDataFile(file);
  std::fclose(file);
  const std::int32_t step = ErrorDepthHandler::_i_errline_;
  const File::Result r = File::Read(iText, typed);
  if ((hr == S_OK) != (r.State != File::Status::Malformed))
    return "one reader read the text, the other did not";
  if (hr != S_OK)
  {
    const char* expected = QAVTasDataFileItems::Expected(step);
    return r.Expected == (expected != nullptr ? expected : "a line end") ? ""
                                                                         : "stopped at another step: " + r.Expected;
  }
  if (r.Form != stream._Formulation || !SameData(stream, typed))
    return "the optimizers hold different problems";
  if (stream._Nx <= 0)
    return r.State == File::Status::Read && r.Problem.Dimensions.empty() ? "" : "a problem without X";
  // The exact run checks the data first, and refuses what the typed reader finds unsolvable.
  const bool refused = stream.OptimizeExact() != S_OK && ErrorDepthHandler::_i_errline_ < 200;
  const char* expected = QAVTasDataFileItems::Expected(ErrorDepthHandler::_i_errline_);
  if (refused != (r.State == File::Status::Unsolvable) || (refused && r.Expected != expected))
    return "the readers differ on what cannot be solved: " + r.Expected;
  return refused || SameProblem(r.Problem, stream.AllocationProblem()) ? "" : "different allocation problems";
}

#endif

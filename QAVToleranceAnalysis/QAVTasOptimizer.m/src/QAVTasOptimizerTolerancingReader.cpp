// QAVTasOptimizerTolerancing: the data-file reader.
#include "QAVTasOptimizerTolerancing.h"

#include "ErrorDepthHandler.h"
#include "QAVSamReport.h"
#include "QAVTasDataFileItems.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";
using Items = QAVTasDataFileItems;

// A label or line-end step converts nothing, and only the end of input fails it; a numeric step
// must convert its one value.
bool LabelRead(int iResult)
{
  return iResult == 0;
}

bool LineEndRead(FILE* ipFile)
{
  return LabelRead(std::fscanf(ipFile, "\n"));
}

// iCount times " %lf" into oValues.
bool ValuesRead(FILE* ipFile, double* oValues, std::int32_t iCount)
{
  for (std::int32_t k = 0; k < iCount; ++k)
    if (std::fscanf(ipFile, " %lf", &oValues[k]) != 1)
      return false;
  return true;
}

// One count or form step, read as "%lld" and narrowed to 32 bits: a number out of that range fails
// the step instead of wrapping into another count.
bool Int32Read(FILE* ipFile, const char* iFormat, std::int32_t& oValue)
{
  long long value = 0;
  if (std::fscanf(ipFile, iFormat, &value) != 1 || value < INT32_MIN || value > INT32_MAX)
    return false;
  oValue = static_cast<std::int32_t>(value);
  return true;
}

// False when the counts announce more than a million values and the rest of a seekable stream is
// too short to hold them (each takes at least one character): such counts must not size arrays.
// Smaller problems, and streams that cannot seek (pipes), are read step by step as the counts say.
bool CountsFitStream(FILE* ipFile, std::int32_t iNx, std::int32_t iNy)
{
  const std::int64_t values = std::int64_t{iNx} * iNy + 2 * (std::int64_t{iNx} + iNy);
  if (values <= (std::int64_t{1} << 20))
    return true;
  const long here = std::ftell(ipFile);
  if (here < 0 || std::fseek(ipFile, 0, SEEK_END) != 0)
    return true;
  const long end = std::ftell(ipFile);
  std::fseek(ipFile, here, SEEK_SET);
  return end < here || values <= end - here;
}

HRESULT StepFailed(std::int32_t iLine)
{
  return QAVSamReportUnlessPending(kErrFile, iLine);
}

HRESULT OutOfMemory(std::int32_t iLine)
{
  return QAVSamReport(QAVSamKindFailed, "", kErrFile, iLine);
}

double* NewDoubles(std::int32_t iCount)
{
  return new (std::nothrow) double[iCount]();
}

// A problem read in full before it replaces the object's: it owns its arrays (in the object's
// layout) until Swap hands them over, and then frees the ones it took back.
struct StagedProblem
{
  std::int32_t form = 0, nx = 0, ny = 0;
  double** w = nullptr;
  double *ymin = nullptr, *ymax = nullptr, *xinf = nullptr, *xsup = nullptr;

  StagedProblem() = default;
  StagedProblem(const StagedProblem&) = delete;
  StagedProblem& operator=(const StagedProblem&) = delete;
  ~StagedProblem()
  {
    for (double* array : {ymax, ymin, xsup, xinf})
      delete[] array;
    if (w != nullptr)
      for (std::int32_t j = 0; j < ny; ++j)
        delete[] w[j];
    delete[] w;
  }

  HRESULT Read(FILE* ipFile);
  HRESULT ReadCounts(FILE* ipFile);
  HRESULT ReadW(FILE* ipFile);
  HRESULT ReadBounds(FILE* ipFile);

  void Swap(QAVTasOptimizerTolerancing& ioObject)
  {
    std::swap(form, ioObject._Formulation);
    std::swap(nx, ioObject._Nx);
    std::swap(ny, ioObject._Ny);
    std::swap(w, ioObject._ppW);
    std::swap(ymin, ioObject._pYmin);
    std::swap(ymax, ioObject._pYmax);
    std::swap(xinf, ioObject._pXinf);
    std::swap(xsup, ioObject._pXsup);
  }
};

HRESULT StagedProblem::Read(FILE* ipFile)
{
  if (ReadCounts(ipFile) != S_OK || ReadW(ipFile) != S_OK)
    return E_FAIL;
  return ReadBounds(ipFile);
}

HRESULT StagedProblem::ReadCounts(FILE* ipFile)
{
  if (!Int32Read(ipFile, "%lld\n", form))
    return StepFailed(Items::kForm);
  if (!Int32Read(ipFile, "Dimension du vecteur Nx : %lld\n", nx))
    return StepFailed(Items::kNx);
  if (nx < 0)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, Items::kNx);
  std::int32_t count = 0;
  if (!Int32Read(ipFile, "Dimension du vecteur Ny : %lld\n", count))
    return StepFailed(Items::kNy);
  if (count < 0 || !CountsFitStream(ipFile, nx, count))
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, Items::kNy);
  if ((w = new (std::nothrow) double*[count]()) == nullptr)
    return OutOfMemory(Items::kNy);
  ny = count;
  return S_OK;
}

HRESULT StagedProblem::ReadW(FILE* ipFile)
{
  for (std::int32_t j = 0; j < ny; ++j)
    if ((w[j] = NewDoubles(nx)) == nullptr)
      return OutOfMemory(Items::kNx);
  if (!LabelRead(std::fscanf(ipFile, "Coefficients de la matrice W :\n")))
    return StepFailed(Items::kWLabel);
  for (std::int32_t j = 0; j < ny; ++j)
  {
    for (std::int32_t i = 0; i < nx; ++i)
      if (std::fscanf(ipFile, "%lf", &w[j][i]) != 1)
        return StepFailed(Items::kW);
    if (!LineEndRead(ipFile))
      return StepFailed(Items::kWEnd);
  }
  return S_OK;
}

// A row of values and the line end after it, each step failing at its own line.
HRESULT RowRead(FILE* ipFile, double* oValues, std::int32_t iCount, std::int32_t iValuesLine, std::int32_t iEndLine)
{
  if (!ValuesRead(ipFile, oValues, iCount))
    return StepFailed(iValuesLine);
  if (!LineEndRead(ipFile))
    return StepFailed(iEndLine);
  return S_OK;
}

HRESULT StagedProblem::ReadBounds(FILE* ipFile)
{
  ymin = NewDoubles(ny);
  ymax = NewDoubles(ny);
  if (ymin == nullptr || ymax == nullptr)
    return OutOfMemory(Items::kNy);
  if (!LabelRead(std::fscanf(ipFile, "Tolerancement sur Y (Ymin puis Ymax) :\n")))
    return StepFailed(Items::kYLabel);
  if (RowRead(ipFile, ymin, ny, Items::kYmin, Items::kYminEnd) != S_OK ||
      RowRead(ipFile, ymax, ny, Items::kYmax, Items::kYmaxEnd) != S_OK)
    return E_FAIL;
  if ((xinf = NewDoubles(nx)) == nullptr)
    return OutOfMemory(Items::kNx);
  if (!LabelRead(std::fscanf(ipFile, "Domaine de definition de X (bornes inf puis sup) :\n")))
    return StepFailed(Items::kXLabel);
  if (RowRead(ipFile, xinf, nx, Items::kXinf, Items::kXinfEnd) != S_OK)
    return E_FAIL;
  if ((xsup = NewDoubles(nx)) == nullptr)
    return OutOfMemory(Items::kNx);
  if (!ValuesRead(ipFile, xsup, nx))
    return StepFailed(Items::kXsup);
  return S_OK;
}
} // namespace

HRESULT QAVTasOptimizerTolerancing::ReadDataFile(FILE* ipFileIn)
{
  ErrorDepthHandler depth;
  if (ipFileIn == nullptr)
    return QAVSamReport(QAVSamKindNull, "ipFileIn", kErrFile, Items::kNullStream);
  // The object's problem and result change only once the whole file has been read.
  StagedProblem problem;
  if (problem.Read(ipFileIn) != S_OK)
    return E_FAIL;
  try
  {
    _Work.resize(static_cast<std::size_t>(problem.nx));
  }
  catch (const std::bad_alloc&)
  {
    return OutOfMemory(Items::kNx);
  }
  problem.Swap(*this); // the staged problem now holds the previous arrays and frees them
  delete[] _pParams;
  _pParams = nullptr;
  _Exact = QAVTasAllocationResult();
  return S_OK;
}

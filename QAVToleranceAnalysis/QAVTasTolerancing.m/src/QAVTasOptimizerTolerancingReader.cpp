// QAVTasOptimizerTolerancing: the data-file reader.
#include "QAVTasOptimizerTolerancing.h"

#include "ErrorDepthHandler.h"
#include "QAVSamReport.h"
#include "QAVTasDataFileItems.h"
#include "QAVTasDataScanner.h"
#include "QAVTasToleranceStaging.h"

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

bool LineEndRead(QAVTasDataScanner& ioIn)
{
  return LabelRead(ioIn.Literal("\n"));
}

// iCount times " %lf" into oValues.
bool ValuesRead(QAVTasDataScanner& ioIn, double* oValues, std::int32_t iCount)
{
  for (std::int32_t k = 0; k < iCount; ++k)
    if (ioIn.Real(" %lf", &oValues[k]) != 1)
      return false;
  return true;
}

// One count or form step, read as "%lld" and narrowed to 32 bits: a number out of that range fails
// the step instead of wrapping into another count.
bool Int32Read(QAVTasDataScanner& ioIn, const char* iFormat, std::int32_t& oValue)
{
  long long value = 0;
  if (ioIn.Integer(iFormat, &value) != 1 || value < INT32_MIN || value > INT32_MAX)
    return false;
  oValue = static_cast<std::int32_t>(value);
  return true;
}

// False when the counts announce more than a million values and the rest of a seekable stream is
// too short to hold them (each takes at least one character): such counts must not size arrays.
// Smaller problems, and streams that cannot seek (pipes), are read step by step as the counts say.
bool CountsFitStream(QAVTasDataScanner& ioIn, std::int32_t iNx, std::int32_t iNy)
{
  const std::int64_t values = std::int64_t{iNx} * iNy + 2 * (std::int64_t{iNx} + iNy);
  if (values <= (std::int64_t{1} << 20))
    return true;
  const std::int64_t remaining = ioIn.Remaining();
  return remaining < 0 || values <= remaining;
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
} // namespace

HRESULT QAVTasToleranceStaging::Read(QAVTasDataScanner& ioIn)
{
  if (ReadCounts(ioIn) != S_OK || ReadW(ioIn) != S_OK)
    return E_FAIL;
  return ReadBounds(ioIn);
}

HRESULT QAVTasToleranceStaging::Stop(std::int32_t iStep)
{
  stoppedAt = iStep;
  return StepFailed(iStep);
}

// A count out of range, or out of memory: reported even over a pending report.
HRESULT QAVTasToleranceStaging::Refuse(std::int32_t iStep)
{
  stoppedAt = iStep;
  return OutOfMemory(iStep);
}

HRESULT QAVTasToleranceStaging::ReadCounts(QAVTasDataScanner& ioIn)
{
  if (!Int32Read(ioIn, "%lld\n", form))
    return Stop(Items::kForm);
  if (!Int32Read(ioIn, "Dimension du vecteur Nx : %lld\n", nx))
    return Stop(Items::kNx);
  if (nx < 0)
    return Refuse(Items::kNx);
  std::int32_t count = 0;
  if (!Int32Read(ioIn, "Dimension du vecteur Ny : %lld\n", count))
    return Stop(Items::kNy);
  if (count < 0 || !CountsFitStream(ioIn, nx, count))
    return Refuse(Items::kNy);
  if ((w = new (std::nothrow) double*[count]()) == nullptr)
    return Refuse(Items::kNy);
  ny = count;
  return S_OK;
}

HRESULT QAVTasToleranceStaging::ReadW(QAVTasDataScanner& ioIn)
{
  for (std::int32_t j = 0; j < ny; ++j)
    if ((w[j] = NewDoubles(nx)) == nullptr)
      return Refuse(Items::kNx);
  if (!LabelRead(ioIn.Literal("Coefficients de la matrice W :\n")))
    return Stop(Items::kWLabel);
  for (std::int32_t j = 0; j < ny; ++j)
  {
    for (std::int32_t i = 0; i < nx; ++i)
      if (ioIn.Real("%lf", &w[j][i]) != 1)
        return Stop(Items::kW);
    if (!LineEndRead(ioIn))
      return Stop(Items::kWEnd);
  }
  return S_OK;
}

// A row of values and the line end after it, each step failing at its own line.
HRESULT QAVTasToleranceStaging::ReadRow(QAVTasDataScanner& ioIn, double* oValues, std::int32_t iCount,
                                        std::int32_t iValuesLine, std::int32_t iEndLine)
{
  if (!ValuesRead(ioIn, oValues, iCount))
    return Stop(iValuesLine);
  if (!LineEndRead(ioIn))
    return Stop(iEndLine);
  return S_OK;
}

HRESULT QAVTasToleranceStaging::ReadBounds(QAVTasDataScanner& ioIn)
{
  ymin = NewDoubles(ny);
  ymax = NewDoubles(ny);
  if (ymin == nullptr || ymax == nullptr)
    return Refuse(Items::kNy);
  if (!LabelRead(ioIn.Literal("Tolerancement sur Y (Ymin puis Ymax) :\n")))
    return Stop(Items::kYLabel);
  if (ReadRow(ioIn, ymin, ny, Items::kYmin, Items::kYminEnd) != S_OK ||
      ReadRow(ioIn, ymax, ny, Items::kYmax, Items::kYmaxEnd) != S_OK)
    return E_FAIL;
  if ((xinf = NewDoubles(nx)) == nullptr)
    return Refuse(Items::kNx);
  if (!LabelRead(ioIn.Literal("Domaine de definition de X (bornes inf puis sup) :\n")))
    return Stop(Items::kXLabel);
  if (ReadRow(ioIn, xinf, nx, Items::kXinf, Items::kXinfEnd) != S_OK)
    return E_FAIL;
  if ((xsup = NewDoubles(nx)) == nullptr)
    return Refuse(Items::kNx);
  if (!ValuesRead(ioIn, xsup, nx))
    return Stop(Items::kXsup);
  return S_OK;
}

QAVTasToleranceStaging::~QAVTasToleranceStaging()
{
  for (double* array : {ymax, ymin, xsup, xinf})
    delete[] array;
  if (w != nullptr)
    for (std::int32_t j = 0; j < ny; ++j)
      delete[] w[j];
  delete[] w;
}

void QAVTasToleranceStaging::Swap(QAVTasOptimizerTolerancing& ioObject)
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

HRESULT QAVTasOptimizerTolerancing::ReadDataFile(FILE* ipFileIn)
{
  ErrorDepthHandler depth;
  if (ipFileIn == nullptr)
    return QAVSamReport(QAVSamKindNull, "ipFileIn", kErrFile, Items::kNullStream);
  // The object's problem and result change only once the whole file has been read.
  QAVTasToleranceStaging problem;
  QAVTasFileScanner in(ipFileIn);
  if (problem.Read(in) != S_OK)
    return E_FAIL;
  return Adopt(problem);
}

HRESULT QAVTasOptimizerTolerancing::Adopt(QAVTasToleranceStaging& ioProblem)
{
  try
  {
    _Work.resize(static_cast<std::size_t>(ioProblem.nx));
  }
  catch (const std::bad_alloc&)
  {
    return OutOfMemory(Items::kNx);
  }
  ioProblem.Swap(*this); // the staged problem now holds the previous arrays and frees them
  delete[] _pParams;
  _pParams = nullptr;
  _Exact = QAVTasAllocationResult();
  return S_OK;
}

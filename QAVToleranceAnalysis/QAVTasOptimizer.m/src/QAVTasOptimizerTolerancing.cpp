#include "QAVTasOptimizerTolerancing.h"

#include "ErrorDepthHandler.h"
#include "QAVGALimitsGuard.h"
#include "QAVGASettings.h"
#include "QAVGetDefaultTolerance.h"
#include "QAVMathIntervalND.h"
#include "QAVMathMinimizeRN.h"
#include "QAVSamReport.h"
#include "QAVTasMathFunctionRN.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";

const double kFeasibility = 1.0e-6;      // a bound counts as violated beyond this
const double kPenaltyWeight = 1.0;       // matching term (direct) and multiplier term (multiplier)
const double kHalf = 0.5;                // inside the cube root
const double kNullVectorFitness = 1.0e10;
const double kInitialPenalty = 1.0e10;
const std::int32_t kDirectForm = 2;
const std::int32_t kMultiplierForm = 3;
const std::int32_t kMaxGenes = 500;      // the engine's chromosome capacity
const double kMultiplierLimit = 1000.0;  // multiplier genes lie in [0, this]
const double kNewtonBoxHigh = 1.0e9;     // upper end of the refinement box of every gene

// Lines of this source's reports that the reference line numbers leave free.
const std::int32_t kLineBadForm = 150;
const std::int32_t kLineTooManyGenes = 151;
const std::int32_t kLineNoMatrix = 181;
const std::int32_t kLineExactData = 700;   // 700 to 705: the data the exact solver needs
const std::int32_t kLineInfeasible = 710;
const std::int32_t kLineNotCertified = 711;
const std::int32_t kLineExactReport = 720; // 720, 721: the exact report's stream and solution

// A label or line-end step converts nothing, and only the end of input fails it; a numeric step
// must convert its one value.
bool LabelRead(int iResult)
{
  return iResult == 0;
}

bool ValueRead(int iResult)
{
  return iResult == 1;
}

bool LineEndRead(FILE* ipFile)
{
  return LabelRead(std::fscanf(ipFile, "\n"));
}

// iCount times " %lf" into oValues.
bool ValuesRead(FILE* ipFile, double* oValues, std::int32_t iCount)
{
  for (std::int32_t k = 0; k < iCount; ++k)
    if (!ValueRead(std::fscanf(ipFile, " %lf", &oValues[k])))
      return false;
  return true;
}

// One count or form step, read as "%lld" and narrowed to 32 bits: a number out of that range fails
// the step instead of wrapping into another count.
bool Int32Read(FILE* ipFile, const char* iFormat, std::int32_t& oValue)
{
  long long value = 0;
  if (!ValueRead(std::fscanf(ipFile, iFormat, &value)) || value < INT32_MIN || value > INT32_MAX)
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

// A row of values and the line end after it, each step failing at its own line.
HRESULT RowRead(FILE* ipFile, double* oValues, std::int32_t iCount, std::int32_t iValuesLine, std::int32_t iEndLine)
{
  if (!ValuesRead(ipFile, oValues, iCount))
    return StepFailed(iValuesLine);
  if (!LineEndRead(ipFile))
    return StepFailed(iEndLine);
  return S_OK;
}

double* NewDoubles(std::int32_t iCount)
{
  return new (std::nothrow) double[iCount]();
}

void Rule(FILE* iopFile, int iLineEnds)
{
  std::fputs("-------------------------------------------------------------------------------\n", iopFile);
  if (iLineEnds > 1)
    std::fputs("\n", iopFile);
}

// Report side: a NaN difference is not a violation.
bool IsViolated(double iValue, double iLow, double iHigh)
{
  return iLow - iValue > kFeasibility || iValue - iHigh > kFeasibility;
}

// The first-constraint block of both reports: iRow(j) is the stacked value of bound j, printed as
// iName[j] when it breaks its bounds and against iLimit[j] when it does not.
template <class RowValue>
void WriteFirstConstraint(FILE* iopFile, std::int32_t iNy, const double* iLow, const double* iHigh,
                          const char* iName, const char* iLimit, RowValue&& iRow)
{
  bool violated = false;
  for (std::int32_t j = 0; j < iNy; ++j)
  {
    const double value = iRow(j);
    if (IsViolated(value, iLow[j], iHigh[j]))
    {
      violated = true;
      std::fprintf(iopFile, "First Constraint Violation On 0 < _ppW[%d]*Xmoy < Ymoy[%d]\n", j + 1, j + 1);
      std::fprintf(iopFile, "%s[%d] = %lf\n", iName, j + 1, value);
    }
    else
      std::fprintf(iopFile, "0 < %lf < %s[%d]\n", value, iLimit, j + 1);
  }
  if (!violated)
    std::fputs("\nNo violation for first constraint\n", iopFile);
  Rule(iopFile, 1);
}
// The run of iGenes genes: the rates first (before the array checks), then the rest.
QAVGASettings RunSettings(std::int32_t iGenes, double iCross, std::int32_t iNx)
{
  QAVGASettings settings;
  settings.CrossValue = iCross;
  settings.MutatValue = 0.8;
  settings.IdemFitnessCount = iNx < 10 ? 200 : 100;
  settings.NumParams = iGenes;
  settings.MaxNumber = 1000000;
  settings.Process = 3;
  settings.PopulationSize = 8 * iGenes;
  settings.FitnessReference = -10.0;
  settings.Refresh = 100;
  return settings;
}
} // namespace

double QAVTasSqrt3(double x)
{
  return x >= 0.0 ? std::pow(x, 1.0 / 3.0) : -std::pow(-x, 1.0 / 3.0);
}

// ---------------------------------------------------------------------------- life cycle

QAVTasOptimizerTolerancing::QAVTasOptimizerTolerancing()
  : _Formulation(kDirectForm), _Ny(0), _Nx(0), _ppW(nullptr), _pYmin(nullptr), _pYmax(nullptr), _pXsup(nullptr),
    _pXinf(nullptr), _pParams(nullptr), _WithNewtonRefinement(0), _PenaltyFitness(kInitialPenalty)
{
}

QAVTasOptimizerTolerancing::QAVTasOptimizerTolerancing(const std::int32_t iNy, std::int32_t iNx, double** ippW,
                                                       double* ipYmin, double* ipYmax, double* ipXsup, double* ipXinf)
  : QAVTasOptimizerTolerancing()
{
  _WithNewtonRefinement = 1;
  bool complete = iNy > 0 && iNx > 0 && ippW != nullptr && ipYmin != nullptr && ipYmax != nullptr &&
                  ipXsup != nullptr && ipXinf != nullptr;
  for (std::int32_t j = 0; complete && j < iNy; ++j)
    complete = ippW[j] != nullptr;
  if (!complete)
    return;
  _Ny = iNy;
  _Nx = iNx;
  _ppW = new double*[_Ny];
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    _ppW[j] = new double[_Nx];
    for (std::int32_t i = 0; i < _Nx; ++i)
      _ppW[j][i] = ippW[j][i];
  }
  _pYmax = new double[_Ny];
  _pYmin = new double[_Ny];
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    _pYmax[j] = ipYmax[j];
    _pYmin[j] = ipYmin[j];
  }
  _pXsup = new double[_Nx];
  _pXinf = new double[_Nx];
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    _pXsup[i] = ipXsup[i];
    _pXinf[i] = ipXinf[i];
  }
  _Work.resize(static_cast<std::size_t>(_Nx));
}

QAVTasOptimizerTolerancing::~QAVTasOptimizerTolerancing()
{
  ReleaseData();
}

void QAVTasOptimizerTolerancing::ReleaseData()
{
  for (double** array : {&_pYmax, &_pYmin, &_pXsup, &_pXinf, &_pParams})
  {
    delete[] *array;
    *array = nullptr;
  }
  if (_ppW != nullptr)
  {
    for (std::int32_t j = 0; j < _Ny; ++j)
      delete[] _ppW[j];
    delete[] _ppW;
    _ppW = nullptr;
  }
  _Nx = 0;
  _Ny = 0;
  _Exact = QAVTasExactSolver::Solution();
}

// ---------------------------------------------------------------------------- data file

HRESULT QAVTasOptimizerTolerancing::ReadDataFile(FILE* ipFileIn)
{
  ErrorDepthHandler depth;
  if (ipFileIn == nullptr)
    return QAVSamReport(QAVSamKindNull, "ipFileIn", kErrFile, 274);
  // Arrays sized by earlier counts never outlive a new read, whatever step fails.
  ReleaseData();

  if (!Int32Read(ipFileIn, "%lld\n", _Formulation))
    return StepFailed(277);
  std::int32_t nx = 0, ny = 0;
  if (!Int32Read(ipFileIn, "Dimension du vecteur Nx : %lld\n", nx))
    return StepFailed(281);
  if (nx < 0)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 281);
  _Nx = nx;
  if (!Int32Read(ipFileIn, "Dimension du vecteur Ny : %lld\n", ny))
    return StepFailed(283);
  if (ny < 0 || !CountsFitStream(ipFileIn, nx, ny))
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 283);
  try
  {
    _Work.resize(static_cast<std::size_t>(nx));
  }
  catch (const std::bad_alloc&)
  {
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 281);
  }

  _ppW = new (std::nothrow) double*[ny]();
  if (_ppW == nullptr)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 283);
  _Ny = ny;
  for (std::int32_t j = 0; j < _Ny; ++j)
    if ((_ppW[j] = NewDoubles(_Nx)) == nullptr)
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, 281);

  if (!LabelRead(std::fscanf(ipFileIn, "Coefficients de la matrice W :\n")))
    return StepFailed(292);
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    for (std::int32_t i = 0; i < _Nx; ++i)
      if (!ValueRead(std::fscanf(ipFileIn, "%lf", &_ppW[j][i])))
        return StepFailed(300);
    if (!LineEndRead(ipFileIn))
      return StepFailed(303);
  }

  _pYmin = NewDoubles(_Ny);
  _pYmax = NewDoubles(_Ny);
  if (_pYmin == nullptr || _pYmax == nullptr)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 283);
  if (!LabelRead(std::fscanf(ipFileIn, "Tolerancement sur Y (Ymin puis Ymax) :\n")))
    return StepFailed(310);
  if (RowRead(ipFileIn, _pYmin, _Ny, 314, 317) != S_OK || RowRead(ipFileIn, _pYmax, _Ny, 321, 324) != S_OK)
    return E_FAIL;

  if ((_pXinf = NewDoubles(_Nx)) == nullptr)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 281);
  if (!LabelRead(std::fscanf(ipFileIn, "Domaine de definition de X (bornes inf puis sup) :\n")))
    return StepFailed(329);
  if (RowRead(ipFileIn, _pXinf, _Nx, 333, 336) != S_OK)
    return E_FAIL;

  if ((_pXsup = NewDoubles(_Nx)) == nullptr)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 281);
  if (!ValuesRead(ipFileIn, _pXsup, _Nx))
    return StepFailed(342);
  return S_OK;
}

// ---------------------------------------------------------------------------- fitness

double QAVTasOptimizerTolerancing::EvalFitness(std::int32_t /*iNumParams*/, double* ipX)
{
  // The handler is only made on the failing path: this runs once per candidate.
  if (ipX == nullptr)
  {
    ErrorDepthHandler depth;
    return QAVSamReport(QAVSamKindNull, "ipX", kErrFile, 361, kNullVectorFitness);
  }
  if (_Formulation == kDirectForm)
    return EvalDirect(ipX);
  if (_Formulation == kMultiplierForm)
    return EvalMultiplier(ipX);
  return 0.0;
}

double QAVTasOptimizerTolerancing::EvalDirect(const double* ipX) const
{
  double f = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
    f += 1.0 / std::fabs(ipX[i]);
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    const double* row = _ppW[j];
    double wx = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      wx += row[i] * ipX[i];
    f += kPenaltyWeight * std::fabs(wx - ipX[_Nx + j]);
  }
  return f;
}

double QAVTasOptimizerTolerancing::EvalMultiplier(const double* ipLambda)
{
  if (_Work.size() < static_cast<std::size_t>(_Nx))
    _Work.resize(static_cast<std::size_t>(_Nx));
  double* s = _Work.data();
  double f = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    s[i] = MultiplierS(i, ipLambda);
    if (IsOutside(1.0 / s[i], _pXinf[i], _pXsup[i]))
      return Penalty();
    f += s[i];
  }
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    const double* row = _ppW[j];
    double wy = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      wy += row[i] / s[i];
    if (IsOutside(wy, _pYmin[j], _pYmax[j]))
      return Penalty();
    f += kPenaltyWeight * std::fabs(ipLambda[j] * (wy - _pYmax[j]));
  }
  return f;
}

// s_i = cbrt(0.5 sum_j W[j][i] lambda_j): 1 / X_i of the multiplier form.
double QAVTasOptimizerTolerancing::MultiplierS(std::int32_t i, const double* ipLambda) const
{
  double sum = 0.0;
  for (std::int32_t j = 0; j < _Ny; ++j)
    sum += _ppW[j][i] * ipLambda[j];
  return QAVTasSqrt3(kHalf * sum);
}

// Fitness side: a NaN difference counts as a violation.
bool QAVTasOptimizerTolerancing::IsOutside(double iValue, double iLow, double iHigh) const
{
  return !(iLow - iValue <= kFeasibility && iValue - iHigh <= kFeasibility);
}

double QAVTasOptimizerTolerancing::Penalty()
{
  const double penalty = _PenaltyFitness;
  _PenaltyFitness += 1.0;
  return penalty;
}

// ---------------------------------------------------------------------------- reports

HRESULT QAVTasOptimizerTolerancing::CheckConstraints(FILE* iopFile)
{
  ErrorDepthHandler depth;
  if (iopFile == nullptr)
    return QAVSamReport(QAVSamKindNull, "iopFile", kErrFile, 485);
  if (_pParams == nullptr)
    return QAVSamReport(QAVSamKindNull, "_pParams", kErrFile, 486);
  if (_Formulation == kDirectForm)
    WriteDirectReport(iopFile, _pParams, _pParams + _Nx);
  else if (_Formulation == kMultiplierForm)
    WriteMultiplierReport(iopFile);
  return S_OK;
}

void QAVTasOptimizerTolerancing::WriteDirectReport(FILE* iopFile, const double* ipX, const double* ipDelta) const
{
  double objective = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
    objective += 1.0 / std::fabs(ipX[i]);
  std::fprintf(iopFile, "Objective_Function = %lf\n", objective);
  Rule(iopFile, 1);
  for (std::int32_t i = 0; i < _Nx; ++i)
    std::fprintf(iopFile, "Xmoy[%d] = %lf\n", i + 1, ipX[i]);
  for (std::int32_t j = 0; j < _Ny; ++j)
    std::fprintf(iopFile, "delta[%d] = %lf\n", j + 1, ipDelta[j]);
  Rule(iopFile, 2);

  WriteFirstConstraint(iopFile, _Ny, _pYmin, _pYmax, "pWx", "pWx", [&](std::int32_t j) {
    double wx = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      wx += _ppW[j][i] * ipX[i];
    return wx;
  });

  bool violated = false;
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    if (IsViolated(ipDelta[j], _pYmin[j], _pYmax[j]))
    {
      violated = true;
      std::fprintf(iopFile, "Second Constraint Violation On 0 < delta[%d] < Ymoy[%d]\n", j + 1, j + 1);
    }
    else
      std::fprintf(iopFile, "delta[%d] = %lf\n", j + 1, ipDelta[j]);
  }
  if (!violated)
    std::fputs("\nNo violation for second constraint\n", iopFile);
  Rule(iopFile, 1);
}

void QAVTasOptimizerTolerancing::WriteMultiplierReport(FILE* iopFile) const
{
  std::vector<double> s(static_cast<std::size_t>(_Nx));
  double objective = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    s[i] = MultiplierS(i, _pParams);
    objective += s[i];
  }
  std::fprintf(iopFile, "Objective_Function = %lf\n", objective);
  Rule(iopFile, 1);
  for (std::int32_t i = 0; i < _Nx; ++i)
    std::fprintf(iopFile, "Xmoy[%d] = %lf\n", i + 1, 1.0 / s[i]);
  std::fputs("\n", iopFile);
  for (std::int32_t j = 0; j < _Ny; ++j)
    std::fprintf(iopFile, "lambda[%d] = %lf\n", j + 1, _pParams[j]);
  Rule(iopFile, 2);

  WriteFirstConstraint(iopFile, _Ny, _pYmin, _pYmax, "pWy", "Ymoy", [&](std::int32_t j) {
    double wy = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      wy += _ppW[j][i] / s[i];
    return wy;
  });
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    double rowSum = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      rowSum += _ppW[j][i];
    std::fprintf(iopFile, "pWy[%d] = %lf\n", j + 1, rowSum);
  }
}

HRESULT QAVTasOptimizerTolerancing::GetValues(float*& oValues)
{
  ErrorDepthHandler depth;
  if (_pParams == nullptr)
    return QAVSamReport(QAVSamKindNull, "_pParams", kErrFile, 665);
  oValues = new float[_Nx];
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    float value = 0.0f;
    for (std::int32_t j = 0; j < _Ny; ++j)
      value += static_cast<float>(_ppW[j][i] * _pParams[j]);
    oValues[i] = static_cast<float>(1.0 / QAVTasSqrt3(kHalf * static_cast<double>(value)));
  }
  return S_OK;
}

// ---------------------------------------------------------------------------- run

HRESULT QAVTasOptimizerTolerancing::Optimize()
{
  ErrorDepthHandler depth;
  std::int32_t numParams = 0;
  double cross = 0.0;
  if (CheckOptimizeData(numParams, cross) != S_OK)
    return E_FAIL;
  const QAVGASettings settings = RunSettings(numParams, cross, _Nx);
  settings.ApplyRatesTo(*this);

  std::vector<double> lower(static_cast<std::size_t>(numParams)), upper(static_cast<std::size_t>(numParams));
  // Every array the fitness reads must be there, in either form (a failed file read can leave some).
  const std::pair<double*, const char*> needed[] = {
    {_pYmin, "_pYmin"}, {_pYmax, "_pYmax"}, {_pXinf, "_pXinf"}, {_pXsup, "_pXsup"}};
  std::int32_t line = 182;
  for (const auto& array : needed)
  {
    if (array.first == nullptr)
      return QAVSamReport(QAVSamKindNull, array.second, kErrFile, line);
    ++line;
  }
  if (_Formulation == kDirectForm)
  {
    std::copy(_pXinf, _pXinf + _Nx, lower.begin());
    std::copy(_pYmin, _pYmin + _Ny, lower.begin() + _Nx);
    std::copy(_pXsup, _pXsup + _Nx, upper.begin());
    std::copy(_pYmax, _pYmax + _Ny, upper.begin() + _Nx);
  }
  else
  {
    std::fill(lower.begin(), lower.end(), 0.0);
    std::fill(upper.begin(), upper.end(), kMultiplierLimit);
  }

  delete[] _pParams;
  _pParams = new double[numParams];
  settings.ApplyTo(*this);
  {
    // The limits die with this call: the engine must not keep pointing at them.
    const QAVGALimitsGuard limits(*this, lower.data(), upper.data());
    Minimize();
    GetOptimumParams(_pParams);
    GetOptimumFitness();
  }

  if (_WithNewtonRefinement == 0)
    return S_OK;
  return Refine(numParams);
}

// The checks made before any engine setting; oNumParams and oCross follow from the form.
HRESULT QAVTasOptimizerTolerancing::CheckOptimizeData(std::int32_t& oNumParams, double& oCross)
{
  if (_Nx <= 0)
    return QAVSamReport(QAVSamKindNull, "_Nx", kErrFile, 140);
  if (_Ny <= 0)
    return QAVSamReport(QAVSamKindNull, "_Ny", kErrFile, 141);
  if (_Formulation != kDirectForm && _Formulation != kMultiplierForm)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, kLineBadForm);
  oNumParams = _Formulation == kDirectForm ? _Nx + _Ny : _Ny;
  oCross = _Formulation == kDirectForm ? 0.75 : 0.7;
  if (oNumParams > kMaxGenes)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, kLineTooManyGenes);
  if (_ppW == nullptr)
    return QAVSamReport(QAVSamKindNull, "_ppW", kErrFile, kLineNoMatrix);
  return S_OK;
}

HRESULT QAVTasOptimizerTolerancing::Refine(std::int32_t iNumParams)
{
  const std::unique_ptr<QAVTasMathFunctionRN> function(new QAVTasMathFunctionRN(_Ny, _Nx, _ppW, _pYmax));
  double* bounds = new double[2 * static_cast<std::size_t>(iNumParams)];
  for (std::int32_t k = 0; k < iNumParams; ++k)
  {
    bounds[2 * k] = 0.0;
    bounds[2 * k + 1] = kNewtonBoxHigh;
  }
  const QAVMathIntervalND box(iNumParams, bounds);
  delete[] bounds;
  const QAVMathMinimizeRN minimizer(function.get(), QAVGetDefaultTolerance());
  if (!minimizer.MinimizeNewton(_pParams, box))
    return QAVSamReportUnlessPending(kErrFile, 247);
  return S_OK;
}

// ---------------------------------------------------------------------------- exact solution

HRESULT QAVTasOptimizerTolerancing::GetResultX(std::vector<double>& oX) const
{
  if (_pParams == nullptr || (_Formulation != kDirectForm && _Formulation != kMultiplierForm))
    return E_FAIL;
  oX.resize(static_cast<std::size_t>(_Nx));
  for (std::int32_t i = 0; i < _Nx; ++i)
    oX[i] = _Formulation == kDirectForm ? _pParams[i] : 1.0 / MultiplierS(i, _pParams);
  return S_OK;
}

HRESULT QAVTasOptimizerTolerancing::OptimizeExact()
{
  ErrorDepthHandler depth;
  _Exact = QAVTasExactSolver::Solution();
  if (CheckExactData() != S_OK)
    return E_FAIL;
  const QAVTasExactSolver solver(_Ny, _Nx, _ppW, _pYmin, _pYmax, _pXinf, _pXsup);
  QAVTasExactSolver::Solution solution;
  switch (solver.Solve(solution))
  {
  case QAVTasExactSolver::Status::Optimal:
    _Exact = std::move(solution);
    return S_OK;
  case QAVTasExactSolver::Status::Infeasible:
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, kLineInfeasible);
  default:
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, kLineNotCertified);
  }
}

HRESULT QAVTasOptimizerTolerancing::CheckExactData() const
{
  if (_Nx <= 0)
    return QAVSamReport(QAVSamKindNull, "_Nx", kErrFile, kLineExactData);
  const std::pair<const void*, const char*> needed[] = {
    {_ppW, "_ppW"}, {_pYmin, "_pYmin"}, {_pYmax, "_pYmax"}, {_pXinf, "_pXinf"}, {_pXsup, "_pXsup"}};
  std::int32_t line = kLineExactData + 1;
  for (const auto& array : needed)
  {
    if (array.first == nullptr)
      return QAVSamReport(QAVSamKindNull, array.second, kErrFile, line);
    ++line;
  }
  return S_OK;
}

HRESULT QAVTasOptimizerTolerancing::CheckExactConstraints(FILE* iopFile)
{
  ErrorDepthHandler depth;
  if (iopFile == nullptr)
    return QAVSamReport(QAVSamKindNull, "iopFile", kErrFile, kLineExactReport);
  if (_Exact.X.size() != static_cast<std::size_t>(_Nx) || _Nx <= 0)
    return QAVSamReport(QAVSamKindNull, "_Exact", kErrFile, kLineExactReport + 1);
  std::vector<double> delta(static_cast<std::size_t>(_Ny));
  for (std::int32_t j = 0; j < _Ny; ++j)
    for (std::int32_t i = 0; i < _Nx; ++i)
      delta[j] += _ppW[j][i] * _Exact.X[i];
  WriteDirectReport(iopFile, _Exact.X.data(), delta.data());
  return S_OK;
}

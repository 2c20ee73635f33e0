// QAVTasOptimizerTolerancing: life cycle, fitness, the genetic run and the exact solution. The
// data-file reader and the reports live in QAVTasOptimizerTolerancingReader.cpp and
// QAVTasOptimizerTolerancingReports.cpp; the arithmetic in QAVTasToleranceModel.
#include "QAVTasOptimizerTolerancing.h"

#include "ErrorDepthHandler.h"
#include "QAVGALimitsGuard.h"
#include "QAVGASettings.h"
#include "QAVGetDefaultTolerance.h"
#include "QAVMathIntervalND.h"
#include "QAVMathMinimizeRN.h"
#include "QAVSamReport.h"
#include "QAVTasDataFileItems.h"
#include "QAVTasMathFunctionRN.h"
#include "QAVTasToleranceExactSolver.h"
#include "QAVTasToleranceModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";
using Model = QAVTasToleranceModel;
using Items = QAVTasDataFileItems;

const double kPenaltyWeight = 1.0; // matching term (direct) and multiplier term (multiplier)
const double kNullVectorFitness = 1.0e10;
const double kInitialPenalty = 1.0e10;
const std::int32_t kDirectForm = 2;
const std::int32_t kMultiplierForm = 3;
const std::int32_t kMaxGenes = 500;     // the engine's chromosome capacity
const double kMultiplierLimit = 1000.0; // multiplier genes lie in [0, this]
const double kNewtonBoxHigh = 1.0e9;    // upper end of the refinement box of every gene

// Lines of this source's reports that the reference line numbers leave free.
const std::int32_t kLineBadForm = 150;
const std::int32_t kLineTooManyGenes = 151;
const std::int32_t kLineNoMatrix = 181;
const std::int32_t kLineExactData = 700; // 700 to 705: the data the exact solver needs

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
  settings.EvaluationThreads = 1; // the penalty grows in call order
  return settings;
}

// Every array the fitness reads must be there, in either form.
HRESULT CheckBoundArrays(const QAVTasOptimizerTolerancing& iProblem)
{
  const std::pair<const double*, const char*> needed[] = {
    {iProblem._pYmin, "_pYmin"}, {iProblem._pYmax, "_pYmax"}, {iProblem._pXinf, "_pXinf"}, {iProblem._pXsup, "_pXsup"}};
  std::int32_t line = 182;
  for (const auto& array : needed)
  {
    if (array.first == nullptr)
      return QAVSamReport(QAVSamKindNull, array.second, kErrFile, line);
    ++line;
  }
  return S_OK;
}

// Direct form: X within its domain, then delta within the Y bounds; multiplier form: [0, 1000].
void GeneLimits(const QAVTasOptimizerTolerancing& iProblem, std::int32_t iGenes, std::vector<double>& oLower,
                std::vector<double>& oUpper)
{
  const std::int32_t nx = iProblem._Nx, ny = iProblem._Ny;
  oLower.assign(static_cast<std::size_t>(iGenes), 0.0);
  oUpper.assign(static_cast<std::size_t>(iGenes), kMultiplierLimit);
  if (iProblem._Formulation != kDirectForm)
    return;
  std::copy(iProblem._pXinf, iProblem._pXinf + nx, oLower.begin());
  std::copy(iProblem._pYmin, iProblem._pYmin + ny, oLower.begin() + nx);
  std::copy(iProblem._pXsup, iProblem._pXsup + nx, oUpper.begin());
  std::copy(iProblem._pYmax, iProblem._pYmax + ny, oUpper.begin() + nx);
}

} // namespace

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
    delete[] * array;
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
  _Exact = QAVTasAllocationResult();
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

// sum 1/|X_i| + sum |(W X)_j - delta_j|.
double QAVTasOptimizerTolerancing::EvalDirect(const double* ipX) const
{
  const Model model = Model::Of(*this);
  double f = model.SumOfInverses(ipX);
  for (std::int32_t j = 0; j < _Ny; ++j)
    f += kPenaltyWeight * std::fabs(model.StackUp(j, ipX) - ipX[_Nx + j]);
  return f;
}

// sum s_i + sum |lambda_j ((W X)_j - Ymax_j)| for X = 1/s inside every bound, else the penalty.
double QAVTasOptimizerTolerancing::EvalMultiplier(const double* ipLambda)
{
  if (_Work.size() < static_cast<std::size_t>(_Nx))
    _Work.resize(static_cast<std::size_t>(_Nx));
  const Model model = Model::Of(*this);
  double* s = _Work.data();
  double f = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    s[i] = model.MultiplierS(i, ipLambda);
    if (Model::Violates(1.0 / s[i], _pXinf[i], _pXsup[i]))
      return Penalty();
    f += s[i];
  }
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    const double wy = model.StackUpOfInverse(j, s);
    if (Model::Violates(wy, _pYmin[j], _pYmax[j]))
      return Penalty();
    f += kPenaltyWeight * std::fabs(ipLambda[j] * (wy - _pYmax[j]));
  }
  return f;
}

double QAVTasOptimizerTolerancing::Penalty()
{
  const double penalty = _PenaltyFitness;
  _PenaltyFitness += 1.0;
  return penalty;
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

  if (CheckBoundArrays(*this) != S_OK || CheckValues(_Formulation == kDirectForm) != S_OK)
    return E_FAIL;
  std::vector<double> lower, upper;
  GeneLimits(*this, numParams, lower, upper);
  settings.ApplyTo(*this);
  if (RunEngine(numParams, lower.data(), upper.data()) != S_OK)
    return E_FAIL;
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

// Data that was read but cannot be solved (see QAVTasDataFileItems); every array is there.
HRESULT QAVTasOptimizerTolerancing::CheckValues(bool iDirectForm) const
{
  const Model::DataFault fault = Model::Of(*this).CheckData(iDirectForm);
  if (fault != Model::DataFault::None)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, QAVTasToleranceModel::ReportLine(fault));
  return S_OK;
}

// Minimises over the limits lent for the run; _pParams takes the optimum only when the engine ran.
HRESULT QAVTasOptimizerTolerancing::RunEngine(std::int32_t iNumParams, double* ipLower, double* ipUpper)
{
  const QAVGALimitsGuard limits(*this, ipLower, ipUpper);
  if (!CanRun("Minimize"))
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, Items::kEngineRefused);
  SetFitnessBatch(nullptr);
  Minimize();
  delete[] _pParams;
  _pParams = new double[iNumParams];
  GetOptimumParams(_pParams);
  GetOptimumFitness();
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
  const Model model = Model::Of(*this);
  oX.resize(static_cast<std::size_t>(_Nx));
  for (std::int32_t i = 0; i < _Nx; ++i)
    oX[i] = _Formulation == kDirectForm ? _pParams[i] : 1.0 / model.MultiplierS(i, _pParams);
  return S_OK;
}

HRESULT QAVTasOptimizerTolerancing::OptimizeExact()
{
  ErrorDepthHandler depth;
  _Exact = QAVTasAllocationResult();
  if (CheckExactData() != S_OK || CheckValues(false) != S_OK)
    return E_FAIL;
  QAVTasAllocationResult result = QAVTasToleranceExactSolver::Solve(AllocationProblem());
  switch (result.State)
  {
    case QAVTasAllocationResult::Status::Optimal:
      _Exact = std::move(result);
      return S_OK;
    case QAVTasAllocationResult::Status::Infeasible:
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, Items::kInfeasible);
    default:
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, Items::kNotCertified);
  }
}

QAVTasAllocationProblem QAVTasOptimizerTolerancing::AllocationProblem() const
{
  return Model::Of(*this).AllocationProblem();
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

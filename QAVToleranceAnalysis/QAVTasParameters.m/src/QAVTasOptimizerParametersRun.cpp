// QAVTasOptimizerParameters: the run, the fitness and the genome cache.
#include "QAVTasGenomeIndex.h"
#include "QAVTasOptimizerParameters.h"

#include "ErrorDepthHandler.h"
#include "QAVGALimitsGuard.h"
#include "QAVGASettings.h"
#include "QAVIKwpParm.h"
#include "QAVIPvkPointCoord.h"
#include "QAVISpecObject.h"
#include "QAVISpecUpdate.h"
#include "QAVInterfacePtr.h"
#include "QAVMSHNode.h"
#include "QAVSamEndBlockGuard.h"
#include "QAVSamReport.h"
#include "QAVTasCreateSpiders.h"
#include "QAVTasUIServices.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <iostream>
#include <memory>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerParameters";
const std::int32_t kStepCount = 11;
const double kNodeScale = 0.001;

std::int32_t sEndBlockCount = 0;

// The run of iGenes genes; its crossover probability is 0.8 until the log is open (ApplyRatesTo),
// the caller lowers it to 0.5 for the run itself.
QAVGASettings RunSettings(std::int32_t iGenes)
{
  QAVGASettings settings;
  settings.CrossValue = 0.75;
  settings.MutatValue = 0.8;
  settings.IdemFitnessCount = 5;
  settings.NumParams = iGenes;
  settings.MaxNumber = 1000000;
  settings.Process = 3;
  settings.PopulationSize = 8 * iGenes;
  settings.FitnessReference = 0.001;
  settings.Refresh = 100;
  settings.EvaluationThreads = 1; // one shared analysis
  return settings;
}

// Optimize reports each failure at once; EvalFitness fills the record at the failing step
// (a kind 1 failure keeps an earlier pending report) and hands it over in its failure tail.
void ReportNow(std::int32_t iKind, const char* iText, std::int32_t iLine)
{
  QAVSamReport(iKind, iText, kErrFile, iLine);
}

void RecordForTail(std::int32_t iKind, const char* iText, std::int32_t iLine)
{
  if (iKind == QAVSamKindFailed)
    QAVSamSetErrorUnlessPending(kErrFile, iLine);
  else
    QAVSamSetError(iKind, iText, kErrFile, iLine);
}
} // namespace

// Report sites of placing a reference point on a node: in Optimize and in EvalFitness.
struct QAVTasOptimizerParameters::Sites
{
  std::int32_t _NullNodes;
  std::int32_t _NullNode;
  const char* _NullNodeText;
  std::int32_t _PointCoord;
};

double QAVTasOptimizerParameters::GeneValue(std::int32_t iParameter, std::int32_t iGene)
{
  const double lo = _Bounds[2 * iParameter - 1];
  const double hi = _Bounds[2 * iParameter];
  return iGene * (hi - lo) / 10.0;
}

bool QAVTasOptimizerParameters::ValuateParameter(std::int32_t iParameter, double iValue, std::int32_t iLine,
                                                 Reporter iReport)
{
  QAVInterfacePtr<QAVIKwpParm> parameter;
  if (parameter.QueryFrom(_Parameters[iParameter]) < 0)
  {
    iReport(QAVSamKindFailed, "", iLine);
    return false;
  }
  parameter->Valuate(iValue);
  return true;
}

bool QAVTasOptimizerParameters::PlaceOnNode(std::int32_t iPoint, std::int32_t iNodeIndex, const Sites& iSites,
                                            Reporter iReport, const QAVMSHNode*& opNode)
{
  auto* const* ppNodes = static_cast<QAVMSHNode* const*>(_NodeArrays[iPoint]);
  if (!ppNodes)
  {
    iReport(QAVSamKindNull, "ppNodes", iSites._NullNodes);
    return false;
  }
  // An index outside the mesh is refused like a missing node rather than read out of range.
  const bool inMesh = iNodeIndex >= 0 && iNodeIndex < _NodeCounts[iPoint];
  opNode = inMesh ? ppNodes[iNodeIndex] : nullptr;
  if (!opNode)
  {
    iReport(QAVSamKindNull, iSites._NullNodeText, iSites._NullNode);
    return false;
  }
  QAVInterfacePtr<QAVIPvkPointCoord> point;
  if (point.QueryFrom(_CoordPoints[iPoint]) < 0)
  {
    iReport(QAVSamKindFailed, "", iSites._PointCoord);
    return false;
  }
  QAVInterfacePtr<QAVIKwpParm> coordinates[3];
  point->GetCoordinates(coordinates[0].Out(), coordinates[1].Out(), coordinates[2].Out());
  for (int axis = 0; axis < 3; ++axis)
    if (coordinates[axis])
      coordinates[axis]->Valuate(opNode->_Coordinates[axis] * kNodeScale);
  return true;
}

HRESULT QAVTasOptimizerParameters::Optimize()
{
  ErrorDepthHandler depth;
  if (!_piAnalysis)
    return QAVSamReport(QAVSamKindNull, "_piAnalysis", kErrFile, 335);
  if (!_piResults)
    return QAVSamReport(QAVSamKindNull, "_piResults", kErrFile, 336);
  if (_piAnalysis->PrepareAnalysis(0) < 0)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 338);
  const std::int32_t featureCount = _ParameterFeatures.Size();
  const std::int32_t kwpCount = _Parameters.Size();
  const std::int32_t n = featureCount + _CoordPoints.Size();
  if (n == 0)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 343);
  if (2 * featureCount != _Bounds.Size())
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 347);

  const std::size_t size = static_cast<std::size_t>(n);
  std::unique_ptr<std::int32_t[]> lower(new std::int32_t[size]());
  std::unique_ptr<std::int32_t[]> upper(new std::int32_t[size]());
  std::unique_ptr<std::int32_t[]> best(new std::int32_t[size]());
  // Each run sets the step counts afresh; appending would leave the previous run's in front.
  _StepCounts.RemoveAll();
  for (std::int32_t k = 0; k < featureCount; ++k)
  {
    _StepCounts.Append(kStepCount);
    upper[static_cast<std::size_t>(k)] = kStepCount - 1;
  }
  for (std::int32_t j = 1; j <= _CoordPoints.Size(); ++j)
    upper[static_cast<std::size_t>(kwpCount + j - 1)] = _NodeCounts[j] - 1;

  if (QAVTasCreateSpiders(_ParameterFeatures, _Bounds, _StepCounts) < 0)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 366);
  QAVGASettings settings = RunSettings(n);
  settings.ApplyRatesTo(*this);
  OpenLog();
  if (!_pFile)
    return QAVSamReport(QAVSamKindNull, "_pFile", kErrFile, 373);

  settings.MutatValue = 0.5; // the run's rate replaces the one set before the log opened
  settings.ApplyTo(*this);
  HRESULT hr = S_OK;
  {
    const QAVGALimitsGuard limits(*this, lower.get(), upper.get());
    SetFitnessBatch(nullptr);
    Minimize();
    GetOptimumParams(best.get());
    hr = ApplyBestGenome(best.get());
  }
  if (hr < 0)
    return hr;
  std::cout << "Optimum Fitness =" << GetOptimumFitness() << std::endl;
  return S_OK;
}

void QAVTasOptimizerParameters::OpenLog()
{
  // A second run closes the log of the first before opening it anew.
  if (_pFile)
    QAVTasUIServices::QAVTasFileClose(_pFile);
  _pFile = QAVTasUIServices::QAVTasFileOpen(_GenomeLogPath, "w");
}

HRESULT QAVTasOptimizerParameters::ApplyBestGenome(const std::int32_t* ipBest)
{
  const std::int32_t kwpCount = _Parameters.Size();
  for (std::int32_t k = 1; k <= kwpCount; ++k)
  {
    QAVInterfacePtr<QAVIKwpParm> parameter;
    if (parameter.QueryFrom(_Parameters[k]) < 0)
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, 410);
    std::cout << "pParams[i]  =" << ipBest[k - 1] << std::endl;
    parameter->Valuate(GeneValue(k, ipBest[k - 1]));
    QAVInterfacePtr<QAVISpecObject> feature;
    if (feature.QueryFrom(_ParameterFeatures[k]) < 0)
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, 418);
    feature->Regenerate(QAVIDomain_var());
  }
  static const Sites kSites{426, 427, "ppNodes[pParams[KwpCount+i]]", 431};
  for (std::int32_t j = 1; j <= _CoordPoints.Size(); ++j)
  {
    const QAVMSHNode* pNode = nullptr;
    if (!PlaceOnNode(j, ipBest[kwpCount + j - 1], kSites, ReportNow, pNode))
      return E_FAIL;
  }
  return S_OK;
}

double QAVTasOptimizerParameters::EvalFitness(std::int32_t iCount, std::int32_t* ipX)
{
  ErrorDepthHandler depth;
  Log("Values :");
  double fitness = 0.0;
  if (AlreadyComputed(iCount, ipX, fitness) == 1)
    return LogFitness(fitness);
  // A null genome has been reported by AlreadyComputed.
  if (!ipX || !ApplyGenome(ipX) || !ReadResults(fitness))
    return FailEvaluation();
  CacheGenome(iCount, ipX, fitness);
  return LogFitness(fitness);
}

bool QAVTasOptimizerParameters::ApplyGenome(const std::int32_t* ipX)
{
  const std::int32_t kwpCount = _Parameters.Size();
  for (std::int32_t k = 1; k <= kwpCount; ++k)
  {
    const double value = GeneValue(k, ipX[k - 1]);
    Log(" %12.3f", value);
    if (!ValuateParameter(k, value, 557, RecordForTail))
      return false;
  }
  static const Sites kSites{565, 566, "ppNodes[ipX[KwpCount+i]]", 570};
  for (std::int32_t j = 1; j <= _CoordPoints.Size(); ++j)
  {
    const QAVMSHNode* pNode = nullptr;
    if (!PlaceOnNode(j, ipX[kwpCount + j - 1], kSites, RecordForTail, pNode))
      return false;
    const double* xyz = pNode->_Coordinates;
    std::cout << "X= " << xyz[0] << " Y= " << xyz[1] << " Z= " << xyz[2];
    Log("X= %12.3f Y= %12.3f Z= %12.3f", xyz[0], xyz[1], xyz[2]);
  }
  return true;
}

bool QAVTasOptimizerParameters::ReadResults(double& oFitness)
{
  QAVInterfacePtr<QAVISpecUpdate> update;
  if (!_piAnalysis || update.QueryFrom(_piAnalysis) < 0)
  {
    RecordForTail(QAVSamKindFailed, "", 581);
    return false;
  }
  if (update->Update(QAVIDomain_var()) != 0)
  {
    RecordForTail(QAVSamKindFailed, "", 586);
    return false;
  }
  QAVBaseUnknown_var resultSet;
  std::int32_t count = 0;
  float* pValues = nullptr;
  std::int32_t* pRequirements = nullptr;
  double* pNominals = nullptr;
  const HRESULT hr = _piResults
    ? _piResults->GetResults(QAVTasImageOptions(), resultSet, count, pValues, pRequirements, pNominals)
    : E_FAIL;
  std::unique_ptr<float[]> values(pValues);
  delete[] pRequirements;
  delete[] pNominals;
  if (hr < 0)
  {
    RecordForTail(QAVSamKindFailed, "", 596);
    return false;
  }
  oFitness = 0.0;
  for (std::int32_t i = 0; i < count; ++i)
    oFitness += std::fabs(static_cast<double>(values[static_cast<std::size_t>(i)]));
  return true;
}

void QAVTasOptimizerParameters::CacheGenome(std::int32_t iCount, const std::int32_t* ipX, double iFitness)
{
  if (iCount < 0 || !ipX)
    return;
  auto* pCopy = new std::int32_t[static_cast<std::size_t>(iCount)];
  std::copy(ipX, ipX + iCount, pCopy);
  _CachedGenomes.Append(pCopy);
  _CachedFitness.Append(iFitness);
  _pGenomeIndex->Add(_CachedGenomes.Size(), iCount, pCopy);
}

double QAVTasOptimizerParameters::LogFitness(double iFitness)
{
  Log(" Fitness= %12.3f\n", iFitness);
  std::cout << "Fitness== " << iFitness << std::endl;
  return iFitness;
}

double QAVTasOptimizerParameters::FailEvaluation()
{
  QAVSamEndBlockGuard block(sEndBlockCount, QAVSamEndBlock::EndError, kErrFile, 600);
  _EvalFailed = 1;
  _ErrorFitness += 1.0;
  std::cout << "Error Fitness== " << _ErrorFitness << std::endl;
  Log(" Error Fitness= %12.3f\n", _ErrorFitness);
  return _ErrorFitness;
}

std::int32_t QAVTasOptimizerParameters::AlreadyComputed(const std::int32_t iCount, const std::int32_t* ipX,
                                                        double& oFitness)
{
  ErrorDepthHandler depth;
  if (!ipX)
  {
    QAVSamReport(QAVSamKindNull, "ipX", kErrFile, 471);
    return 0;
  }
  const std::int32_t cached = _CachedGenomes.Size();
  if (cached < 1)
    return 0;
  const std::int32_t position = _pGenomeIndex->Find(iCount, ipX, _CachedGenomes);
  if (position == 0)
    return 0;
  oFitness = _CachedFitness[position];
  std::cout << "Identical genome detected= " << cached << std::endl;
  return 1;
}

void QAVTasOptimizerParameters::Log(const char* iFormat, ...)
{
  // Evaluations made outside Optimize have no log to write to.
  if (!_pFile)
    return;
  va_list arguments;
  va_start(arguments, iFormat);
  std::vfprintf(_pFile, iFormat, arguments);
  va_end(arguments);
}

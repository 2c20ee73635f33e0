#include "QAVTasOptimizerParameters.h"
#include "QAVTasGenomeIndex.h"

#include "ErrorDepthHandler.h"
#include "QAVGALimitsGuard.h"
#include "QAVGASettings.h"
#include "QAVIKwpParm.h"
#include "QAVIPvkPointBetween.h"
#include "QAVIPvkPointCoord.h"
#include "QAVIPvkPointOnCurve.h"
#include "QAVIPvkPointOnPlane.h"
#include "QAVIPvkPointOnSurface.h"
#include "QAVISpecAttrAccess.h"
#include "QAVISpecObject.h"
#include "QAVISpecUpdate.h"
#include "QAVInterfacePtr.h"
#include "QAVMSHNode.h"
#include "QAVSamEndBlockGuard.h"
#include "QAVSamReport.h"
#include "QAVTasCreateSpiders.h"
#include "QAVTasGetNodesAssociatedToGeom.h"
#include "QAVTasUIServices.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <iostream>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerParameters";
const double kInitialErrorFitness = 10000000.0;
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
  return settings;
}

// Report lines of one kind of mesh point (on a plane, on a surface).
struct MeshPointSites
{
  std::int32_t _Support, _NullSupport, _SpecObject, _Nodes, _Point, _NullPoint;
};
const MeshPointSites kPlaneSites{188, 189, 191, 192, 198, 199};
const MeshPointSites kSurfaceSites{224, 225, 227, 228, 233, 234};

bool Fail(std::int32_t iLine)
{
  QAVSamReport(QAVSamKindFailed, "", kErrFile, iLine);
  return false;
}

bool FailNull(const char* iText, std::int32_t iLine)
{
  QAVSamReport(QAVSamKindNull, iText, kErrFile, iLine);
  return false;
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

// Appends the knowledge parameter of a point on a curve or between points.
template <class I>
bool AppendKnowledgeParameter(I& iPoint, QAVListValQAVBaseUnknown_var& ioParameters, std::int32_t iLine)
{
  QAVBaseUnknown_var parameter;
  if (iPoint.GetKnowledgeParameter(parameter) < 0)
    return Fail(iLine);
  ioParameters.Append(parameter);
  return true;
}

// Takes the mesh of a point on a plane or surface: its reference point, node count and nodes
// are appended when the mesh has nodes.
template <class I>
bool TakeMeshPoint(I& iPoint, const MeshPointSites& iSites, QAVListValQAVBaseUnknown_var& ioPoints,
                   QAVRawCollint& ioCounts, QAVRawCollPV& ioNodeArrays)
{
  QAVBaseUnknown_var support;
  if (iPoint.GetSupport(support) < 0)
    return Fail(iSites._Support);
  if (!support)
    return FailNull("spSpec", iSites._NullSupport);
  QAVInterfacePtr<QAVISpecObject> geometry;
  if (geometry.QueryFrom(support) < 0)
    return Fail(iSites._SpecObject);
  std::int32_t count = 0;
  QAVMSHNode** ppNodes = nullptr;
  const HRESULT hr = QAVTasGetNodesAssociatedToGeom(geometry.Get(), count, ppNodes, nullptr);
  std::unique_ptr<QAVMSHNode*[]> nodes(ppNodes);
  if (hr < 0)
    return Fail(iSites._Nodes);
  if (count == 0)
    return true;
  QAVBaseUnknown_var point;
  if (iPoint.GetReferencePoint(point) < 0)
    return Fail(iSites._Point);
  if (!point)
    return FailNull("spSpec", iSites._NullPoint);
  ioPoints.Append(point);
  ioCounts.Append(count);
  ioNodeArrays.Append(nodes.release());
  return true;
}

void DeleteGenomes(QAVRawCollPV& ioArrays)
{
  for (std::int32_t i = 1; i <= ioArrays.Size(); ++i)
  {
    auto* pArray = static_cast<std::int32_t*>(ioArrays[i]);
    ioArrays.Set(i, nullptr);
    delete[] pArray;
  }
}

void DeleteNodeArrays(QAVRawCollPV& ioArrays)
{
  for (std::int32_t i = 1; i <= ioArrays.Size(); ++i)
  {
    auto* ppNodes = static_cast<QAVMSHNode**>(ioArrays[i]);
    ioArrays.Set(i, nullptr);
    delete[] ppNodes;
  }
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

QAVTasOptimizerParameters::QAVTasOptimizerParameters()
  : _piAnalysis(nullptr), _piResults(nullptr), _pFile(nullptr), _ErrorFitness(kInitialErrorFitness),
    _EvalFailed(0), _pGenomeIndex(new QAVTasGenomeIndex)
{
}

QAVTasOptimizerParameters::QAVTasOptimizerParameters(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults,
                                                     QAVListValQAVBaseUnknown_var& iFeatures,
                                                     QAVRawColldouble& iBounds)
  : QAVTasOptimizerParameters()
{
  _ParameterFeatures = iFeatures;
  _Bounds = iBounds;
  HoldServices(iAnalysis, iResults);
  _Parameters.RemoveAll();
  ClassifyFeatures();
}

QAVTasOptimizerParameters::QAVTasOptimizerParameters(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults,
                                                     QAVListValQAVBaseUnknown_var*& iParameters,
                                                     QAVRawColldouble& iBounds)
  : QAVTasOptimizerParameters()
{
  const std::int32_t count = iParameters ? iParameters->Size() : 0;
  for (std::int32_t i = 1; i <= count; ++i)
  {
    const QAVBaseUnknown_var parameter = (*iParameters)[i];
    const double lo = iBounds[2 * i - 1];
    const double hi = iBounds[2 * i];
    QAVInterfacePtr<QAVISpecAttrAccess> access;
    if (access.QueryFrom(parameter) < 0)
      continue;
    std::unique_ptr<QAVListValQAVBaseUnknown_var> driven(access->ListAttributes(QAVIPvkPointOnCurve::IID, 0, 0));
    if (!driven)
      driven.reset(access->ListAttributes(QAVIPvkPointBetween::IID, 0, 0));
    const bool matched = driven && driven->Size() > 0;
    if (matched)
      _ParameterFeatures.Append((*driven)[1]);
    (matched ? _Parameters : _UnmatchedParameters).Append(parameter);
    QAVRawColldouble& bounds = matched ? _Bounds : _UnmatchedBounds;
    bounds.Append(lo);
    bounds.Append(hi);
  }
  HoldServices(iAnalysis, iResults);
}

QAVTasOptimizerParameters::~QAVTasOptimizerParameters()
{
  if (_piAnalysis)
    _piAnalysis->Release();
  _piAnalysis = nullptr;
  if (_piResults)
    _piResults->Release();
  _piResults = nullptr;
  if (_pFile)
    QAVTasUIServices::QAVTasFileClose(_pFile);
  _pFile = nullptr;
  DeleteGenomes(_CachedGenomes);
  DeleteNodeArrays(_NodeArrays);
}

void QAVTasOptimizerParameters::HoldServices(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults)
{
  _piAnalysis = iAnalysis;
  if (_piAnalysis)
    _piAnalysis->AddRef();
  _piResults = iResults;
  if (_piResults)
    _piResults->AddRef();
}

void QAVTasOptimizerParameters::ClassifyFeatures()
{
  ErrorDepthHandler depth;
  std::int32_t n = _ParameterFeatures.Size();
  std::int32_t i = 1;
  while (i <= n)
  {
    const QAVBaseUnknown_var feature = _ParameterFeatures[i];
    QAVInterfacePtr<QAVIPvkPointOnCurve> onCurve;
    QAVInterfacePtr<QAVIPvkPointBetween> between;
    QAVInterfacePtr<QAVIPvkPointOnPlane> onPlane;
    QAVInterfacePtr<QAVIPvkPointOnSurface> onSurface;
    bool meshPoint = false;
    if (!feature)
      ;
    else if (onCurve.QueryFrom(feature) >= 0)
    {
      if (!AppendKnowledgeParameter(*onCurve, _Parameters, 176))
        return;
    }
    else if (between.QueryFrom(feature) >= 0)
    {
      if (!AppendKnowledgeParameter(*between, _Parameters, 182))
        return;
    }
    else if (onPlane.QueryFrom(feature) >= 0)
    {
      if (!TakeMeshPoint(*onPlane, kPlaneSites, _CoordPoints, _NodeCounts, _NodeArrays))
        return;
      meshPoint = true;
    }
    else if (onSurface.QueryFrom(feature) >= 0)
    {
      if (!TakeMeshPoint(*onSurface, kSurfaceSites, _CoordPoints, _NodeCounts, _NodeArrays))
        return;
      meshPoint = true;
    }
    else
    {
      Fail(250);
      return;
    }
    if (!meshPoint)
    {
      ++i;
      continue;
    }
    // A mesh point leaves the parameter features with its two bounds.
    _ParameterFeatures.RemovePosition(i);
    _Bounds.RemovePosition(2 * i);
    _Bounds.RemovePosition(2 * i - 1);
    --n;
  }
}

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
  const HRESULT hr = _piResults ? _piResults->GetResults(QAVTasImageOptions(), resultSet, count, pValues,
                                                         pRequirements, pNominals)
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

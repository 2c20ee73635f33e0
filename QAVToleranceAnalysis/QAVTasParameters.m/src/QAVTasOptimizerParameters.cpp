// QAVTasOptimizerParameters: set-up (the features classified), life cycle. The run, the fitness
// and the genome cache are in QAVTasOptimizerParametersRun.cpp.
#include "QAVTasOptimizerParameters.h"
#include "QAVTasGenomeIndex.h"

#include "ErrorDepthHandler.h"
#include "QAVIPvkPointBetween.h"
#include "QAVIPvkPointOnCurve.h"
#include "QAVIPvkPointOnPlane.h"
#include "QAVIPvkPointOnSurface.h"
#include "QAVISpecAttrAccess.h"
#include "QAVISpecObject.h"
#include "QAVInterfacePtr.h"
#include "QAVMSHNode.h"
#include "QAVSamReport.h"
#include "QAVTasGetNodesAssociatedToGeom.h"
#include "QAVTasUIServices.h"

#include <memory>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerParameters";
const double kInitialErrorFitness = 10000000.0;

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

QAVTasOptimizerParameters::QAVTasOptimizerParameters()
  : _piAnalysis(nullptr), _piResults(nullptr), _pFile(nullptr), _ErrorFitness(kInitialErrorFitness), _EvalFailed(0),
    _pGenomeIndex(new QAVTasGenomeIndex)
{
}

QAVTasOptimizerParameters::QAVTasOptimizerParameters(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults,
                                                     QAVListValQAVBaseUnknown_var& iFeatures, QAVRawColldouble& iBounds)
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

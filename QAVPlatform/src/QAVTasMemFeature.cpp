#include "QAVTasMemFeature.h"

QAVTasMemFeature::QAVTasMemFeature(Kind iKind, QAVTasMemParameter* ipParameter)
  : _Kind(iKind), _pParameter(ipParameter), _Parameter(ipParameter)
{
  if (_pParameter)
    _pParameter->AddDriven(this);
}

QAVTasMemFeature::QAVTasMemFeature(Kind iKind, QAVISpecObject* ipSupport, QAVTasMemPoint* ipPoint)
  : _Kind(iKind), _Support(ipSupport), _Point(ipPoint)
{
}

QAVTasMemFeature::~QAVTasMemFeature()
{
  if (_pParameter)
    _pParameter->RemoveDriven(this);
}

HRESULT QAVTasMemFeature::QueryInterface(const QAVIID& iIID, void** oppObject)
{
  if (_Kind == Kind::Curve && iIID == QAVIPvkPointOnCurve::IID)
    return Answer(static_cast<QAVIPvkPointOnCurve*>(this), oppObject);
  if (_Kind == Kind::Between && iIID == QAVIPvkPointBetween::IID)
    return Answer(static_cast<QAVIPvkPointBetween*>(this), oppObject);
  if (_Kind == Kind::Plane && iIID == QAVIPvkPointOnPlane::IID)
    return Answer(static_cast<QAVIPvkPointOnPlane*>(this), oppObject);
  if (_Kind == Kind::Surface && iIID == QAVIPvkPointOnSurface::IID)
    return Answer(static_cast<QAVIPvkPointOnSurface*>(this), oppObject);
  if (iIID == QAVISpecObject::IID)
    return Answer(static_cast<QAVISpecObject*>(this), oppObject);
  return QAVBaseUnknown::QueryInterface(iIID, oppObject);
}

HRESULT QAVTasMemFeature::GetKnowledgeParameter(QAVBaseUnknown_var& oParameter)
{
  oParameter = _Parameter;
  return _Parameter ? S_OK : E_FAIL;
}

HRESULT QAVTasMemFeature::GetSupport(QAVBaseUnknown_var& oSupport)
{
  oSupport = _Support;
  return S_OK;
}

HRESULT QAVTasMemFeature::GetReferencePoint(QAVBaseUnknown_var& oPoint)
{
  oPoint = _Point;
  return S_OK;
}

HRESULT QAVTasMemFeature::Regenerate(const QAVIDomain_var&)
{
  ++_RegenerationCount;
  return S_OK;
}

#include "QAVTasMemPoint.h"

QAVTasMemPoint::QAVTasMemPoint(double iX, double iY, double iZ)
{
  const double xyz[3] = {iX, iY, iZ};
  const char* names[3] = {"X", "Y", "Z"};
  for (int axis = 0; axis < 3; ++axis)
  {
    _pCoordinates[axis] = new QAVTasMemParameter(names[axis], xyz[axis]);
    _Handles[axis] = QAVBaseUnknown_var(_pCoordinates[axis]);
    _pCoordinates[axis]->Release();
  }
}

HRESULT QAVTasMemPoint::QueryInterface(const QAVIID& iIID, void** oppObject)
{
  if (iIID == QAVIPvkPointCoord::IID)
    return Answer(static_cast<QAVIPvkPointCoord*>(this), oppObject);
  if (iIID == QAVISpecObject::IID)
    return Answer(static_cast<QAVISpecObject*>(this), oppObject);
  return QAVBaseUnknown::QueryInterface(iIID, oppObject);
}

HRESULT QAVTasMemPoint::GetCoordinates(QAVIKwpParm*& oX, QAVIKwpParm*& oY, QAVIKwpParm*& oZ)
{
  QAVIKwpParm** outs[3] = {&oX, &oY, &oZ};
  for (int axis = 0; axis < 3; ++axis)
  {
    *outs[axis] = _pCoordinates[axis];
    _pCoordinates[axis]->AddRef();
  }
  return S_OK;
}

HRESULT QAVTasMemPoint::Regenerate(const QAVIDomain_var&)
{
  return S_OK;
}

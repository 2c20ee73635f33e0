#include "QAVTasMemSupport.h"

QAVTasMemSupport::QAVTasMemSupport(const std::vector<std::array<double, 3>>& iNodeCoordinates)
{
  _Nodes.reserve(iNodeCoordinates.size());
  for (const std::array<double, 3>& xyz : iNodeCoordinates)
    _Nodes.push_back(QAVMSHNode{{xyz[0], xyz[1], xyz[2]}, static_cast<std::int32_t>(_Nodes.size() + 1)});
}

HRESULT QAVTasMemSupport::QueryInterface(const QAVIID& iIID, void** oppObject)
{
  if (iIID == QAVISpecObject::IID)
    return Answer(static_cast<QAVISpecObject*>(this), oppObject);
  return QAVBaseUnknown::QueryInterface(iIID, oppObject);
}

HRESULT QAVTasMemSupport::Regenerate(const QAVIDomain_var&)
{
  return S_OK;
}

#include "QAVTasMemParameter.h"

#include <algorithm>
#include <utility>

QAVTasMemParameter::QAVTasMemParameter(std::string iName, double iValue, double iMin, double iMax)
  : _Name(std::move(iName)), _Value(iValue), _Min(iMin), _Max(iMax)
{
}

HRESULT QAVTasMemParameter::QueryInterface(const QAVIID& iIID, void** oppObject)
{
  if (iIID == QAVIKwpParm::IID)
    return Answer(static_cast<QAVIKwpParm*>(this), oppObject);
  if (iIID == QAVISpecAttrAccess::IID)
    return Answer(static_cast<QAVISpecAttrAccess*>(this), oppObject);
  return QAVBaseUnknown::QueryInterface(iIID, oppObject);
}

HRESULT QAVTasMemParameter::Valuate(double iValue)
{
  _Value = iValue;
  ++_ValuationCount;
  return S_OK;
}

QAVListValQAVBaseUnknown_var* QAVTasMemParameter::ListAttributes(const QAVIID& iIID, std::int32_t, std::int32_t)
{
  QAVListValQAVBaseUnknown_var* pList = nullptr;
  for (QAVBaseUnknown* pFeature : _Driven)
  {
    void* pInterface = nullptr;
    if (pFeature->QueryInterface(iIID, &pInterface) < 0)
      continue;
    if (!pList)
      pList = new QAVListValQAVBaseUnknown_var;
    pList->Append(QAVBaseUnknown_var(pFeature));
    pFeature->Release();
  }
  return pList;
}

void QAVTasMemParameter::AddDriven(QAVBaseUnknown* ipFeature)
{
  _Driven.push_back(ipFeature);
}

void QAVTasMemParameter::RemoveDriven(QAVBaseUnknown* ipFeature)
{
  _Driven.erase(std::remove(_Driven.begin(), _Driven.end(), ipFeature), _Driven.end());
}

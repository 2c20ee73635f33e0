#include "QAVTasMemAnalysis.h"

HRESULT QAVTasMemAnalysis::QueryInterface(const QAVIID& iIID, void** oppObject)
{
  if (iIID == QAVITasAnalysis::IID)
    return Answer(static_cast<QAVITasAnalysis*>(this), oppObject);
  if (iIID == QAVISpecUpdate::IID)
    return Answer(static_cast<QAVISpecUpdate*>(this), oppObject);
  if (iIID == QAVITasDisplayResults::IID)
    return Answer(static_cast<QAVITasDisplayResults*>(this), oppObject);
  return QAVBaseUnknown::QueryInterface(iIID, oppObject);
}

HRESULT QAVTasMemAnalysis::PrepareAnalysis(std::int32_t)
{
  ++_PreparationCount;
  return _Requirements.empty() ? E_FAIL : S_OK;
}

HRESULT QAVTasMemAnalysis::Update(const QAVIDomain_var&)
{
  ++_UpdateCount;
  _HasResults = false;
  _Values.clear();
  for (const QAVTasMemParameter* pParameter : _Parameters)
    if (!pParameter->IsValid())
      return 1;
  for (const Requirement& requirement : _Requirements)
  {
    double value = requirement._Nominal;
    for (const Contribution& contribution : requirement._Contributions)
      value += contribution._Sensitivity * contribution._pParameter->Value();
    _Values.push_back(value);
  }
  _HasResults = true;
  return S_OK;
}

HRESULT QAVTasMemAnalysis::GetResults(const QAVTasImageOptions&, QAVBaseUnknown_var& oResultSet, std::int32_t& oCount,
                                      float*& oValues, std::int32_t*& oRequirements, double*& oNominals)
{
  ++_ResultQueryCount;
  oCount = 0;
  oValues = nullptr;
  oRequirements = nullptr;
  oNominals = nullptr;
  oResultSet = QAVBaseUnknown_var();
  if (!_HasResults)
    return E_FAIL;
  const std::size_t count = _Values.size();
  oValues = new float[count];
  oRequirements = new std::int32_t[count];
  oNominals = new double[count];
  for (std::size_t r = 0; r < count; ++r)
  {
    oValues[r] = static_cast<float>(_Values[r]);
    oRequirements[r] = static_cast<std::int32_t>(r + 1);
    oNominals[r] = _Requirements[r]._Nominal;
  }
  oCount = static_cast<std::int32_t>(count);
  oResultSet = QAVBaseUnknown_var(static_cast<QAVITasAnalysis*>(this));
  return S_OK;
}

template <class T>
T* QAVTasMemAnalysis::Keep(T* ipObject)
{
  _Objects.emplace_back(ipObject);
  ipObject->Release();
  return ipObject;
}

QAVTasMemParameter* QAVTasMemAnalysis::AddParameter(const std::string& iName, double iValue, double iMin, double iMax)
{
  QAVTasMemParameter* pParameter = Keep(new QAVTasMemParameter(iName, iValue, iMin, iMax));
  _Parameters.push_back(pParameter);
  return pParameter;
}

QAVTasMemPoint* QAVTasMemAnalysis::AddPoint(double iX, double iY, double iZ)
{
  QAVTasMemPoint* pPoint = Keep(new QAVTasMemPoint(iX, iY, iZ));
  for (int axis = 0; axis < 3; ++axis)
    _Parameters.push_back(pPoint->Coordinate(axis));
  return pPoint;
}

QAVTasMemSupport* QAVTasMemAnalysis::AddSupport(const std::vector<std::array<double, 3>>& iNodeCoordinates)
{
  return Keep(new QAVTasMemSupport(iNodeCoordinates));
}

QAVTasMemFeature* QAVTasMemAnalysis::AddFeature(QAVTasMemFeature::Kind iKind, QAVTasMemParameter* ipParameter)
{
  return Keep(new QAVTasMemFeature(iKind, ipParameter));
}

QAVTasMemFeature* QAVTasMemAnalysis::AddFeature(QAVTasMemFeature::Kind iKind, QAVISpecObject* ipSupport,
                                                QAVTasMemPoint* ipPoint)
{
  return Keep(new QAVTasMemFeature(iKind, ipSupport, ipPoint));
}

std::int32_t QAVTasMemAnalysis::AddRequirement(double iNominal)
{
  _Requirements.push_back(Requirement{iNominal, {}});
  return static_cast<std::int32_t>(_Requirements.size());
}

void QAVTasMemAnalysis::AddContribution(std::int32_t iRequirement, QAVTasMemParameter* ipParameter, double iSensitivity)
{
  if (iRequirement < 1 || iRequirement > static_cast<std::int32_t>(_Requirements.size()) || !ipParameter)
    return;
  _Requirements[static_cast<std::size_t>(iRequirement - 1)]._Contributions.push_back(
    Contribution{ipParameter, iSensitivity});
}

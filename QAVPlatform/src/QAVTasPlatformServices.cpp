#include "QAVIPvkPointBetween.h"
#include "QAVIPvkPointOnCurve.h"
#include "QAVInterfacePtr.h"
#include "QAVTasCreateSpiders.h"
#include "QAVTasGetNodesAssociatedToGeom.h"
#include "QAVTasMemFeature.h"
#include "QAVTasMemSupport.h"

namespace
{
bool IsParameterDriven(const QAVBaseUnknown_var& iFeature)
{
  QAVInterfacePtr<QAVIPvkPointOnCurve> onCurve;
  QAVInterfacePtr<QAVIPvkPointBetween> between;
  return onCurve.QueryFrom(iFeature) >= 0 || between.QueryFrom(iFeature) >= 0;
}
} // namespace

HRESULT QAVTasCreateSpiders(QAVListValQAVBaseUnknown_var& ioFeatures, QAVRawColldouble& ioBounds,
                            QAVRawCollint& ioSteps)
{
  const std::int32_t count = ioFeatures.Size();
  if (ioBounds.Size() != 2 * count || ioSteps.Size() != count)
    return E_FAIL;
  for (std::int32_t k = 1; k <= count; ++k)
    if (!IsParameterDriven(ioFeatures[k]) || ioSteps[k] < 2)
      return E_FAIL;
  for (std::int32_t k = 1; k <= count; ++k)
    if (auto* pFeature = dynamic_cast<QAVTasMemFeature*>(ioFeatures[k].Get()))
      pFeature->SetSpiderSteps(ioSteps[k]);
  return S_OK;
}

HRESULT QAVTasGetNodesAssociatedToGeom(QAVISpecObject* iGeometry, std::int32_t& oCount, QAVMSHNode**& oNodes,
                                       QAVIMSHAssociativity*)
{
  oCount = 0;
  oNodes = nullptr;
  auto* pSupport = dynamic_cast<QAVTasMemSupport*>(iGeometry);
  if (!pSupport)
    return E_FAIL;
  const std::int32_t count = pSupport->NodeCount();
  if (count == 0)
    return S_OK;
  oNodes = new QAVMSHNode*[static_cast<std::size_t>(count)];
  for (std::int32_t i = 0; i < count; ++i)
    oNodes[i] = pSupport->Node(i);
  oCount = count;
  return S_OK;
}

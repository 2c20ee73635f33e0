#ifndef QAVTasMemFeature_H
#define QAVTasMemFeature_H

#include "QAVBaseUnknown_var.h"
#include "QAVIPvkPointBetween.h"
#include "QAVIPvkPointOnCurve.h"
#include "QAVIPvkPointOnPlane.h"
#include "QAVIPvkPointOnSurface.h"
#include "QAVISpecObject.h"
#include "QAVPlatformExport.h"
#include "QAVTasMemParameter.h"
#include "QAVTasMemPoint.h"
#include "QAVTasMemSupport.h"

// In-memory point feature. It answers the interface of its kind only (and QAVISpecObject):
// a point on a curve or between points is driven by a parameter; a point on a plane or a
// surface has a support with a mesh and a reference point. Kind Other is a feature of none
// of these kinds.
class QAV_PLATFORM_API QAVTasMemFeature : public QAVIPvkPointOnCurve,
                                          public QAVIPvkPointBetween,
                                          public QAVIPvkPointOnPlane,
                                          public QAVIPvkPointOnSurface,
                                          public QAVISpecObject
{
public:
  enum class Kind
  {
    Curve,
    Between,
    Plane,
    Surface,
    Other
  };

  // A point on a curve or between points; without a parameter its accessor fails.
  QAVTasMemFeature(Kind iKind, QAVTasMemParameter* ipParameter);
  // A point on a plane or surface; support and point may be null (the accessors then give null).
  // A support without a mesh (not a QAVTasMemSupport) makes the node query fail.
  QAVTasMemFeature(Kind iKind, QAVISpecObject* ipSupport, QAVTasMemPoint* ipPoint);
  ~QAVTasMemFeature() override;

  HRESULT QueryInterface(const QAVIID& iIID, void** oppObject) override;
  HRESULT GetKnowledgeParameter(QAVBaseUnknown_var& oParameter) override;
  HRESULT GetSupport(QAVBaseUnknown_var& oSupport) override;
  HRESULT GetReferencePoint(QAVBaseUnknown_var& oPoint) override;
  HRESULT Regenerate(const QAVIDomain_var& iDomain) override;

  Kind GetKind() const { return _Kind; }
  bool IsParameterDriven() const { return _Kind == Kind::Curve || _Kind == Kind::Between; }
  std::int32_t RegenerationCount() const { return _RegenerationCount; }
  // Sampling steps set by QAVTasCreateSpiders; 0 before.
  std::int32_t SpiderSteps() const { return _SpiderSteps; }
  void SetSpiderSteps(std::int32_t iSteps) { _SpiderSteps = iSteps; }

private:
  Kind _Kind;
  QAVTasMemParameter* _pParameter = nullptr;
  QAVBaseUnknown_var _Parameter;
  QAVBaseUnknown_var _Support;
  QAVBaseUnknown_var _Point;
  std::int32_t _RegenerationCount = 0;
  std::int32_t _SpiderSteps = 0;
};

#endif

#ifndef QAVIPvkPointOnCurve_H
#define QAVIPvkPointOnCurve_H

#include "QAVBaseUnknown.h"
#include "QAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"

// A point placed on a curve by a knowledge parameter.
class QAV_PLATFORM_API QAVIPvkPointOnCurve : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIPvkPointOnCurve"};

  // oParameter receives the parameter's handle; a negative status on failure.
  virtual HRESULT GetKnowledgeParameter(QAVBaseUnknown_var& oParameter) = 0;
};

#endif

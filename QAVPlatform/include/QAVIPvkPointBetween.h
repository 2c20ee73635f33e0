#ifndef QAVIPvkPointBetween_H
#define QAVIPvkPointBetween_H

#include "QAVBaseUnknown.h"
#include "QAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"

// A point placed between two points by a knowledge parameter.
class QAV_PLATFORM_API QAVIPvkPointBetween : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIPvkPointBetween"};

  // oParameter receives the parameter's handle; a negative status on failure.
  virtual HRESULT GetKnowledgeParameter(QAVBaseUnknown_var& oParameter) = 0;
};

#endif

#ifndef QAVISpecObject_H
#define QAVISpecObject_H

#include "QAVBaseUnknown.h"
#include "QAVIDomain_var.h"
#include "QAVPlatformExport.h"

// A modelled object (geometry or feature) that can be rebuilt.
class QAV_PLATFORM_API QAVISpecObject : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVISpecObject"};

  // Rebuilds the object in iDomain (empty: everything).
  virtual HRESULT Regenerate(const QAVIDomain_var& iDomain) = 0;
};

#endif

#ifndef QAVISpecUpdate_H
#define QAVISpecUpdate_H

#include "QAVBaseUnknown.h"
#include "QAVIDomain_var.h"
#include "QAVPlatformExport.h"

// Update of an object's results.
class QAV_PLATFORM_API QAVISpecUpdate : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVISpecUpdate"};

  // Recomputes the object in iDomain (empty: everything); 0 on success, non-zero otherwise.
  virtual HRESULT Update(const QAVIDomain_var& iDomain) = 0;
};

#endif

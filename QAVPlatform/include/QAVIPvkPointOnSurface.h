#ifndef QAVIPvkPointOnSurface_H
#define QAVIPvkPointOnSurface_H

#include "QAVBaseUnknown.h"
#include "QAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"

// A point placed on a surface: its reference point moves on the surface's mesh.
class QAV_PLATFORM_API QAVIPvkPointOnSurface : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIPvkPointOnSurface"};

  // oSupport receives the surface (null when the point has none yet); a negative status on failure.
  virtual HRESULT GetSupport(QAVBaseUnknown_var& oSupport) = 0;
  // oPoint receives the reference point (a point given by coordinates), or null.
  virtual HRESULT GetReferencePoint(QAVBaseUnknown_var& oPoint) = 0;
};

#endif

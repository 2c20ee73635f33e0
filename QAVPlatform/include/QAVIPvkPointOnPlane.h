#ifndef QAVIPvkPointOnPlane_H
#define QAVIPvkPointOnPlane_H

#include "QAVBaseUnknown.h"
#include "QAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"

// A point placed on a plane: its reference point moves on the plane's mesh.
class QAV_PLATFORM_API QAVIPvkPointOnPlane : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIPvkPointOnPlane"};

  // oSupport receives the plane (null when the point has none yet); a negative status on failure.
  virtual HRESULT GetSupport(QAVBaseUnknown_var& oSupport) = 0;
  // oPoint receives the reference point (a point given by coordinates), or null.
  virtual HRESULT GetReferencePoint(QAVBaseUnknown_var& oPoint) = 0;
};

#endif

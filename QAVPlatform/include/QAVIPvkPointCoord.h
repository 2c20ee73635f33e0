#ifndef QAVIPvkPointCoord_H
#define QAVIPvkPointCoord_H

#include "QAVBaseUnknown.h"
#include "QAVIKwpParm.h"
#include "QAVPlatformExport.h"

// A point given by three coordinate parameters.
class QAV_PLATFORM_API QAVIPvkPointCoord : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIPvkPointCoord"};

  // Each out pointer receives one coordinate parameter with a reference the caller releases.
  virtual HRESULT GetCoordinates(QAVIKwpParm*& oX, QAVIKwpParm*& oY, QAVIKwpParm*& oZ) = 0;
};

#endif

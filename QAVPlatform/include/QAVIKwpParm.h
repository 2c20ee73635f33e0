#ifndef QAVIKwpParm_H
#define QAVIKwpParm_H

#include "QAVBaseUnknown.h"
#include "QAVPlatformExport.h"

// A knowledge parameter: a named value.
class QAV_PLATFORM_API QAVIKwpParm : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIKwpParm"};

  virtual HRESULT Valuate(double iValue) = 0;
  virtual double Value() const = 0;
};

#endif

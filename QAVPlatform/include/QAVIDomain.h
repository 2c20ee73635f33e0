#ifndef QAVIDomain_H
#define QAVIDomain_H

#include "QAVBaseUnknown.h"
#include "QAVPlatformExport.h"

// Domain of an update (passed empty where the caller has none).
class QAV_PLATFORM_API QAVIDomain : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIDomain"};
};

#endif

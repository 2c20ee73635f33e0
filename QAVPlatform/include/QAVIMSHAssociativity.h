#ifndef QAVIMSHAssociativity_H
#define QAVIMSHAssociativity_H

#include "QAVBaseUnknown.h"
#include "QAVPlatformExport.h"

// Association between geometry and a mesh (not needed by the in-memory mesh).
class QAV_PLATFORM_API QAVIMSHAssociativity : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIMSHAssociativity"};
};

#endif

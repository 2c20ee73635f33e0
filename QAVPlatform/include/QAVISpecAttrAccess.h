#ifndef QAVISpecAttrAccess_H
#define QAVISpecAttrAccess_H

#include "QAVBaseUnknown.h"
#include "QAVListValQAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"

// Access to the objects that refer to this one through an attribute.
class QAV_PLATFORM_API QAVISpecAttrAccess : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVISpecAttrAccess"};

  // New list (the caller deletes it) of the objects answering iIID that refer to this one, or
  // null when there are none. iFlags and iDepth are reserved and passed as 0.
  virtual QAVListValQAVBaseUnknown_var* ListAttributes(const QAVIID& iIID, std::int32_t iFlags,
                                                       std::int32_t iDepth) = 0;
};

#endif

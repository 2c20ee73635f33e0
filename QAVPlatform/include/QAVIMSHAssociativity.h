#ifndef QAVIMSHAssociativity_H
#define QAVIMSHAssociativity_H

#include "QAVBaseUnknown.h"

// Association between geometry and a mesh (not needed by the in-memory mesh).
class QAVIMSHAssociativity : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVIMSHAssociativity"};
};

#endif

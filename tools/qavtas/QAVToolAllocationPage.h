#ifndef QAVToolAllocationPage_H
#define QAVToolAllocationPage_H

#include "QAVToolAllocateAnswer.h"

#include <string>

// One self-contained HTML page of an allocation: summary, certificate, the report's tables with
// sortable columns (a small inline script, nothing loaded from elsewhere), what binds, the picture
// inline, the yield when it was estimated, and the command line and version that produced it.
class QAVToolAllocationPage
{
public:
  static std::string Html(const QAVToolAllocateAnswer& iAnswer);
  // The pages' common look and their sortable tables (any page whose tables have class "sortable").
  static const char* Style();
  static const char* Script();
};

#endif

#ifndef QAVTrace_H
#define QAVTrace_H

#include "QAVPlatformExport.h"

// A diagnostic trace channel; lines go to standard error.
class QAV_PLATFORM_API QAVTrace
{
public:
  void TraPutLN(const char* iLine) const;
};

// The trace of the analysis-error service.
extern QAV_PLATFORM_API QAVTrace Tra_SAMTraceExpli;

#endif

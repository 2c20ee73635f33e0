#ifndef QAVITasAnalysis_H
#define QAVITasAnalysis_H

#include "QAVBaseUnknown.h"
#include "QAVPlatformExport.h"

#include <cstdint>

// A tolerance analysis.
class QAV_PLATFORM_API QAVITasAnalysis : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVITasAnalysis"};

  // Makes the analysis ready for updates; iMode 0 is the ordinary preparation.
  virtual HRESULT PrepareAnalysis(std::int32_t iMode) = 0;
};

#endif

#ifndef QAVITasDisplayResults_H
#define QAVITasDisplayResults_H

#include "QAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"
#include "QAVTasImageOptions.h"

// Results of a tolerance analysis.
class QAV_PLATFORM_API QAVITasDisplayResults : public virtual QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVITasDisplayResults"};

  // The result values of the last update: oCount values in oValues, with for each the number
  // of its requirement (oRequirements) and its nominal value (oNominals). The three arrays are
  // new[] arrays the caller deletes; oResultSet holds the result set. A negative status, with
  // null arrays, when there is no up-to-date result.
  virtual HRESULT GetResults(const QAVTasImageOptions& iOptions, QAVBaseUnknown_var& oResultSet, std::int32_t& oCount,
                             float*& oValues, std::int32_t*& oRequirements, double*& oNominals) = 0;
};

#endif

#ifndef QAVTasCreateSpiders_H
#define QAVTasCreateSpiders_H

#include "QAVListValQAVBaseUnknown_var.h"
#include "QAVPlatformExport.h"
#include "QAVRawColldouble.h"
#include "QAVRawCollint.h"

// Prepares the sampling of each parameter-driven point feature over its range: feature k
// (a point on a curve or between points) will be sampled at ioSteps[k] positions between the
// bounds ioBounds[2k-1] and ioBounds[2k]. Fails (E_FAIL) when the three lists do not match in
// size, when a feature is null or not driven by a parameter, or when a step count is below 2;
// nothing is changed then.
QAV_PLATFORM_API HRESULT QAVTasCreateSpiders(QAVListValQAVBaseUnknown_var& ioFeatures, QAVRawColldouble& ioBounds,
                                             QAVRawCollint& ioSteps);

#endif

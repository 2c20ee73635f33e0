#ifndef QAVGetDefaultTolerance_H
#define QAVGetDefaultTolerance_H

#include "QAVPlatformExport.h"

// Relative precision asked of the platform's iterative numerical procedures by default.
QAV_PLATFORM_API double QAVGetDefaultTolerance();

#endif

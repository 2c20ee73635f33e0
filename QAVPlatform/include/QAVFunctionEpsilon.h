#ifndef QAVFunctionEpsilon_H
#define QAVFunctionEpsilon_H

#include "QAVPlatformExport.h"

// Absolute tolerance below which a value of order one is taken as zero.
QAV_PLATFORM_API double QAVFunctionEpsilon();

#endif

#ifndef QAVRawCollint_H
#define QAVRawCollint_H

#include "QAVColl.h"

#include <cstdint>

using QAVRawCollint = QAVColl<std::int32_t>;

#endif

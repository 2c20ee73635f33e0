#ifndef QAVRawCollPV_H
#define QAVRawCollPV_H

#include "QAVColl.h"

// Holds pointers without owning what they point at.
using QAVRawCollPV = QAVColl<void*>;

#endif

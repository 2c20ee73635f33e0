#ifndef QAVRawColldouble_H
#define QAVRawColldouble_H

#include "QAVColl.h"

using QAVRawColldouble = QAVColl<double>;

#endif

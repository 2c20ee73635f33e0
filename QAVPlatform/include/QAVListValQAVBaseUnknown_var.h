#ifndef QAVListValQAVBaseUnknown_var_H
#define QAVListValQAVBaseUnknown_var_H

#include "QAVBaseUnknown_var.h"
#include "QAVColl.h"

using QAVListValQAVBaseUnknown_var = QAVColl<QAVBaseUnknown_var>;

#endif

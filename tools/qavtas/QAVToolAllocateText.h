#ifndef QAVToolAllocateText_H
#define QAVToolAllocateText_H

#include "QAVToolAllocateAnswer.h"

#include <string>

// The human report of `qavtas allocate`: the status, the tables of an optimum, what binds, then
// whatever else the answer holds (loosening, selection, processes, yield, functions, capability).
class QAVToolAllocateText
{
public:
  static std::string Report(const QAVToolAllocateAnswer& iAnswer);
};

#endif

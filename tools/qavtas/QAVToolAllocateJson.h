#ifndef QAVToolAllocateJson_H
#define QAVToolAllocateJson_H

#include "QAVToolAllocateAnswer.h"

#include <string>

// The one line of JSON of `qavtas allocate --json`; its keys are those the command's help lists.
class QAVToolAllocateJson
{
public:
  static std::string Text(const QAVToolAllocateAnswer& iAnswer);
};

#endif

#include "QAVMathFunctionGeneral.h"

#include <cstring>

QAVMathFunctionGeneral::~QAVMathFunctionGeneral() = default;

const char* QAVMathFunctionGeneral::IsA() const
{
  return "QAVMathFunctionGeneral";
}

bool QAVMathFunctionGeneral::IsAKindOf(const char* iClassName) const
{
  return iClassName != nullptr && std::strcmp(iClassName, "QAVMathFunctionGeneral") == 0;
}

#include "QAVTrace.h"
#include "QAVSysCheckFailure.h"

#include <iostream>
#include <string>

QAVTrace Tra_SAMTraceExpli;

void QAVTrace::TraPutLN(const char* iLine) const
{
  std::cerr << (iLine ? iLine : "") << '\n';
}

namespace
{
std::int32_t sCheckFailures = 0;
std::string sLastExpression;
std::int32_t sLastLine = 0;
} // namespace

void QAVSysCheckFailure(const char* iExpression, const char*, const char*, const char*, const char*, std::int32_t iLine)
{
  ++sCheckFailures;
  sLastExpression = iExpression ? iExpression : "";
  sLastLine = iLine;
}

std::int32_t QAVSysCheckFailureCount()
{
  return sCheckFailures;
}
const char* QAVSysLastCheckExpression()
{
  return sLastExpression.c_str();
}
std::int32_t QAVSysLastCheckLine()
{
  return sLastLine;
}

#include "QAVMathFunctionRN.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
double ScaledStep(double iRoot, double iX)
{
  return iRoot * std::max(1.0, std::fabs(iX));
}

const double kEps = std::numeric_limits<double>::epsilon();
const double kFirstStepRoot = std::cbrt(kEps);
const double kSecondStepRoot = std::sqrt(std::sqrt(kEps));
} // namespace

QAVMathFunctionRN::QAVMathFunctionRN(const std::int32_t iNumberOfVariables)
  : _NumberOfVariables(iNumberOfVariables < 0 ? 0 : iNumberOfVariables),
    _Work(static_cast<std::size_t>(_NumberOfVariables))
{
}

QAVMathFunctionRN::~QAVMathFunctionRN() = default;

const char* QAVMathFunctionRN::IsA() const
{
  return "QAVMathFunctionRN";
}

bool QAVMathFunctionRN::IsAKindOf(const char* iClassName) const
{
  if (iClassName != nullptr && std::strcmp(iClassName, "QAVMathFunctionRN") == 0)
    return true;
  return QAVMathFunctionGeneral::IsAKindOf(iClassName);
}

std::int32_t QAVMathFunctionRN::GetNumberOfVariables() const
{
  return _NumberOfVariables;
}

// f at ipX with iStep1 added to coordinate iVar1 and iStep2 to iVar2 (a negative index adds nothing).
double QAVMathFunctionRN::EvalShifted(const double* ipX, std::int32_t iVar1, double iStep1, std::int32_t iVar2,
                                      double iStep2) const
{
  std::copy(ipX, ipX + _NumberOfVariables, _Work.begin());
  if (iVar1 >= 0)
    _Work[iVar1] += iStep1;
  if (iVar2 >= 0)
    _Work[iVar2] += iStep2;
  return Eval(_Work.data());
}

double QAVMathFunctionRN::EvalFirstDeriv(const std::int32_t& iVar, const double* ipX) const
{
  if (ipX == nullptr || iVar < 0 || iVar >= _NumberOfVariables)
    return std::numeric_limits<double>::quiet_NaN();
  const double h = ScaledStep(kFirstStepRoot, ipX[iVar]);
  return (EvalShifted(ipX, iVar, h, -1, 0.0) - EvalShifted(ipX, iVar, -h, -1, 0.0)) / (2.0 * h);
}

double QAVMathFunctionRN::EvalSecondDeriv(const std::int32_t& iVar1, const std::int32_t& iVar2, const double* ipX) const
{
  if (ipX == nullptr || iVar1 < 0 || iVar1 >= _NumberOfVariables || iVar2 < 0 || iVar2 >= _NumberOfVariables)
    return std::numeric_limits<double>::quiet_NaN();
  const double hi = ScaledStep(kSecondStepRoot, ipX[iVar1]);
  if (iVar1 == iVar2)
  {
    const double plus = EvalShifted(ipX, iVar1, hi, -1, 0.0);
    const double minus = EvalShifted(ipX, iVar1, -hi, -1, 0.0);
    return (plus - 2.0 * Eval(ipX) + minus) / (hi * hi);
  }
  const double hj = ScaledStep(kSecondStepRoot, ipX[iVar2]);
  const double pp = EvalShifted(ipX, iVar1, hi, iVar2, hj);
  const double pm = EvalShifted(ipX, iVar1, hi, iVar2, -hj);
  const double mp = EvalShifted(ipX, iVar1, -hi, iVar2, hj);
  const double mm = EvalShifted(ipX, iVar1, -hi, iVar2, -hj);
  return (pp - pm - mp + mm) / (4.0 * hi * hj);
}

#ifndef QAVTasExpressionRules_H
#define QAVTasExpressionRules_H

#include "QAVTasExpression.h"
#include "QAVTasInterval.h"

#include <algorithm>
#include <cmath>
#include <string>

// The one home of each operation's arithmetic: its value, its first partial derivatives (for
// doubles and intervals alike), its second ones, and its domain. a and b are the operand values,
// r the result.
namespace QAVTasExpressionRules
{
using Op = QAVTasExpression::Op;
using Instruction = QAVTasExpression::Instruction;

inline double Sq(double iX)
{
  return iX * iX;
}
inline QAVTasInterval Sq(const QAVTasInterval& iX)
{
  return pow(iX, 2);
}
inline double PowI(double iX, int iN)
{
  return std::pow(iX, iN);
}
inline QAVTasInterval PowI(const QAVTasInterval& iX, int iN)
{
  return pow(iX, iN);
}
inline double PowR(double iX, double iP)
{
  return std::pow(iX, iP);
}
inline QAVTasInterval PowR(const QAVTasInterval& iX, double iP)
{
  return pow(iX, iP);
}
inline double PowG(double iX, double iY)
{
  return std::pow(iX, iY);
}
inline QAVTasInterval PowG(const QAVTasInterval& iX, const QAVTasInterval& iY)
{
  return pow(iX, iY);
}
inline double AbsOf(double iX)
{
  return std::fabs(iX);
}
inline QAVTasInterval AbsOf(const QAVTasInterval& iX)
{
  return abs(iX);
}
inline double SignOf(double iX)
{
  return iX > 0.0 ? 1.0 : iX < 0.0 ? -1.0 : 0.0;
}
inline QAVTasInterval SignOf(const QAVTasInterval& iX)
{
  return Sign(iX);
}
// d min(a, b)/da: 1 where a < b (a tie goes to a).
inline double FirstSmaller(double iA, double iB)
{
  return iA <= iB ? 1.0 : 0.0;
}
inline QAVTasInterval FirstSmaller(const QAVTasInterval& iA, const QAVTasInterval& iB)
{
  return Below(iA, iB);
}
inline double MinOf(double iA, double iB)
{
  return std::min(iA, iB);
}
inline QAVTasInterval MinOf(const QAVTasInterval& iA, const QAVTasInterval& iB)
{
  return min(iA, iB);
}
inline double MaxOf(double iA, double iB)
{
  return std::max(iA, iB);
}
inline QAVTasInterval MaxOf(const QAVTasInterval& iA, const QAVTasInterval& iB)
{
  return max(iA, iB);
}

template <class T>
T Apply(const Instruction& iI, const T& iA, const T& iB)
{
  using std::acos, std::asin, std::atan, std::atan2, std::cos, std::exp, std::hypot, std::log, std::sin, std::sqrt,
    std::tan;
  switch (iI.Code)
  {
    case Op::Const:
      return T(iI.C);
    case Op::Input:
      return iA;
    case Op::Add:
      return iA + iB;
    case Op::Sub:
      return iA - iB;
    case Op::Mul:
      return iA * iB;
    case Op::Div:
      return iA / iB;
    case Op::Neg:
      return -iA;
    case Op::PowInt:
      return PowI(iA, static_cast<int>(iI.C));
    case Op::PowConst:
      return PowR(iA, iI.C);
    case Op::Pow:
      return PowG(iA, iB);
    case Op::Sin:
      return sin(iA);
    case Op::Cos:
      return cos(iA);
    case Op::Tan:
      return tan(iA);
    case Op::Asin:
      return asin(iA);
    case Op::Acos:
      return acos(iA);
    case Op::Atan:
      return atan(iA);
    case Op::Atan2:
      return atan2(iA, iB);
    case Op::Sqrt:
      return sqrt(iA);
    case Op::Exp:
      return exp(iA);
    case Op::Log:
      return log(iA);
    case Op::Abs:
      return AbsOf(iA);
    case Op::Min:
      return MinOf(iA, iB);
    case Op::Max:
      return MaxOf(iA, iB);
    case Op::Hypot:
      return hypot(iA, iB);
  }
  return T(0.0);
}

// dr/da and dr/db (db untouched for one operand).
template <class T>
void Partials(const Instruction& iI, const T& iA, const T& iB, const T& iR, T& oDa, T& oDb)
{
  using std::cos, std::log, std::sin, std::sqrt;
  const T one(1.0);
  switch (iI.Code)
  {
    case Op::Const:
    case Op::Input:
      oDa = one;
      return;
    case Op::Add:
      oDa = one, oDb = one;
      return;
    case Op::Sub:
      oDa = one, oDb = -one;
      return;
    case Op::Mul:
      oDa = iB, oDb = iA;
      return;
    case Op::Div:
      oDa = one / iB, oDb = -(iR / iB);
      return;
    case Op::Neg:
      oDa = -one;
      return;
    case Op::PowInt:
      oDa = T(iI.C) * PowI(iA, static_cast<int>(iI.C) - 1);
      return;
    case Op::PowConst:
      oDa = T(iI.C) * PowR(iA, iI.C - 1.0);
      return;
    case Op::Pow:
      oDa = iB * PowG(iA, iB - one), oDb = iR * log(iA);
      return;
    case Op::Sin:
      oDa = cos(iA);
      return;
    case Op::Cos:
      oDa = -sin(iA);
      return;
    case Op::Tan:
      oDa = one + Sq(iR);
      return;
    case Op::Asin:
      oDa = one / sqrt(one - Sq(iA));
      return;
    case Op::Acos:
      oDa = -(one / sqrt(one - Sq(iA)));
      return;
    case Op::Atan:
      oDa = one / (one + Sq(iA));
      return;
    case Op::Atan2:
    {
      const T q = Sq(iA) + Sq(iB);
      oDa = iB / q, oDb = -(iA / q);
      return;
    }
    case Op::Sqrt:
      oDa = T(0.5) / iR;
      return;
    case Op::Exp:
      oDa = iR;
      return;
    case Op::Log:
      oDa = one / iA;
      return;
    case Op::Abs:
      oDa = SignOf(iA);
      return;
    case Op::Min:
      oDa = FirstSmaller(iA, iB), oDb = one - oDa;
      return;
    case Op::Max:
      oDa = FirstSmaller(iB, iA), oDb = one - oDa;
      return;
    case Op::Hypot:
      oDa = iA / iR, oDb = iB / iR;
      return;
  }
}

// d2r/da2, d2r/dadb, d2r/db2.
void Second(const Instruction& iI, double iA, double iB, double iR, double& oAa, double& oAb, double& oBb);

// Why the operation is not defined at (a, b), or empty.
std::string Violation(const Instruction& iI, double iA, double iB);
// The operation's name in messages.
const char* NameOf(Op iOp);
} // namespace QAVTasExpressionRules

#endif

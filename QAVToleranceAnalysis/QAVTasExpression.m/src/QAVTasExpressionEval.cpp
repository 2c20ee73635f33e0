#include "QAVTasExpression.h"

#include "QAVTasExpressionRules.h"
#include "QAVTasScratch.h"

#include <sstream>

using Op = QAVTasExpression::Op;
using Instruction = QAVTasExpression::Instruction;
namespace Rules = QAVTasExpressionRules;

namespace
{
double Operand(const double* ipV, std::int32_t iK)
{
  return iK < 0 ? 0.0 : ipV[iK];
}

void Forward(const std::vector<Instruction>& iTape, const double* ipX, double* opV)
{
  for (std::size_t k = 0; k < iTape.size(); ++k)
  {
    const Instruction& ins = iTape[k];
    opV[k] = ins.Code == Op::Input ? ipX[ins.A] : Rules::Apply(ins, Operand(opV, ins.A), Operand(opV, ins.B));
  }
}

// Adjoints of every instruction (dy/dv_k), given the forward values.
void Reverse(const std::vector<Instruction>& iTape, const double* ipV, double* opAdjoint)
{
  std::fill(opAdjoint, opAdjoint + iTape.size(), 0.0);
  opAdjoint[iTape.size() - 1] = 1.0;
  for (std::size_t k = iTape.size(); k-- > 0;)
  {
    const Instruction& ins = iTape[k];
    if (opAdjoint[k] == 0.0 || ins.Code == Op::Input || ins.Code == Op::Const)
      continue;
    double da = 0.0, db = 0.0;
    Rules::Partials(ins, Operand(ipV, ins.A), Operand(ipV, ins.B), ipV[k], da, db);
    opAdjoint[ins.A] += opAdjoint[k] * da;
    if (ins.B >= 0)
      opAdjoint[ins.B] += opAdjoint[k] * db;
  }
}

void Collect(const std::vector<Instruction>& iTape, const double* ipPerInstruction, std::size_t iN, double* opOut)
{
  std::fill(opOut, opOut + iN, 0.0);
  for (std::size_t k = 0; k < iTape.size(); ++k)
    if (iTape[k].Code == Op::Input)
      opOut[iTape[k].A] += ipPerInstruction[k];
}

// Row j of the Hessian: the derivative of the adjoints along input j (tangent forward, then the
// reverse sweep of the tangents of the adjoints).
void HessianRow(const std::vector<Instruction>& iTape, const double* ipV, const double* ipAdjoint, std::int32_t iJ,
                double* opTangent, double* opTangentAdjoint)
{
  const std::size_t n = iTape.size();
  for (std::size_t k = 0; k < n; ++k)
  {
    const Instruction& ins = iTape[k];
    if (ins.Code == Op::Input || ins.Code == Op::Const)
    {
      opTangent[k] = ins.Code == Op::Input && ins.A == iJ ? 1.0 : 0.0;
      continue;
    }
    double da = 0.0, db = 0.0;
    Rules::Partials(ins, Operand(ipV, ins.A), Operand(ipV, ins.B), ipV[k], da, db);
    opTangent[k] = da * opTangent[ins.A] + (ins.B >= 0 ? db * opTangent[ins.B] : 0.0);
  }
  std::fill(opTangentAdjoint, opTangentAdjoint + n, 0.0);
  for (std::size_t k = n; k-- > 0;)
  {
    const Instruction& ins = iTape[k];
    if (ins.Code == Op::Input || ins.Code == Op::Const)
      continue;
    const double a = Operand(ipV, ins.A), b = Operand(ipV, ins.B);
    double da = 0.0, db = 0.0, aa = 0.0, ab = 0.0, bb = 0.0;
    Rules::Partials(ins, a, b, ipV[k], da, db);
    Rules::Second(ins, a, b, ipV[k], aa, ab, bb);
    const double ta = opTangent[ins.A], tb = ins.B >= 0 ? opTangent[ins.B] : 0.0;
    opTangentAdjoint[ins.A] += opTangentAdjoint[k] * da + ipAdjoint[k] * (aa * ta + ab * tb);
    if (ins.B >= 0)
      opTangentAdjoint[ins.B] += opTangentAdjoint[k] * db + ipAdjoint[k] * (ab * ta + bb * tb);
  }
}

std::string Number(double iX)
{
  std::ostringstream out;
  out.precision(12);
  out << iX;
  return out.str();
}
} // namespace

double QAVTasExpression::Value(const double* ipX) const
{
  double* v = QAVTasScratch<double, 0>::Get(_Tape.size()).data();
  Forward(_Tape, ipX, v);
  return v[_Tape.size() - 1];
}

double QAVTasExpression::Gradient(const double* ipX, double* opGradient) const
{
  double* v = QAVTasScratch<double, 0>::Get(_Tape.size()).data();
  double* adjoint = QAVTasScratch<double, 1>::Get(_Tape.size()).data();
  Forward(_Tape, ipX, v);
  Reverse(_Tape, v, adjoint);
  Collect(_Tape, adjoint, _Inputs.size(), opGradient);
  return v[_Tape.size() - 1];
}

double QAVTasExpression::Hessian(const double* ipX, double* opGradient, double* opHessian) const
{
  const std::size_t n = _Inputs.size();
  double* v = QAVTasScratch<double, 0>::Get(_Tape.size()).data();
  double* adjoint = QAVTasScratch<double, 1>::Get(_Tape.size()).data();
  double* tangent = QAVTasScratch<double, 2>::Get(_Tape.size()).data();
  double* tangentAdjoint = QAVTasScratch<double, 3>::Get(_Tape.size()).data();
  Forward(_Tape, ipX, v);
  Reverse(_Tape, v, adjoint);
  Collect(_Tape, adjoint, n, opGradient);
  for (std::size_t j = 0; j < n; ++j)
  {
    HessianRow(_Tape, v, adjoint, static_cast<std::int32_t>(j), tangent, tangentAdjoint);
    Collect(_Tape, tangentAdjoint, n, opHessian + j * n);
  }
  return v[_Tape.size() - 1];
}

void QAVTasExpression::Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const
{
  const std::size_t block = 256, size = _Tape.size();
  double* v = QAVTasScratch<double, 0>::Get(size * block).data();
  for (std::int64_t from = 0; from < iCount; from += static_cast<std::int64_t>(block))
  {
    const std::size_t m = static_cast<std::size_t>(std::min<std::int64_t>(block, iCount - from));
    for (std::size_t k = 0; k < size; ++k)
    {
      const Instruction& ins = _Tape[k];
      double* out = v + k * block;
      if (ins.Code == Op::Input)
      {
        std::copy(ipColumns[ins.A] + from, ipColumns[ins.A] + from + static_cast<std::int64_t>(m), out);
        continue;
      }
      const double* a = ins.A >= 0 ? v + static_cast<std::size_t>(ins.A) * block : out;
      const double* b = ins.B >= 0 ? v + static_cast<std::size_t>(ins.B) * block : a;
      for (std::size_t p = 0; p < m; ++p)
        out[p] = Rules::Apply(ins, a[p], b[p]);
    }
    std::copy(v + (size - 1) * block, v + (size - 1) * block + m, opY + from);
  }
}

std::string QAVTasExpression::DomainError(const double* ipX) const
{
  double* v = QAVTasScratch<double, 0>::Get(_Tape.size()).data();
  Forward(_Tape, ipX, v);
  for (std::size_t k = 0; k < _Tape.size(); ++k)
  {
    const Instruction& ins = _Tape[k];
    const std::string at = "column " + std::to_string(ins.Column) + ": ";
    const double a = Operand(v, ins.A), b = Operand(v, ins.B);
    const std::string why = ins.Code == Op::Input ? std::string() : Rules::Violation(ins, a, b);
    if (!why.empty())
      return at + why;
    if (!std::isfinite(v[k]))
      return at + "the value " + Number(v[k]) + " is not finite";
    double da = 0.0, db = 0.0;
    Rules::Partials(ins, a, b, v[k], da, db);
    if (!std::isfinite(da) || !std::isfinite(db))
      return at + Rules::NameOf(ins.Code) + " has no derivative at " + Number(a) +
        (ins.B >= 0 ? ", " + Number(b) : std::string());
  }
  return {};
}

void QAVTasExpressionRules::Second(const Instruction& iI, double iA, double iB, double iR, double& oAa, double& oAb,
                                   double& oBb)
{
  oAa = oAb = oBb = 0.0;
  const double n = iI.C;
  switch (iI.Code)
  {
    case Op::Mul:
      oAb = 1.0;
      return;
    case Op::Div:
      oAb = -1.0 / (iB * iB), oBb = 2.0 * iR / (iB * iB);
      return;
    case Op::PowInt:
      oAa = n * (n - 1.0) * std::pow(iA, static_cast<int>(n) - 2);
      return;
    case Op::PowConst:
      oAa = n * (n - 1.0) * std::pow(iA, n - 2.0);
      return;
    case Op::Pow:
    {
      const double l = std::log(iA);
      oAa = iB * (iB - 1.0) * std::pow(iA, iB - 2.0);
      oAb = std::pow(iA, iB - 1.0) * (1.0 + iB * l);
      oBb = iR * l * l;
      return;
    }
    case Op::Sin:
      oAa = -iR;
      return;
    case Op::Cos:
      oAa = -iR;
      return;
    case Op::Tan:
      oAa = 2.0 * iR * (1.0 + iR * iR);
      return;
    case Op::Asin:
      oAa = iA / std::pow(1.0 - iA * iA, 1.5);
      return;
    case Op::Acos:
      oAa = -iA / std::pow(1.0 - iA * iA, 1.5);
      return;
    case Op::Atan:
      oAa = -2.0 * iA / Rules::Sq(1.0 + iA * iA);
      return;
    case Op::Atan2:
    {
      const double q2 = Rules::Sq(iA * iA + iB * iB);
      oAa = -2.0 * iA * iB / q2, oAb = (iA * iA - iB * iB) / q2, oBb = 2.0 * iA * iB / q2;
      return;
    }
    case Op::Sqrt:
      oAa = -0.25 / (iR * iR * iR);
      return;
    case Op::Exp:
      oAa = iR;
      return;
    case Op::Log:
      oAa = -1.0 / (iA * iA);
      return;
    case Op::Hypot:
    {
      const double r3 = iR * iR * iR;
      oAa = iB * iB / r3, oAb = -iA * iB / r3, oBb = iA * iA / r3;
      return;
    }
    default:
      return;
  }
}

std::string QAVTasExpressionRules::Violation(const Instruction& iI, double iA, double iB)
{
  const std::string name = NameOf(iI.Code);
  switch (iI.Code)
  {
    case Op::Div:
      return iB == 0.0 ? "division by zero" : "";
    case Op::Log:
      return iA <= 0.0 ? "log of " + Number(iA) + " is not defined (it needs > 0)" : "";
    case Op::Sqrt:
      return iA < 0.0 ? "sqrt of " + Number(iA) + " is not defined (it needs >= 0)" : "";
    case Op::Asin:
    case Op::Acos:
      return std::fabs(iA) > 1.0 ? name + " of " + Number(iA) + " is outside [-1, 1]" : "";
    case Op::Atan2:
      return iA == 0.0 && iB == 0.0 ? "atan2(0, 0) is not defined" : "";
    case Op::PowInt:
      return iA == 0.0 && iI.C < 0.0 ? "0 to a negative power" : "";
    case Op::PowConst:
      return iA < 0.0             ? Number(iA) + " to the power " + Number(iI.C) + " is not defined"
        : iA == 0.0 && iI.C < 0.0 ? "0 to a negative power"
                                  : "";
    case Op::Pow:
      return iA < 0.0 ? Number(iA) + " to a variable power is not defined" : iA == 0.0 ? "0 to a variable power" : "";
    default:
      return "";
  }
}

const char* QAVTasExpressionRules::NameOf(Op iOp)
{
  static const char* const names[] = {"a constant", "a name", "+",   "-",   "*",   "/",    "unary -", "^",
                                      "^",          "^",      "sin", "cos", "tan", "asin", "acos",    "atan",
                                      "atan2",      "sqrt",   "exp", "log", "abs", "min",  "max",     "hypot"};
  return names[static_cast<int>(iOp)];
}

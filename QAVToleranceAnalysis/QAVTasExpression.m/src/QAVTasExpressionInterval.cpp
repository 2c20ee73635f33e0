#include "QAVTasExpression.h"

#include "QAVTasExpressionRules.h"
#include "QAVTasScratch.h"

using I = QAVTasInterval;
using Op = QAVTasExpression::Op;
using Instruction = QAVTasExpression::Instruction;
namespace Rules = QAVTasExpressionRules;

namespace
{
const I& Operand(const I* ipV, std::int32_t iK)
{
  static const I zero(0.0);
  return iK < 0 ? zero : ipV[iK];
}

void Forward(const std::vector<Instruction>& iTape, const I* ipBox, I* opV)
{
  for (std::size_t k = 0; k < iTape.size(); ++k)
  {
    const Instruction& ins = iTape[k];
    opV[k] = ins.Code == Op::Input ? ipBox[ins.A] : Rules::Apply(ins, Operand(opV, ins.A), Operand(opV, ins.B));
  }
}
} // namespace

I QAVTasExpression::Enclose(const I* ipBox) const
{
  I* v = QAVTasScratch<I, 0>::Get(_Tape.size()).data();
  Forward(_Tape, ipBox, v);
  return v[_Tape.size() - 1];
}

// The reverse sweep over intervals: each adjoint encloses dy/dv_k over the box.
I QAVTasExpression::EncloseGradient(const I* ipBox, I* opGradient) const
{
  I* v = QAVTasScratch<I, 0>::Get(_Tape.size()).data();
  I* adjoint = QAVTasScratch<I, 1>::Get(_Tape.size()).data();
  Forward(_Tape, ipBox, v);
  std::fill(adjoint, adjoint + _Tape.size(), I(0.0));
  adjoint[_Tape.size() - 1] = I(1.0);
  for (std::size_t k = _Tape.size(); k-- > 0;)
  {
    const Instruction& ins = _Tape[k];
    if (ins.Code == Op::Input || ins.Code == Op::Const || (adjoint[k].Lo == 0.0 && adjoint[k].Hi == 0.0))
      continue;
    I da(0.0), db(0.0);
    Rules::Partials(ins, Operand(v, ins.A), Operand(v, ins.B), v[k], da, db);
    adjoint[ins.A] += adjoint[k] * da;
    if (ins.B >= 0)
      adjoint[ins.B] += adjoint[k] * db;
  }
  std::fill(opGradient, opGradient + _Inputs.size(), I(0.0));
  for (std::size_t k = 0; k < _Tape.size(); ++k)
    if (_Tape[k].Code == Op::Input)
      opGradient[_Tape[k].A] += adjoint[k];
  return v[_Tape.size() - 1];
}

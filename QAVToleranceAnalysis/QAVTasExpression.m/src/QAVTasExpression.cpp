#include "QAVTasExpression.h"

#include "QAVTasExpressionRules.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

using Expression = QAVTasExpression;
using Op = Expression::Op;

namespace
{
const char* const kPrimary = "a number, a name, '(' or '-'";
const int kDeepest = 200; // nesting levels: a bound on the parser's recursion

struct Function
{
  const char* Name;
  Op Code;
  int Arity; // 0: two or more (min, max)
};

const Function kFunctions[] = {
  {"sin", Op::Sin, 1},   {"cos", Op::Cos, 1},     {"tan", Op::Tan, 1},   {"asin", Op::Asin, 1},  {"acos", Op::Acos, 1},
  {"atan", Op::Atan, 1}, {"atan2", Op::Atan2, 2}, {"sqrt", Op::Sqrt, 1}, {"exp", Op::Exp, 1},    {"log", Op::Log, 1},
  {"abs", Op::Abs, 1},   {"min", Op::Min, 0},     {"max", Op::Max, 0},   {"hypot", Op::Hypot, 2}};

bool Binary(Op iCode)
{
  switch (iCode)
  {
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
    case Op::Div:
    case Op::Pow:
    case Op::Atan2:
    case Op::Min:
    case Op::Max:
    case Op::Hypot:
      return true;
    default:
      return false;
  }
}

// Recursive descent straight into the tape (postfix order):
//   sum := product (('+' | '-') product)*      product := unary (('*' | '/') unary)*
//   unary := ('-' | '+') unary | power          power := primary ('^' unary)?
//   primary := number | 'pi' | name | function '(' sum (',' sum)* ')' | '(' sum ')'
class Parser
{
public:
  Parser(const std::string& iText, const Expression::Lookup& iLookup, std::vector<std::int32_t>& oInputs,
         std::vector<Expression::Instruction>& oTape)
    : _Text(iText), _Lookup(iLookup), _Inputs(oInputs), _Tape(oTape)
  {
  }

  void Run()
  {
    Sum(0);
    Blank();
    if (_At < _Text.size())
      Fail("an operator or the end");
  }

private:
  [[noreturn]] void Fail(const std::string& iExpected, std::size_t iAt) const
  {
    throw Expression::ParseError(static_cast<std::int32_t>(iAt + 1), iExpected);
  }
  [[noreturn]] void Fail(const std::string& iExpected) const { Fail(iExpected, _At); }

  void Blank()
  {
    while (_At < _Text.size() && std::isspace(static_cast<unsigned char>(_Text[_At])))
      ++_At;
  }

  bool Accept(char iC)
  {
    Blank();
    if (_At < _Text.size() && _Text[_At] == iC)
    {
      ++_At;
      return true;
    }
    return false;
  }

  void Expect(char iC, const char* iExpected)
  {
    if (!Accept(iC))
      Fail(iExpected);
  }

  void Sum(int iDepth)
  {
    Product(iDepth);
    for (;;)
    {
      const std::size_t at = (Blank(), _At);
      if (Accept('+'))
        Product(iDepth), Emit(Op::Add, at);
      else if (Accept('-'))
        Product(iDepth), Emit(Op::Sub, at);
      else
        return;
    }
  }

  void Product(int iDepth)
  {
    Unary(iDepth);
    for (;;)
    {
      const std::size_t at = (Blank(), _At);
      if (Accept('*'))
        Unary(iDepth), Emit(Op::Mul, at);
      else if (Accept('/'))
        Unary(iDepth), Emit(Op::Div, at);
      else
        return;
    }
  }

  void Unary(int iDepth)
  {
    if (iDepth > kDeepest)
      Fail("at most " + std::to_string(kDeepest) + " levels of nesting");
    const std::size_t at = (Blank(), _At);
    if (Accept('-'))
      Unary(iDepth + 1), Emit(Op::Neg, at);
    else if (Accept('+'))
      Unary(iDepth + 1);
    else
      Power(iDepth);
  }

  void Power(int iDepth)
  {
    Primary(iDepth);
    const std::size_t at = (Blank(), _At);
    if (Accept('^'))
      Unary(iDepth + 1), Emit(Op::Pow, at);
  }

  void Primary(int iDepth)
  {
    Blank();
    const std::size_t at = _At;
    if (Accept('('))
    {
      Sum(iDepth + 1);
      Expect(')', "')'");
    }
    else if (at < _Text.size() && (std::isdigit(static_cast<unsigned char>(_Text[at])) || _Text[at] == '.'))
      Number();
    else if (at < _Text.size() && (std::isalpha(static_cast<unsigned char>(_Text[at])) || _Text[at] == '_'))
      Name(iDepth);
    else
      Fail(kPrimary);
  }

  // digits [. digits] [e [+-] digits], or . digits
  void Number()
  {
    const std::size_t at = _At;
    const auto digits = [this]
    {
      const std::size_t from = _At;
      while (_At < _Text.size() && std::isdigit(static_cast<unsigned char>(_Text[_At])))
        ++_At;
      return _At - from;
    };
    std::size_t count = digits();
    if (_At < _Text.size() && _Text[_At] == '.')
      ++_At, count += digits();
    if (count == 0)
      Fail("a digit");
    if (_At < _Text.size() && (_Text[_At] == 'e' || _Text[_At] == 'E'))
    {
      ++_At;
      if (_At < _Text.size() && (_Text[_At] == '+' || _Text[_At] == '-'))
        ++_At;
      if (digits() == 0)
        Fail("the exponent's digits");
    }
    const double value = std::strtod(_Text.substr(at, _At - at).c_str(), nullptr);
    if (!std::isfinite(value))
      Fail("a finite number", at);
    Constant(value, at);
  }

  void Name(int iDepth)
  {
    const std::size_t at = _At;
    while (_At < _Text.size() && (std::isalnum(static_cast<unsigned char>(_Text[_At])) || _Text[_At] == '_'))
      ++_At;
    const std::string name = _Text.substr(at, _At - at);
    if (Accept('('))
      return Call(name, at, iDepth);
    if (name == "pi")
      return Constant(M_PI, at);
    const std::int32_t index = _Lookup ? _Lookup(name) : -1;
    if (index < 0)
      Fail("a known name, not '" + name + "'", at);
    Expression::Instruction input;
    input.Code = Op::Input;
    input.Column = static_cast<std::int32_t>(at + 1);
    input.A = SlotOf(index);
    _Tape.push_back(input);
  }

  void Call(const std::string& iName, std::size_t iAt, int iDepth)
  {
    const Function* f = nullptr;
    for (const Function& candidate : kFunctions)
      if (iName == candidate.Name)
        f = &candidate;
    if (!f)
      Fail("a function (sin cos tan asin acos atan atan2 sqrt exp log abs min max hypot), not '" + iName + "'", iAt);
    Sum(iDepth + 1);
    int count = 1;
    for (; Accept(','); ++count)
    {
      if (f->Arity == count)
        Fail("')'", _At - 1);
      Sum(iDepth + 1);
      if (f->Arity == 0)
        Emit(f->Code, iAt);
    }
    if (count < std::max(f->Arity, 2) && f->Arity != 1)
      Fail("','");
    Expect(')', f->Arity == 1 ? "')'" : "',' or ')'");
    if (f->Arity != 0)
      Emit(f->Code, iAt);
  }

  std::int32_t SlotOf(std::int32_t iIndex)
  {
    for (std::size_t k = 0; k < _Inputs.size(); ++k)
      if (_Inputs[k] == iIndex)
        return static_cast<std::int32_t>(k);
    _Inputs.push_back(iIndex);
    return static_cast<std::int32_t>(_Inputs.size() - 1);
  }

  void Constant(double iValue, std::size_t iAt)
  {
    Expression::Instruction c;
    c.C = iValue;
    c.Column = static_cast<std::int32_t>(iAt + 1);
    _Tape.push_back(c);
  }

  bool IsConstant(std::size_t iK) const { return _Tape[iK].Code == Op::Const; }

  // The operation on the last one or two results; constants folded when the result is defined,
  // a constant exponent kept in the instruction.
  void Emit(Op iCode, std::size_t iAt)
  {
    const bool binary = Binary(iCode);
    Expression::Instruction ins;
    ins.Code = iCode;
    ins.Column = static_cast<std::int32_t>(iAt + 1);
    const std::size_t last = _Tape.size() - 1;
    ins.A = static_cast<std::int32_t>(binary ? Start(last) - 1 : last);
    ins.B = binary ? static_cast<std::int32_t>(last) : -1;
    if (iCode == Op::Pow && IsConstant(last))
    {
      const double p = _Tape[last].C;
      ins.Code = p == std::floor(p) && std::fabs(p) <= 1024.0 ? Op::PowInt : Op::PowConst;
      ins.C = p, ins.B = -1;
      _Tape.pop_back();
    }
    Fold(ins);
  }

  // Where the subexpression ending at instruction k starts: its first operand's start.
  std::size_t Start(std::size_t iK) const
  {
    while (_Tape[iK].Code != Op::Const && _Tape[iK].Code != Op::Input)
      iK = static_cast<std::size_t>(_Tape[iK].A);
    return iK;
  }

  void Fold(Expression::Instruction& ioIns)
  {
    const bool a = IsConstant(static_cast<std::size_t>(ioIns.A));
    const bool b = ioIns.B < 0 || IsConstant(static_cast<std::size_t>(ioIns.B));
    if (a && b)
    {
      const double va = _Tape[static_cast<std::size_t>(ioIns.A)].C;
      const double vb = ioIns.B < 0 ? 0.0 : _Tape[static_cast<std::size_t>(ioIns.B)].C;
      const double r = QAVTasExpressionRules::Apply(ioIns, va, vb);
      if (std::isfinite(r) && QAVTasExpressionRules::Violation(ioIns, va, vb).empty())
      {
        _Tape.resize(static_cast<std::size_t>(ioIns.A));
        Constant(r, static_cast<std::size_t>(ioIns.Column - 1));
        return;
      }
    }
    _Tape.push_back(ioIns);
  }

  const std::string& _Text;
  const Expression::Lookup& _Lookup;
  std::vector<std::int32_t>& _Inputs;
  std::vector<Expression::Instruction>& _Tape;
  std::size_t _At = 0;
};
} // namespace

QAVTasExpression::ParseError::ParseError(std::int32_t iColumn, const std::string& iExpected)
  : std::invalid_argument("column " + std::to_string(iColumn) + ": expected " + iExpected), _Column(iColumn),
    _Expected(iExpected)
{
}

QAVTasExpression::QAVTasExpression(const std::string& iText, const Lookup& iLookup) : _Text(iText)
{
  Parser(_Text, iLookup, _Inputs, _Tape).Run();
}

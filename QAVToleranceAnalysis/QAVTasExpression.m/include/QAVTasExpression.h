#ifndef QAVTasExpression_H
#define QAVTasExpression_H

#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct QAVTasInterval;

// A real function of named variables written as text: + - * / ^ (right-associative, above unary
// minus: -x^2 is -(x^2)), parentheses, numbers (1, 2.5, 1e-3), pi, and sin cos tan asin acos atan
// atan2 sqrt exp log abs min max hypot.
//
// The text is compiled once into a tape: one instruction per operation in evaluation order, each
// reading earlier results, constants folded. The variables are the distinct names met, in order of
// first appearance (Inputs(): their indices from the caller's lookup); every evaluation takes their
// values in that order. Values, the exact gradient (reverse sweep) and Hessian (a tangent forward
// sweep and its reverse sweep per variable), interval enclosures and interval gradients all run on
// the same tape; they allocate nothing once a thread has evaluated a tape of that size.
class QAV_TASOPT_API QAVTasExpression
{
public:
  // A text that is not an expression: Column (1-based) where it went wrong and what was expected
  // there; what() says both.
  class QAV_TASOPT_API ParseError : public std::invalid_argument
  {
  public:
    ParseError(std::int32_t iColumn, const std::string& iExpected);
    std::int32_t Column() const { return _Column; }
    const std::string& Expected() const { return _Expected; }

  private:
    std::int32_t _Column;
    std::string _Expected;
  };

  // Maps a name to its variable's index (>= 0), or -1 for a name it does not know.
  using Lookup = std::function<std::int32_t(const std::string&)>;

  enum class Op : std::int32_t
  {
    Const,
    Input,
    Add,
    Sub,
    Mul,
    Div,
    Neg,
    PowInt,
    PowConst,
    Pow,
    Sin,
    Cos,
    Tan,
    Asin,
    Acos,
    Atan,
    Atan2,
    Sqrt,
    Exp,
    Log,
    Abs,
    Min,
    Max,
    Hypot
  };

  struct Instruction
  {
    Op Code = Op::Const;
    std::int32_t A = -1, B = -1; // operands (earlier instructions); an Input's A is its variable
    double C = 0.0;              // a constant, or the exponent of PowInt and PowConst
    std::int32_t Column = 0;     // where the operation is written
  };

  // Throws ParseError for a malformed text or an unknown name.
  QAVTasExpression(const std::string& iText, const Lookup& iLookup);

  const std::string& Text() const { return _Text; }
  const std::vector<std::int32_t>& Inputs() const { return _Inputs; }
  std::size_t Size() const { return _Tape.size(); }
  const std::vector<Instruction>& Tape() const { return _Tape; }

  double Value(const double* ipX) const;
  // The value, and the gradient into opGradient (one per input).
  double Gradient(const double* ipX, double* opGradient) const;
  // The value, gradient and Hessian (row-major n x n, n = Inputs().size()).
  double Hessian(const double* ipX, double* opGradient, double* opHessian) const;
  // Values at iCount points given input by input: ipColumns[k][p] is input k at point p.
  void Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const;
  // Why the function or its derivatives are not defined at x ("column 1: acos of 1.2 is outside
  // [-1, 1]"), or empty when they are (every intermediate value finite).
  std::string DomainError(const double* ipX) const;

  // An enclosure of f over the box ipBox (one interval per input), and of each partial derivative
  // over it into opGradient. Partial when f may be undefined somewhere in the box.
  QAVTasInterval Enclose(const QAVTasInterval* ipBox) const;
  QAVTasInterval EncloseGradient(const QAVTasInterval* ipBox, QAVTasInterval* opGradient) const;

private:
  std::string _Text;
  std::vector<std::int32_t> _Inputs;
  std::vector<Instruction> _Tape;
};

#endif

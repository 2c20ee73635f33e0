#ifndef QAVMathFunctionRN_H
#define QAVMathFunctionRN_H

#include "QAVMathFunctionGeneral.h"
#include "QAVPlatformExport.h"

#include <cstdint>
#include <vector>

// A function of R^N to R. A subclass supplies Eval; the derivatives default to central finite
// differences of Eval, with steps scaled to each coordinate:
//   df/dx_i       ~ (f(x + h_i e_i) - f(x - h_i e_i)) / (2 h_i),            h_i = eps^(1/3) max(1, |x_i|)
//   d2f/dx_i^2    ~ (f(x + k_i e_i) - 2 f(x) + f(x - k_i e_i)) / k_i^2,      k_i = eps^(1/4) max(1, |x_i|)
//   d2f/dx_i dx_j ~ (f(++) - f(+-) - f(-+) + f(--)) / (4 k_i k_j)
// (the steps that balance truncation against rounding error for each formula).
// The perturbed points are built in a working buffer owned by the object, so an object is used by
// one thread at a time.
class QAV_PLATFORM_API QAVMathFunctionRN : public QAVMathFunctionGeneral
{
public:
  explicit QAVMathFunctionRN(const std::int32_t iNumberOfVariables);
  ~QAVMathFunctionRN() override;

  const char* IsA() const override;
  bool IsAKindOf(const char* iClassName) const override;

  std::int32_t GetNumberOfVariables() const;

  // f(ipX), ipX holding GetNumberOfVariables() values.
  virtual double Eval(const double* ipX) const = 0;
  virtual double EvalFirstDeriv(const std::int32_t& iVar, const double* ipX) const;
  virtual double EvalSecondDeriv(const std::int32_t& iVar1, const std::int32_t& iVar2, const double* ipX) const;

private:
  double EvalShifted(const double* ipX, std::int32_t iVar1, double iStep1, std::int32_t iVar2, double iStep2) const;

  std::int32_t _NumberOfVariables;
  mutable std::vector<double> _Work;
};

#endif

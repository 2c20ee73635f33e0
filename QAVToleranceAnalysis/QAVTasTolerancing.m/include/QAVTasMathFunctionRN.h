#ifndef QAVTasMathFunctionRN_H
#define QAVTasMathFunctionRN_H

#include "QAVMathFunctionRN.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>

// The function of the Newton refinement of a tolerancing run, over Ny multipliers lambda:
//   F(lambda) = sum_i t_i + 1e10 sum_j |lambda_j (sum_i W[j][i] / t_i - Ymax_j)|,
//   t_i = sqrt(sum_j W[j][i] lambda_j).
// W and Ymax are borrowed from the optimiser, which keeps them alive while the object exists.
// Objects are created with QAVDRQVirtual's operator new.
class QAV_TASOPT_API QAVTasMathFunctionRN : public QAVMathFunctionRN
{
public:
  // No data: Eval returns NaN.
  explicit QAVTasMathFunctionRN(const std::int32_t iNy);
  QAVTasMathFunctionRN(const std::int32_t iNy, const std::int32_t iNx, const double* const* ippW, const double* ipYmax);
  ~QAVTasMathFunctionRN() override;

  // Returns null: the class does not name itself.
  const char* IsA() const override;
  // Returns null: the object cannot be duplicated.
  QAVMathFunctionGeneral* Duplicate() const override;
  double Eval(const double* ipX) const override;

  std::int32_t _Ny;
  std::int32_t _Nx;
  const double* const* _ppW;
  const double* _pYmax;
};

#endif

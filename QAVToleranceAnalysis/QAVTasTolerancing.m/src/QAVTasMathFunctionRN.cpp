#include "QAVTasMathFunctionRN.h"

#include "ErrorDepthHandler.h"
#include "QAVSamReport.h"
#include "QAVTasToleranceModel.h"

#include <cmath>
#include <limits>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasMathFunctionRN";
const double kSlacknessWeight = 1.0e10;
} // namespace

QAVTasMathFunctionRN::QAVTasMathFunctionRN(const std::int32_t iNy)
  : QAVMathFunctionRN(iNy), _Ny(iNy), _Nx(0), _ppW(nullptr), _pYmax(nullptr)
{
}

QAVTasMathFunctionRN::QAVTasMathFunctionRN(const std::int32_t iNy, const std::int32_t iNx, const double* const* ippW,
                                           const double* ipYmax)
  : QAVMathFunctionRN(iNy), _Ny(iNy), _Nx(iNx), _ppW(ippW), _pYmax(ipYmax)
{
}

QAVTasMathFunctionRN::~QAVTasMathFunctionRN()
{
  // Borrowed from the optimiser: forgotten, not freed.
  _pYmax = nullptr;
  _ppW = nullptr;
}

const char* QAVTasMathFunctionRN::IsA() const
{
  return nullptr;
}

QAVMathFunctionGeneral* QAVTasMathFunctionRN::Duplicate() const
{
  return nullptr;
}

double QAVTasMathFunctionRN::Eval(const double* ipX) const
{
  if (ipX == nullptr)
  {
    ErrorDepthHandler depth;
    return QAVSamReport(QAVSamKindNull, "ipX", kErrFile, 109, 0.0);
  }
  if (_ppW == nullptr || _pYmax == nullptr || _Nx < 0 || _Ny < 0)
    return std::numeric_limits<double>::quiet_NaN();
  // t_i = sqrt((W^T lambda)_i) and u_j = sum_i W[j][i] / t_i; f = sum t_i + weight sum |lambda_j (u_j - Ymax_j)|.
  const QAVTasToleranceModel model(_Ny, _Nx, _ppW);
  double* t = new double[_Nx];
  double f = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    t[i] = std::sqrt(model.ColumnSum(i, ipX));
    f += t[i];
  }
  for (std::int32_t j = 0; j < _Ny; ++j)
    f += kSlacknessWeight * std::fabs(ipX[j] * (model.StackUpOfInverse(j, t) - _pYmax[j]));
  delete[] t;
  return f;
}

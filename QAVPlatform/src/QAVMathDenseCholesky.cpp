#include "QAVMathDenseCholesky.h"

#include <cmath>

bool QAVMathDenseCholesky::Factor(double* ioA, std::size_t n, double shift)
{
  for (std::size_t j = 0; j < n; ++j)
  {
    double* rowJ = ioA + j * n;
    double diag = rowJ[j] + shift;
    for (std::size_t k = 0; k < j; ++k)
      diag -= rowJ[k] * rowJ[k];
    if (!(diag > 0.0))
      return false;
    const double root = std::sqrt(diag);
    rowJ[j] = root;
    for (std::size_t i = j + 1; i < n; ++i)
    {
      double* rowI = ioA + i * n;
      double v = rowI[j];
      for (std::size_t k = 0; k < j; ++k)
        v -= rowI[k] * rowJ[k];
      rowI[j] = v / root;
    }
  }
  return true;
}

void QAVMathDenseCholesky::Solve(const double* ipL, std::size_t n, double* ioB)
{
  for (std::size_t i = 0; i < n; ++i)
  {
    const double* rowI = ipL + i * n;
    double v = ioB[i];
    for (std::size_t k = 0; k < i; ++k)
      v -= rowI[k] * ioB[k];
    ioB[i] = v / rowI[i];
  }
  for (std::size_t i = n; i-- > 0;)
  {
    double v = ioB[i];
    for (std::size_t k = i + 1; k < n; ++k)
      v -= ipL[k * n + i] * ioB[k];
    ioB[i] = v / ipL[i * n + i];
  }
}

#ifndef QAVMathDenseCholesky_H
#define QAVMathDenseCholesky_H

#include "QAVPlatformExport.h"

#include <cstddef>

// Cholesky factorisation A + shift I = L L^T of a dense symmetric n x n matrix stored row by row,
// and the solve with its factor. Only the lower triangle of A is read; L overwrites it.
class QAV_PLATFORM_API QAVMathDenseCholesky
{
public:
  // False when A + shift I is not positive definite (or holds a NaN); ioA is then partly overwritten.
  static bool Factor(double* ioA, std::size_t n, double shift);
  // Replaces ioB by the solution of L L^T y = ioB, L from Factor.
  static void Solve(const double* ipL, std::size_t n, double* ioB);
};

#endif

#ifndef QAVMathMinimizeRN_H
#define QAVMathMinimizeRN_H

#include "QAVPlatformExport.h"

#include <cstdint>

class QAVMathFunctionRN;
class QAVMathIntervalND;

// Local minimisation of a function of R^N inside a box.
//
// MinimizeNewton is a projected Newton method. With g and H the gradient and Hessian of f (from the
// function's derivative operations), a coordinate is active when it sits on a bound and -g points out
// of the box; the step solves (H_FF + mu I) d_F = -g_F over the free coordinates F by Cholesky, mu
// growing from 0 until H_FF + mu I is positive definite, and leaves active coordinates still. The new
// point P(x + a d), P the projection on the box, is accepted at the first a in 1, 1/2, 1/4, ... with
// the Armijo decrease f(new) <= f(x) + 1e-4 g.(new - x); when no a passes, the same search runs on the
// steepest-descent direction -g, and when that fails too the point is final. The run also ends when
// the projected gradient or the decrease falls within the tolerance (relative to 1 + |f|).
//
// It only moves the first GetNumberOfVariables() coordinates of the point: a box with more dimensions
// leaves the remaining coordinates as given.
class QAV_PLATFORM_API QAVMathMinimizeRN
{
public:
  // Borrows the function for the minimiser's lifetime.
  QAVMathMinimizeRN(const QAVMathFunctionRN* ipFunction, double iTolerance);

  void SetMaxIterations(std::int32_t iMaxIterations);

  // Starts from iopX projected onto the box and writes the final point into iopX; never leaves the
  // box and never ends at a higher value than at its start. Returns false, with iopX untouched, only
  // when it cannot start: no function or point, an empty box or one with fewer dimensions than the
  // function has variables, or a non-finite value at the start point.
  bool MinimizeNewton(double* iopX, const QAVMathIntervalND& iBox) const;

private:
  const QAVMathFunctionRN* _pFunction;
  double _Tolerance;
  std::int32_t _MaxIterations;
};

#endif

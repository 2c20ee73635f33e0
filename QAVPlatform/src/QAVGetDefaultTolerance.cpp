#include "QAVGetDefaultTolerance.h"

// About the square root of the double precision: the best relative accuracy that a stopping test
// built on finite-difference derivatives can rely on.
double QAVGetDefaultTolerance()
{
  return 1.0e-8;
}

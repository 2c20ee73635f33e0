#ifndef QAVMathPolynomXY_H
#define QAVMathPolynomXY_H

#include "QAVPlatformExport.h"

#include <cstdint>
#include <vector>

// A polynomial in x and y, sum of c[i][j]·x^i·y^j for i <= degreeX, j <= degreeY.
class QAV_PLATFORM_API QAVMathPolynomXY
{
public:
  // The zero polynomial.
  QAVMathPolynomXY() = default;

  // iRows[i][j] is the coefficient of x^i·y^j; a negative degree or null rows give zero.
  void SetCoefficients(std::int32_t iDegreeX, std::int32_t iDegreeY, const double* const* iRows);
  double Eval(double iX, double iY) const;

private:
  std::int32_t _DegreeY = -1;
  std::vector<double> _Coef; // row i (power of x) after row i - 1, degreeY + 1 values each
};

#endif

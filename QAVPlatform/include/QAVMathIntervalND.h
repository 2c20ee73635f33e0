#ifndef QAVMathIntervalND_H
#define QAVMathIntervalND_H

#include "QAVPlatformExport.h"

#include <cstdint>
#include <vector>

// A box of R^N: one closed interval [low_i, high_i] per dimension.
class QAV_PLATFORM_API QAVMathIntervalND
{
public:
  // Copies iCount (low, high) pairs from ipBounds (2 * iCount values); the caller may free them at
  // once. A negative count or a null array gives a box of no dimension.
  QAVMathIntervalND(const std::int32_t iCount, const double* ipBounds);

  std::int32_t GetDimension() const;
  double GetLow(std::int32_t iDim) const;
  double GetHigh(std::int32_t iDim) const;
  // True when the box holds no point: no dimension, a NaN bound or a low bound above its high one.
  bool IsEmpty() const;

private:
  std::vector<double> _Bounds;
};

#endif

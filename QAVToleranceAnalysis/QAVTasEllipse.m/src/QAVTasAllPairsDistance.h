#ifndef QAVTasAllPairsDistance_H
#define QAVTasAllPairsDistance_H

#include <cmath>
#include <cstddef>

// The plain loop over all pairs of n interleaved points: the reference that the O(n log n)
// QAVTasGetMaxDistance must match exactly (tests) and beat (benchmarks).
inline double QAVTasAllPairsMaxDistance(const double* iPoints, std::size_t iCount)
{
  double best = 0.0;
  for (std::size_t i = 0; i < iCount; ++i)
    for (std::size_t j = i + 1; j < iCount; ++j)
    {
      const double dx = iPoints[2 * i] - iPoints[2 * j], dy = iPoints[2 * i + 1] - iPoints[2 * j + 1];
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d > best)
        best = d;
    }
  return best;
}

#endif

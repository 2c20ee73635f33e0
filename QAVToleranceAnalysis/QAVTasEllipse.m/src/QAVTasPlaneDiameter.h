#ifndef QAVTasPlaneDiameter_H
#define QAVTasPlaneDiameter_H

#include <cstdint>

// The largest dx·dx + dy·dy over all pairs of the n interleaved points, computed exactly as a loop
// over all pairs would compute it, in O(n log n): convex hull, then rotating calipers over the
// antipodal pairs. Points with a NaN coordinate take no part; an infinite coordinate gives infinity.
double QAVTasPlaneDiameterSquared(const double* iPoints, std::int32_t iCount);

#endif

#ifndef QAVTasDirectEllipseFit_H
#define QAVTasDirectEllipseFit_H

#include <cstdint>

// The direct algebraic ellipse fit (derived in QAVTasEllipseFitter.h) of iPointCount interleaved
// points, best centred and scaled to unit size by the caller. Writes (xc, yc, a, b, θ) with a ≥ b
// and θ, the a-axis' angle, in (−π/2, π/2]; false when the points admit no ellipse (too few, or
// on a line).
bool QAVTasDirectEllipseFit(const double* iPoints, std::int32_t iPointCount, double* oParams);

// The conic A·x² + B·x·y + C·y² + D·x + E·y + F = 0 as (xc, yc, a, b, θ); false for no real ellipse.
bool QAVTasConicToEllipse(const double* iConic, double* oParams);

// Makes a ≥ b (turning θ by π/2 when it swaps them) and brings θ into (−π/2, π/2].
void QAVTasNormaliseEllipse(double* ioParams);

#endif

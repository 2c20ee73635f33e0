#ifndef QAVTasSampleBlocks_H
#define QAVTasSampleBlocks_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasRandomStream.h"

#include <cstdint>
#include <functional>

// What every simulation of dimensions shares: blocks of samples, each drawn from its own random
// stream (QAVTasRandomStream seeded from (seed, block)) so that the figures do not depend on the
// thread that draws it; deviates of the dimensions' distributions from uniforms; a pool of threads
// that claim blocks; Wilson's interval of a proportion.
namespace QAVTasSampleBlocks
{
constexpr std::int64_t kBlock = 1024;

// Phi^-1(p), 0 < p < 1 (Wichura's AS 241, accurate to about 1e-16).
double NormalQuantile(double iP);

// mean + scale X for uniforms u in (0, 1): X standard normal (scale a sigma), or on [-1, 1]
// uniform or triangular (scale a half-width).
void Deviates(QAVTasAllocationProblem::Distribution iSpread, const double* ipU, std::int64_t iCount, double iMean,
              double iScale, double* opDev);

// iCount uniforms of iStream.
void Uniforms(QAVTasRandomStream& ioStream, std::int64_t iCount, double* opU);

// How many threads run iJobs: iThreads (0: one per hardware thread), at least 1, at most iJobs.
std::size_t ThreadsFor(std::int64_t iJobs, std::int32_t iThreads);

// Runs iWork(t) for t < iThreads, t = 0 on the calling thread, and waits for all; when the system
// gives fewer threads, fewer run (each iWork claims its jobs, so the work is done all the same).
void OnThreads(std::size_t iThreads, const std::function<void(std::size_t)>& iWork);

struct Interval
{
  double Estimate, Lower, Upper;
};

// k / n with Wilson's 95 % interval
//   (p + z^2/2n -+ z sqrt(p(1-p)/n + z^2/4n^2)) / (1 + z^2/n),  z = 1.959964.
Interval Wilson(std::int64_t iMet, std::int64_t iN);

constexpr double kZ975 = 1.959963984540054; // Phi^-1(0.975)
} // namespace QAVTasSampleBlocks

#endif

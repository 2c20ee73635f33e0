#ifndef QAVGAProgress_H
#define QAVGAProgress_H

#include <cstdint>
#include <functional>

// What a run of either engine tells its observer: once after the initial population (generation
// 0), then after every generation, the last one included.
struct QAVGAProgress
{
  std::int32_t _Generation;  // 0 for the initial population, then 1, 2, ...
  double _OptimumFitness;    // the best fitness found so far
  std::int64_t _Evaluations; // fitness evaluations of this run so far
};

enum class QAVGAObserverReply
{
  Continue,
  Stop // ends the run after this generation, as a stop rule would
};

// Set with SetObserver on either engine. Called in the run's thread, between generations; it may
// read the optimiser (GetOptimumParams) but must not start another run on it.
using QAVGAObserver = std::function<QAVGAObserverReply(const QAVGAProgress&)>;

#endif

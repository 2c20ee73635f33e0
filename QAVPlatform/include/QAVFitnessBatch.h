#ifndef QAVFitnessBatch_H
#define QAVFitnessBatch_H

#include <cstdint>

// Evaluates a batch of chromosomes on an engine's behalf: the engine builds every trial of a
// generation first, hands them over at once and selects in target order afterwards, so a batch
// may be evaluated in any order and in any place (threads, processes). An implementation must
// set opFitness[k] to the fitness of the chromosome of iGenes genes at ipCodes[k], for every k in
// [0, iCount), exactly as the engine's own EvalFitness would; it reports a failure by throwing,
// which ends the engine's run.
template <class Gene>
class QAVFitnessBatch
{
public:
  virtual ~QAVFitnessBatch() = default;
  virtual void Evaluate(std::int32_t iCount, std::int32_t iGenes, Gene* const* ipCodes, double* opFitness) = 0;
};

#endif

#ifndef QAVTrialBatch_H
#define QAVTrialBatch_H

// Internal detail of the differential-evolution engines, not an API: what an engine keeps to
// evaluate a generation's trials as one batch (see QAVDifferentialEvolutionStep.h), either on its
// own pool of threads or through a QAVFitnessBatch the caller lends it.
//
// Entry k of a batch is a chromosome at Code(k), with its target index and, after Evaluate, its
// fitness. The buffers grow to the largest batch seen and are then reused, so a run allocates
// only in its first generation; the pool starts once and serves every later run.

#include "QAVEvaluationPool.h"
#include "QAVFitnessBatch.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace QAVDifferentialEvolutionDetail
{
template <class Gene>
class QAVTrialBatch
{
public:
  // n > 1 threads (n <= 0: the hardware's count); 1 leaves the engine on its sequential path.
  void SetThreads(std::int32_t iThreads) { _Threads = QAVEvaluationPool::Resolve(iThreads); }
  // Borrowed; nullptr returns to the threads.
  void SetEvaluator(QAVFitnessBatch<Gene>* ipEvaluator) { _Evaluator = ipEvaluator; }
  bool Active() const { return _Evaluator != nullptr || _Threads > 1; }

  // Called at the start of a run: the pool is made at most once per thread count.
  void Start()
  {
    if (_Evaluator == nullptr && _Threads > 1 && (!_Pool || _Pool->Threads() != _Threads))
      _Pool.reset(new QAVEvaluationPool(_Threads));
  }

  // Room for iCount trials of iGenes genes; empties the batch.
  void Reserve(std::int32_t iCount, std::int32_t iGenes)
  {
    const std::size_t count = static_cast<std::size_t>(iCount > 0 ? iCount : 0);
    _Genes = iGenes > 0 ? iGenes : 0;
    if (_Codes.size() < count * _Genes)
      _Codes.resize(count * _Genes);
    if (_Pointers.size() < count)
    {
      _Pointers.resize(count);
      _Fitness.resize(count);
      _Target.resize(count);
    }
    _Count = 0;
  }

  // The batch's own storage for the next entry; Add keeps it.
  Gene* NextSlot() { return _Codes.data() + static_cast<std::size_t>(_Count) * _Genes; }
  void Add(std::int32_t iTarget) { Add(iTarget, NextSlot()); }
  // An entry whose genes live elsewhere (an initial individual); they must outlive Evaluate.
  void Add(std::int32_t iTarget, Gene* ipCode)
  {
    _Pointers[_Count] = ipCode;
    _Target[_Count++] = iTarget;
  }

  std::int32_t Count() const { return _Count; }
  std::int32_t Target(std::int32_t k) const { return _Target[k]; }
  const Gene* Code(std::int32_t k) const { return _Pointers[k]; }
  double Fitness(std::int32_t k) const { return _Fitness[k]; }

  // Fills every entry's fitness with iFitness(code, genes), in any order, on the pool or the lent
  // evaluator; iFitness must be safe to call concurrently.
  template <class Fitness>
  void Evaluate(Fitness&& iFitness)
  {
    if (_Evaluator != nullptr)
      return _Evaluator->Evaluate(_Count, _Genes, _Pointers.data(), _Fitness.data());
    Start();
    struct EntryTask final : QAVEvaluationPool::Task
    {
      QAVTrialBatch& _Batch;
      Fitness& _F;
      EntryTask(QAVTrialBatch& ioBatch, Fitness& iF) : _Batch(ioBatch), _F(iF) {}
      void Run(std::int32_t k) override { _Batch._Fitness[k] = _F(_Batch._Pointers[k], _Batch._Genes); }
    } task(*this, iFitness);
    _Pool->ForEach(_Count, task);
  }

  // Scores individuals [0, iCount) in place, as one batch.
  template <class Individual, class Fitness>
  void EvaluateAll(Individual* ioIndividuals, std::int32_t iCount, std::int32_t iGenes, Fitness&& iFitness)
  {
    Reserve(iCount, iGenes);
    for (std::int32_t i = 0; i < iCount; ++i)
      Add(i, ioIndividuals[i]._Code);
    Evaluate(iFitness);
    for (std::int32_t i = 0; i < iCount; ++i)
      ioIndividuals[i]._Fitness = _Fitness[i];
  }

private:
  std::int32_t _Threads = 1;
  QAVFitnessBatch<Gene>* _Evaluator = nullptr;
  std::unique_ptr<QAVEvaluationPool> _Pool;
  std::int32_t _Genes = 0;
  std::int32_t _Count = 0;
  std::vector<Gene> _Codes;
  std::vector<Gene*> _Pointers;
  std::vector<double> _Fitness;
  std::vector<std::int32_t> _Target;
};
} // namespace QAVDifferentialEvolutionDetail

#endif

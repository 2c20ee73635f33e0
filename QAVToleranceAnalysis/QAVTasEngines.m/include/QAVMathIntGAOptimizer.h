#ifndef QAVMathIntGAOptimizer_H
#define QAVMathIntGAOptimizer_H

#include "QAVFitnessBatch.h"
#include "QAVGAProgress.h"
#include "QAVMathIntGAIndividual.h"
#include "QAVMathIntGAPopulation.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <memory>

namespace QAVDifferentialEvolutionDetail
{
template <class Gene>
class QAVTrialBatch;
}

// The process-wide random source of the integer engine (drand48 / srand48).
QAV_TASOPT_API double IntGA_drand48();
QAV_TASOPT_API void IntGA_srand48(const std::int32_t seed);
// Writes text count times to standard output; nothing for a count of 0 or less.
QAV_TASOPT_API void IntGA_repchar(const char* text, std::int32_t count);

// Differential evolution over integer genes. A subclass supplies EvalFitness; a caller sets at
// least the gene count and limits, runs Minimize or Maximize and reads the optimum back.
// Every run reseeds the generator with _Seed, so equal settings give equal runs.
//
// Evaluations may run in parallel (SetEvaluationThreads) or elsewhere (SetFitnessBatch): a
// generation's trials are then built first and evaluated as one batch, and the run (optimum,
// reports, observer calls) is the same, bit for bit, as with one thread. EvalFitness must then be
// safe to call concurrently and must not touch the optimiser.
class QAV_TASOPT_API QAVMathIntGAOptimizer
{
public:
  QAVMathIntGAOptimizer();
  // The fitness of a chromosome of iCount genes; called concurrently when threads are set.
  virtual double EvalFitness(std::int32_t iCount, std::int32_t* ipCode) = 0;
  virtual ~QAVMathIntGAOptimizer();

  QAVMathIntGAOptimizer(const QAVMathIntGAOptimizer&) = delete;
  QAVMathIntGAOptimizer& operator=(const QAVMathIntGAOptimizer&) = delete;

  // Each setter replaces an invalid value by a fixed fallback.
  void SetMaxNumber(std::int32_t n);
  void SetPopulationSize(std::int32_t n);
  void SetNumParams(std::int32_t n); // also resizes _Optimum
  void SetCrossValue(double v);
  void SetMutatValue(double v);
  // Borrowed: both arrays must hold _NumParams limits and outlive the run.
  void SetParamValLimits(std::int32_t* min, std::int32_t* max);
  void SetFitnessReference(double r);
  void SetProcess(std::int32_t p);
  void SetRefresh(std::int32_t n);
  void SetSeed(std::int32_t s);
  void SetIdemFitnessCount(std::int32_t n);
  // Called after the initial population and after every generation of a run (see QAVGAProgress);
  // a Stop reply ends the run there. Without one (the default) runs are exactly as before.
  void SetObserver(QAVGAObserver iObserver);
  // Threads that evaluate a generation's trials: 1 (the default) evaluates each in turn, n <= 0
  // means the hardware's count. The pool starts with the first run that needs it.
  void SetEvaluationThreads(std::int32_t n);
  // Borrowed, nullptr to go back to the threads: evaluates every batch instead of the threads.
  void SetFitnessBatch(QAVFitnessBatch<std::int32_t>* ipBatch);

  void GetOptimum(QAVMathIntGAIndividual& ind);
  void GetOptimumParams(std::int32_t* out);
  double GetOptimumFitness();

  void Initialize();
  void Statistics(QAVMathIntGAPopulation* pop);
  void ShiftPopulation();
  void Minimize();
  void Maximize();
  void GenerateMin();
  void GenerateMax();

  void InitReport();
  void Report(std::int32_t generation);
  void Print(QAVMathIntGAIndividual& ind, const char* title);

  std::int32_t _MaxNumberOfGenerations;
  std::int32_t _PopulationSize;
  std::int32_t _NumParams;
  double _CrossValue;
  double _MutatValue;
  std::int32_t* _ParamValMin;
  std::int32_t* _ParamValMax;
  double _FitnessReference;
  std::int32_t _Process;
  std::int32_t _Refresh;
  std::int32_t _Seed;
  std::int32_t _IdemFitnessCount;
  QAVMathIntGAIndividual _Optimum;
  QAVMathIntGAPopulation* _OldPopulation;
  QAVMathIntGAPopulation* _NewPopulation;

private:
  QAVGAObserver _Observer;
  std::int64_t _Evaluations = 0; // of the current run
  std::unique_ptr<QAVDifferentialEvolutionDetail::QAVTrialBatch<std::int32_t>> _Batch;

  bool CanRun(const char* iDriver) const;
  bool Observe(std::int32_t iGeneration);
  QAVDifferentialEvolutionDetail::QAVTrialBatch<std::int32_t>* ActiveBatch() const;
  QAVDifferentialEvolutionDetail::QAVTrialBatch<std::int32_t>& Batch();
  std::int32_t OptimumGenes() const;
  template <class Direction>
  void Generate();
  template <class Direction>
  void Run();
};

#endif

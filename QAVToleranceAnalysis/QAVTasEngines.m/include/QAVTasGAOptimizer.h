#ifndef QAVTasGAOptimizer_H
#define QAVTasGAOptimizer_H

#include "QAVFitnessBatch.h"
#include "QAVGAProgress.h"
#include "QAVTasMathGAIndividual.h"
#include "QAVTasMathGAPopulation.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <memory>

namespace QAVDifferentialEvolutionDetail
{
template <class Gene>
class QAVTrialBatch;
}

// Fitness evaluations of the real-coded engine since the library was loaded; never reset.
extern QAV_TASOPT_API std::int32_t nbeval;
// Kept for callers that link against it; nothing reads or writes it.
extern QAV_TASOPT_API std::int32_t PhirCount;

// Writes text count times to the platform stream (QAVDRQOutput); nothing for a count of 0 or less.
QAV_TASOPT_API void repchar(const char* text, std::int32_t count);

// Differential evolution over double genes (at most 500). A subclass supplies EvalFitness; a
// caller sets at least the gene count and limits, runs Minimize or Maximize and reads the optimum.
// Reports go to the platform stream QAVDRQOutput, debug and failure lines to standard output.
//
// Evaluations may run in parallel (SetEvaluationThreads) or elsewhere (SetFitnessBatch): a
// generation's trials are then built first and evaluated as one batch, and the run (optimum,
// reports, nbeval, observer calls) is the same, bit for bit, as with one thread. EvalFitness must
// then be safe to call concurrently and must not touch the optimiser.
class QAV_TASOPT_API QAVTasGAOptimizer
{
public:
  QAVTasGAOptimizer();
  virtual ~QAVTasGAOptimizer();
  // The fitness of a chromosome of iCount genes; called concurrently when threads are set.
  virtual double EvalFitness(std::int32_t iCount, double* ipCode) = 0;

  QAVTasGAOptimizer(const QAVTasGAOptimizer&) = delete;
  QAVTasGAOptimizer& operator=(const QAVTasGAOptimizer&) = delete;

  // Each setter replaces an invalid value by a fixed fallback.
  void SetMaxNumber(std::int32_t n);
  void SetPopulationSize(std::int32_t n);
  void SetNumParams(std::int32_t n);
  void SetCrossValue(double v);
  void SetMutatValue(double v);
  // Borrowed: both arrays must hold _NumParams limits and outlive the run.
  void SetParamValLimits(double* min, double* max);
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
  void SetFitnessBatch(QAVFitnessBatch<double>* ipBatch);

  void GetOptimum(QAVTasMathGAIndividual& ind);
  void GetOptimumParams(double* out);
  double GetOptimumFitness();

  void Initialize();
  void Statistics(QAVTasMathGAPopulation* pop);
  void ShiftPopulation();
  void Minimize();
  void Maximize();
  void GenerateMin();
  void GenerateMax();

  void InitReport();
  void Report(std::int32_t generation);
  void Print(QAVTasMathGAIndividual& ind, const char* title);

  std::int32_t _MaxNumberOfGenerations;
  std::int32_t _PopulationSize;
  std::int32_t _NumParams;
  double _CrossValue;
  double _MutatValue;
  double* _ParamValMin;
  double* _ParamValMax;
  double _FitnessReference;
  std::int32_t _Process;
  std::int32_t _Refresh;
  std::int32_t _Seed;
  std::int32_t _IdemFitnessCount;
  QAVTasMathGAIndividual _Optimum;
  QAVTasMathGAPopulation* _OldPopulation;
  QAVTasMathGAPopulation* _NewPopulation;

protected:
  // False, after a "refused" line on standard output, when a run could not start (too few
  // individuals, no or non-finite gene limits, a gene count outside 1 to 500).
  bool CanRun(const char* iDriver) const;

private:
  QAVGAObserver _Observer;
  std::int64_t _Evaluations = 0; // of the current run
  std::unique_ptr<QAVDifferentialEvolutionDetail::QAVTrialBatch<double>> _Batch;

  bool Observe(std::int32_t iGeneration);
  QAVDifferentialEvolutionDetail::QAVTrialBatch<double>* ActiveBatch() const;
  QAVDifferentialEvolutionDetail::QAVTrialBatch<double>& Batch();
  std::int32_t HeldGenes() const;
  template <class Direction>
  void Generate();
};

#endif

#ifndef QAVMathGAOptimizer_H
#define QAVMathGAOptimizer_H

#include "QAVPlatformExport.h"

#include <cstdint>
#include <memory>
#include <vector>

class QAVMathGAPopulation;
namespace QAVDifferentialEvolutionDetail
{
template <class Gene>
class QAVTrialBatch;
}

// The platform's real-coded optimiser: differential evolution over chromosomes of doubles, with
// the settings, drivers and results of the library's real engine, and silent: it writes nothing.
// A subclass supplies EvalFitness; a caller sets at least SetNumParams and SetParamValLimits, runs
// Minimize or Maximize and reads GetOptimumParams / GetOptimumFitness. Every evaluated candidate
// lies within the limits. A run is reproducible: it reseeds the process-wide drand48 generator.
// With SetEvaluationThreads(n > 1) a generation's trials are evaluated as one batch on n threads,
// with the same result, bit for bit; EvalFitness must then be safe to call concurrently.
class QAV_PLATFORM_API QAVMathGAOptimizer
{
public:
  QAVMathGAOptimizer();
  virtual ~QAVMathGAOptimizer();
  QAVMathGAOptimizer(const QAVMathGAOptimizer&) = delete;
  QAVMathGAOptimizer& operator=(const QAVMathGAOptimizer&) = delete;

  // Fitness of a chromosome of iCount genes; called concurrently when threads are set.
  virtual double EvalFitness(std::int32_t iCount, double* ipX) = 0;

  // Each setter replaces an invalid value by its default, as the library's real engine does.
  void SetMaxNumber(std::int32_t iCount);               // n > 0, else 100
  void SetPopulationSize(std::int32_t iSize);           // n > 0, else 30; runs use at least 6
  void SetNumParams(std::int32_t iCount);               // 1..500, else 500
  void SetCrossValue(double iValue);                    // F in [0, 1], else 0.8
  void SetMutatValue(double iValue);                    // CR in [0, 1], else 1.0
  void SetParamValLimits(double* ipMin, double* ipMax); // borrowed for the run
  void SetFitnessReference(double iReference);
  void SetProcess(std::int32_t iProcess); // recombination scheme, 1 to 10
  void SetRefresh(std::int32_t iRefresh); // n > 0, else 1 (the optimiser writes no reports)
  void SetSeed(std::int32_t iSeed);
  void SetIdemFitnessCount(std::int32_t iCount);  // n > 0, else 10
  void SetEvaluationThreads(std::int32_t iCount); // 1 (default): in turn; n <= 0: the hardware's count

  // A run without limits or genes does nothing.
  void Minimize();
  void Maximize();
  // One generation; the run drivers call them, so do callers that drive a run themselves.
  void GenerateMin();
  void GenerateMax();
  void ShiftPopulation();
  // The optimiser is silent: there is nothing to report.
  void Report(std::int32_t iGeneration);

  void GetOptimumParams(double* opParams) const;
  double GetOptimumFitness() const;
  // Generations of the last run.
  std::int32_t GetGenerationCount() const;

  // The best chromosome found so far.
  struct Optimum
  {
    std::vector<double> _Code;
    double _Fitness;
  };

  std::int32_t _MaxNumberOfGenerations = 100;
  std::int32_t _PopulationSize = 30;
  std::int32_t _NumParams = 1;
  double _CrossValue = 0.8;
  double _MutatValue = 1.0;
  double* _ParamValMin = nullptr;
  double* _ParamValMax = nullptr;
  double _FitnessReference = 0.0;
  std::int32_t _Process = 2;
  std::int32_t _Refresh = 2;
  std::int32_t _Seed = -3;
  std::int32_t _IdemFitnessCount = 10;
  Optimum _Optimum;

private:
  void Initialize();
  template <class Direction>
  void Generate();
  template <class Direction, class Rule>
  void Run();

  std::int32_t _Generations = 0;
  std::int32_t _RunSize = 0;  // individuals of the current populations
  std::int32_t _RunGenes = 0; // genes of the current populations
  std::unique_ptr<QAVMathGAPopulation> _OldPopulation;
  std::unique_ptr<QAVMathGAPopulation> _NewPopulation;
  std::vector<double> _Leader; // working chromosomes of the generation step
  std::vector<double> _Trial;
  std::unique_ptr<QAVDifferentialEvolutionDetail::QAVTrialBatch<double>> _Batch;
};

#endif

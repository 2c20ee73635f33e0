#ifndef QAVGASettings_H
#define QAVGASettings_H

#include <cstdint>
#include <optional>

// The run settings of a differential-evolution engine as one value. It serves the three engines
// that share the setter names: the library's integer and real engines and the platform's
// QAVMathGAOptimizer.
//
// The defaults are the real engines' own, so a default value applied to a new real engine changes
// nothing; IntegerEngine() gives the integer engine's (population 6, scheme 1, no-progress
// count 100). A caller starts from the defaults and sets what its run needs.
//
// ApplyTo(engine) calls each setter once, in the order a run configures an engine: the search
// rates first (ApplyRatesTo: CrossValue, MutatValue, IdemFitnessCount), then NumParams, MaxNumber,
// Process, PopulationSize, FitnessReference, Refresh, EvaluationThreads and, when it is set, Seed. Each setter keeps
// its own rule for a value out of its range. No setter prints, so only the final state is
// observable; a run whose required order applies the rates before checks that may refuse it
// calls ApplyRatesTo there and ApplyTo after the checks.
//
// The gene limits are not part of the value: they are arrays the engine borrows, lent and taken
// back by QAVGALimitsGuard.
struct QAVGASettings
{
  double CrossValue = 0.8;            // F, the weight of gene differences, in [0, 1]
  double MutatValue = 1.0;            // CR, the crossover probability, in [0, 1]
  std::int32_t IdemFitnessCount = 10; // generations without progress that end a run
  std::int32_t NumParams = 1;         // genes per chromosome
  std::int32_t MaxNumber = 100;       // most generations of a run
  std::int32_t Process = 2;           // the scheme that builds trial chromosomes
  std::int32_t PopulationSize = 30;
  double FitnessReference = 0.0;      // a run stops once the optimum reaches it
  std::int32_t Refresh = 2;           // report period in generations
  std::optional<std::int32_t> Seed;   // unset: the engine keeps the seed it has
  std::int32_t EvaluationThreads = 1; // 1: trials evaluated in turn; n <= 0: the hardware's count

  static QAVGASettings IntegerEngine()
  {
    QAVGASettings settings;
    settings.PopulationSize = 6;
    settings.Process = 1;
    settings.IdemFitnessCount = 100;
    return settings;
  }

  template <class Engine>
  void ApplyRatesTo(Engine& ioEngine) const
  {
    ioEngine.SetCrossValue(CrossValue);
    ioEngine.SetMutatValue(MutatValue);
    ioEngine.SetIdemFitnessCount(IdemFitnessCount);
  }

  template <class Engine>
  void ApplyTo(Engine& ioEngine) const
  {
    ApplyRatesTo(ioEngine);
    ioEngine.SetNumParams(NumParams);
    ioEngine.SetMaxNumber(MaxNumber);
    ioEngine.SetProcess(Process);
    ioEngine.SetPopulationSize(PopulationSize);
    ioEngine.SetFitnessReference(FitnessReference);
    ioEngine.SetRefresh(Refresh);
    ioEngine.SetEvaluationThreads(EvaluationThreads);
    if (Seed)
      ioEngine.SetSeed(*Seed);
  }
};

#endif

#ifndef QAVDifferentialEvolutionStep_H
#define QAVDifferentialEvolutionStep_H

// Internal detail of the differential-evolution engines, not an API: the generation step and
// the run loop that every engine shares. Header-only so that the platform and the library can
// both build on it without linking each other.
//
// One generation, for every target T of the old population:
//   - draw five partners r1..r5, distinct from each other and from T;
//   - copy T into the trial, draw a start gene and recombine from there with the scheme's formula,
//     exponentially (one circular run of genes) or binomially (gene by gene, last one forced);
//   - a trial inside the gene limits is evaluated and replaces T when it is not worse;
//   - the new population's statistics are kept as it fills, and the optimum follows its best.
// An engine supplies, through its traits, the gene type, the draw, the five formulas, the
// evaluation and the failure lines; nothing else differs, so each engine keeps its own numbers.
//
// Batched generations. A trial is built from the old population, the leader and the draws only;
// the new population, written by selection, is never read before the generation ends. So all the
// trials can be built first, in the same draw order, evaluated together in any order, and then
// selected in target order: the populations, statistics, optimum and draws are those of the
// sequential step, bit for bit. Only a fitness that reaches into the engine itself could tell.
//
// Traits requirements (t an object of the traits class, G its Gene type):
//   double t.Draw();                           next uniform value in [0, 1)
//   double t.Evaluate(G* code, std::int32_t d); fitness of a trial
//   void t.Fail(bool maximizing, StepFailure);  writes the failure line
//   QAVTrialBatch<G>* t.Batch();                the batch to evaluate trials in, nullptr for none
//   void t.EvaluateBatch(QAVTrialBatch<G>&);    fills the batch's fitness values and counts them
//   static G Best1(F, b, x2, x3), Rand1(F, x1, x2, x3), RandToBest1(F, t, b, x1, x2),
//            Best2(F, b, x1, x2, x3, x4), Rand2(F, x5, x1, x2, x3, x4)

#include "QAVDifferentialEvolutionRun.h"
#include "QAVTrialBatch.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace QAVDifferentialEvolutionDetail
{
// The points at which a generation gives up, in the order the step meets them.
enum class StepFailure
{
  OldBest,       // the old population's best cannot be addressed
  NewIndividual, // the new population's slot for the target cannot be addressed
  Target,        // the target itself cannot be addressed
  NewBest        // the new population's best cannot be addressed
};

struct Minimizing
{
  static constexpr bool kMaximizing = false;
  template <class Population>
  static std::int32_t BestIndex(const Population& iPop)
  {
    return iPop._MinIndex;
  }
  static bool TrialWins(double iTrial, double iTarget) { return iTrial <= iTarget; }
  static bool Improves(double iCandidate, double iOptimum) { return iCandidate < iOptimum; }
};

struct Maximizing
{
  static constexpr bool kMaximizing = true;
  template <class Population>
  static std::int32_t BestIndex(const Population& iPop)
  {
    return iPop._MaxIndex;
  }
  static bool TrialWins(double iTrial, double iTarget) { return iTrial >= iTarget; }
  static bool Improves(double iCandidate, double iOptimum) { return iCandidate > iOptimum; }
};

// What one generation reads and writes; every array is borrowed from the engine.
template <class Population, class Gene>
struct StepData
{
  Population* oldPopulation;
  Population* newPopulation;
  const std::int32_t* populationSize; // re-read after every target
  std::int32_t numParams;
  double crossValue; // F, the weight of gene differences
  double mutatValue; // CR, the crossover probability
  const Gene* paramValMin;
  const Gene* paramValMax;
  Gene* leader;
  double* leaderFitness;
  Gene* trial;
  Gene* optimumCode;
  double* optimumFitness;
};

// The setters' fallbacks: a value outside its range (a NaN included) gives the fixed fallback.
inline double FractionOr(double iValue, double iFallback)
{
  return (iValue >= 0.0 && iValue <= 1.0) ? iValue : iFallback;
}

inline std::int32_t PositiveOr(std::int32_t iValue, std::int32_t iFallback)
{
  return iValue > 0 ? iValue : iFallback;
}

// What each setter stores, written once for the three engines: the value when it lies in the
// setting's range, else the setting's fallback.
struct SetterRule
{
  static std::int32_t MaxNumber(std::int32_t iCount) { return PositiveOr(iCount, 100); }
  // The real engines; the integer engine needs five partners besides the target.
  static std::int32_t PopulationSize(std::int32_t iSize) { return PositiveOr(iSize, 30); }
  static std::int32_t IntegerPopulationSize(std::int32_t iSize) { return iSize > 5 ? iSize : 6; }
  // The real engines: 1 to iCapacity genes, else iCapacity.
  static std::int32_t NumParams(std::int32_t iCount, std::int32_t iCapacity)
  {
    return iCount >= 1 && iCount <= iCapacity ? iCount : iCapacity;
  }
  static double CrossValue(double iValue) { return FractionOr(iValue, 0.8); }
  static double MutatValue(double iValue) { return FractionOr(iValue, 1.0); }
  static std::int32_t Refresh(std::int32_t iPeriod) { return PositiveOr(iPeriod, 1); }
  static std::int32_t IdemFitnessCount(std::int32_t iCount) { return PositiveOr(iCount, 10); }
};

template <class Gene>
inline void CopyGenes(Gene* oTo, const Gene* iFrom, std::int32_t iCount)
{
  if (iCount > 0)
    std::memcpy(oTo, iFrom, sizeof(Gene) * static_cast<std::size_t>(iCount));
}

template <class Population>
inline bool Addressable(const Population* iPop)
{
  return iPop != nullptr && iPop->_Individuals != nullptr;
}

// floor(u * n) for one draw; u * n is never negative, so truncation is the floor.
template <class Traits>
inline std::int32_t RandomIndex(Traits& ioTraits, std::int32_t iCount)
{
  return static_cast<std::int32_t>(ioTraits.Draw() * iCount);
}

// Each partner is drawn again until it differs from the target and from the partners before it.
template <class Traits>
inline void DrawPartners(Traits& ioTraits, std::int32_t iCount, std::int32_t iTarget, std::int32_t* oPartner)
{
  for (int k = 0; k < 5; ++k)
  {
    bool taken = true;
    while (taken)
    {
      oPartner[k] = RandomIndex(ioTraits, iCount);
      taken = oPartner[k] == iTarget;
      for (int j = 0; j < k && !taken; ++j)
        taken = oPartner[k] == oPartner[j];
    }
  }
}

template <class Population>
inline void TrackStatistics(Population& ioPop, std::int32_t iIndex, double iFitness)
{
  if (iIndex == 0)
  {
    ioPop._MaxIndex = ioPop._MinIndex = 0;
    ioPop._MaxFitness = ioPop._MinFitness = iFitness;
    return;
  }
  if (iFitness < ioPop._MinFitness)
  {
    ioPop._MinIndex = iIndex;
    ioPop._MinFitness = iFitness;
  }
  if (iFitness > ioPop._MaxFitness)
  {
    ioPop._MaxIndex = iIndex;
    ioPop._MaxFitness = iFitness;
  }
}

// The statistics pass over the first iCount individuals (never more than the population holds).
template <class Population>
inline void ComputeStatistics(Population* ioPop, std::int32_t iCount)
{
  if (!Addressable(ioPop))
    return;
  const std::int32_t count = iCount < ioPop->_Size ? iCount : ioPop->_Size;
  for (std::int32_t i = 0; i < count; ++i)
    TrackStatistics(*ioPop, i, ioPop->_Individuals[i]._Fitness);
}

// Genes a formula combines: b the leader, x[k] partner r(k+1), t the trial being built.
template <class Gene>
struct GeneSources
{
  const Gene* b;
  const Gene* x[5];
  const Gene* t;
};

struct Best1Scheme
{
  template <class Traits, class Gene>
  static Gene At(double iF, const GeneSources<Gene>& iS, std::int32_t n)
  {
    return Traits::Best1(iF, iS.b[n], iS.x[1][n], iS.x[2][n]);
  }
};

struct Rand1Scheme
{
  template <class Traits, class Gene>
  static Gene At(double iF, const GeneSources<Gene>& iS, std::int32_t n)
  {
    return Traits::Rand1(iF, iS.x[0][n], iS.x[1][n], iS.x[2][n]);
  }
};

struct RandToBest1Scheme
{
  template <class Traits, class Gene>
  static Gene At(double iF, const GeneSources<Gene>& iS, std::int32_t n)
  {
    return Traits::RandToBest1(iF, iS.t[n], iS.b[n], iS.x[0][n], iS.x[1][n]);
  }
};

struct Best2Scheme
{
  template <class Traits, class Gene>
  static Gene At(double iF, const GeneSources<Gene>& iS, std::int32_t n)
  {
    return Traits::Best2(iF, iS.b[n], iS.x[0][n], iS.x[1][n], iS.x[2][n], iS.x[3][n]);
  }
};

struct Rand2Scheme
{
  template <class Traits, class Gene>
  static Gene At(double iF, const GeneSources<Gene>& iS, std::int32_t n)
  {
    return Traits::Rand2(iF, iS.x[4][n], iS.x[0][n], iS.x[1][n], iS.x[2][n], iS.x[3][n]);
  }
};

// One circular run from the start gene; a draw follows every gene set, the last one included.
struct ExponentialCrossover
{
  template <class Traits, class SetGene>
  static void Run(Traits& ioTraits, double iCR, std::int32_t iD, std::int32_t n, SetGene&& iSet)
  {
    if (iD <= 0)
      return;
    std::int32_t length = 0;
    bool more = true;
    while (more)
    {
      iSet(n);
      if (++n == iD)
        n = 0;
      ++length;
      more = ioTraits.Draw() < iCR && length < iD;
    }
  }
};

// One draw per gene; the gene visited last is always set.
struct BinomialCrossover
{
  template <class Traits, class SetGene>
  static void Run(Traits& ioTraits, double iCR, std::int32_t iD, std::int32_t n, SetGene&& iSet)
  {
    for (std::int32_t length = 0; length < iD; ++length)
    {
      if (ioTraits.Draw() < iCR || length == iD - 1)
        iSet(n);
      if (++n == iD)
        n = 0;
    }
  }
};

// Inclusive limits; a NaN gene fails the comparison and so is never admissible.
template <class Gene>
inline bool Admissible(const Gene* iCode, const Gene* iMin, const Gene* iMax, std::int32_t iD)
{
  for (std::int32_t k = 0; k < iD; ++k)
    if (!(iMin[k] <= iCode[k] && iCode[k] <= iMax[k]))
      return false;
  return true;
}

template <class Direction, class Traits, class Population, class Individual>
inline void Select(Traits& ioTraits, const StepData<Population, typename Traits::Gene>& iS, const Individual& iTarget,
                   Individual& oChild)
{
  const std::int32_t d = iS.numParams;
  if (Admissible(iS.trial, iS.paramValMin, iS.paramValMax, d))
  {
    const double f = ioTraits.Evaluate(iS.trial, d);
    if (Direction::TrialWins(f, iTarget._Fitness))
    {
      CopyGenes(oChild._Code, iS.trial, d);
      oChild._Fitness = f;
      return;
    }
  }
  CopyGenes(oChild._Code, iTarget._Code, d);
  oChild._Fitness = iTarget._Fitness;
}

// The new population's best becomes the optimum when it improves on it.
template <class Direction, class Traits, class Population>
void UpdateOptimum(Traits& ioTraits, const StepData<Population, typename Traits::Gene>& iS)
{
  Population* newPop = iS.newPopulation;
  if (!Addressable(newPop))
    return ioTraits.Fail(Direction::kMaximizing, StepFailure::NewBest);
  const auto& newBest = newPop->_Individuals[Direction::BestIndex(*newPop)];
  if (Direction::Improves(newBest._Fitness, *iS.optimumFitness))
  {
    CopyGenes(iS.optimumCode, newBest._Code, iS.numParams);
    *iS.optimumFitness = newBest._Fitness;
  }
}

// Every trial built and the admissible ones kept, then one evaluation of them all, then selection
// in target order; both populations are addressable (checked by the caller).
template <class Crossover, class Direction, class Traits, class Population, class SetGene>
void RunBatchStep(Traits& ioTraits, const StepData<Population, typename Traits::Gene>& iS,
                  QAVTrialBatch<typename Traits::Gene>& ioBatch, GeneSources<typename Traits::Gene>& ioSources,
                  typename Traits::Gene*& ioTrial, SetGene&& iSetGene)
{
  const std::int32_t d = iS.numParams;
  const std::int32_t count = *iS.populationSize;
  const auto* old = iS.oldPopulation->_Individuals;
  ioBatch.Reserve(count, d);
  std::int32_t partner[5];
  for (std::int32_t i = 0; i < count; ++i)
  {
    DrawPartners(ioTraits, count, i, partner);
    ioTrial = ioBatch.NextSlot();
    ioSources.t = ioTrial;
    CopyGenes(ioTrial, old[i]._Code, d);
    for (int k = 0; k < 5; ++k)
      ioSources.x[k] = old[partner[k]]._Code;
    Crossover::Run(ioTraits, iS.mutatValue, d, RandomIndex(ioTraits, d), iSetGene);
    if (Admissible(ioTrial, iS.paramValMin, iS.paramValMax, d))
      ioBatch.Add(i);
  }
  ioTraits.EvaluateBatch(ioBatch);
  auto* children = iS.newPopulation->_Individuals;
  for (std::int32_t i = 0, k = 0; i < count; ++i)
  {
    const bool tried = k < ioBatch.Count() && ioBatch.Target(k) == i;
    if (tried && Direction::TrialWins(ioBatch.Fitness(k), old[i]._Fitness))
    {
      CopyGenes(children[i]._Code, ioBatch.Code(k), d);
      children[i]._Fitness = ioBatch.Fitness(k);
    }
    else
    {
      CopyGenes(children[i]._Code, old[i]._Code, d);
      children[i]._Fitness = old[i]._Fitness;
    }
    k += tried ? 1 : 0;
    TrackStatistics(*iS.newPopulation, i, children[i]._Fitness);
  }
}

template <class Scheme, class Crossover, class Direction, class Traits, class Population>
void RunStep(Traits& ioTraits, const StepData<Population, typename Traits::Gene>& iS)
{
  using Gene = typename Traits::Gene;
  const std::int32_t d = iS.numParams;
  Population* oldPop = iS.oldPopulation;
  Population* newPop = iS.newPopulation;
  // Five partners besides the target cannot be drawn from fewer individuals: the draw would never
  // end. The drivers refuse such runs; a direct call does nothing.
  if (*iS.populationSize < 6)
    return;
  if (!Addressable(oldPop))
    return ioTraits.Fail(Direction::kMaximizing, StepFailure::OldBest);
  const auto& best = oldPop->_Individuals[Direction::BestIndex(*oldPop)];
  CopyGenes(iS.leader, best._Code, d);
  *iS.leaderFitness = best._Fitness;

  Gene* trial = iS.trial;
  GeneSources<Gene> sources{iS.leader, {}, trial};
  const auto setGene = [&](std::int32_t n) { trial[n] = Scheme::template At<Traits>(iS.crossValue, sources, n); };
  // A missing new population fails on the sequential path, with its own failure line.
  if (QAVTrialBatch<Gene>* batch = ioTraits.Batch(); batch != nullptr && Addressable(newPop))
  {
    RunBatchStep<Crossover, Direction>(ioTraits, iS, *batch, sources, trial, setGene);
    return UpdateOptimum<Direction>(ioTraits, iS);
  }
  std::int32_t partner[5];
  for (std::int32_t i = 0; i < *iS.populationSize; ++i)
  {
    DrawPartners(ioTraits, *iS.populationSize, i, partner);
    // The trial is built from the old population, so check it before reading it.
    if (!Addressable(oldPop))
      return ioTraits.Fail(Direction::kMaximizing, StepFailure::Target);
    const auto* old = oldPop->_Individuals;
    CopyGenes(trial, old[i]._Code, d);
    for (int k = 0; k < 5; ++k)
      sources.x[k] = old[partner[k]]._Code;
    Crossover::Run(ioTraits, iS.mutatValue, d, RandomIndex(ioTraits, d), setGene);

    if (!Addressable(newPop))
      return ioTraits.Fail(Direction::kMaximizing, StepFailure::NewIndividual);
    auto& child = newPop->_Individuals[i];
    Select<Direction>(ioTraits, iS, old[i], child);
    TrackStatistics(*newPop, i, child._Fitness);
  }
  UpdateOptimum<Direction>(ioTraits, iS);
}

// One generation with the scheme numbered iProcess: 1 to 5 exponential, 6 to 9 binomial with the
// formulas of 1 to 4, anything else binomial with the formula of 5. The scheme is chosen once, so
// the per-gene loops carry no dispatch.
template <class Direction, class Traits, class Population>
void Generate(Traits& ioTraits, const StepData<Population, typename Traits::Gene>& iS, std::int32_t iProcess)
{
  switch (iProcess)
  {
    case 1:
      return RunStep<Best1Scheme, ExponentialCrossover, Direction>(ioTraits, iS);
    case 2:
      return RunStep<Rand1Scheme, ExponentialCrossover, Direction>(ioTraits, iS);
    case 3:
      return RunStep<RandToBest1Scheme, ExponentialCrossover, Direction>(ioTraits, iS);
    case 4:
      return RunStep<Best2Scheme, ExponentialCrossover, Direction>(ioTraits, iS);
    case 5:
      return RunStep<Rand2Scheme, ExponentialCrossover, Direction>(ioTraits, iS);
    case 6:
      return RunStep<Best1Scheme, BinomialCrossover, Direction>(ioTraits, iS);
    case 7:
      return RunStep<Rand1Scheme, BinomialCrossover, Direction>(ioTraits, iS);
    case 8:
      return RunStep<RandToBest1Scheme, BinomialCrossover, Direction>(ioTraits, iS);
    case 9:
      return RunStep<Best2Scheme, BinomialCrossover, Direction>(ioTraits, iS);
    default:
      return RunStep<Rand2Scheme, BinomialCrossover, Direction>(ioTraits, iS);
  }
}

// The formulas on doubles, each parenthesis one rounded operation, so results are fixed bit for bit.
struct RealFormulas
{
  static double Best1(double f, double b, double x2, double x3) { return b + (f * (x2 - x3)); }
  static double Rand1(double f, double x1, double x2, double x3) { return x1 + (f * (x2 - x3)); }
  static double RandToBest1(double f, double t, double b, double x1, double x2)
  {
    return (t + (f * (b - t))) + (f * (x1 - x2));
  }
  static double Best2(double f, double b, double x1, double x2, double x3, double x4)
  {
    return b + (f * (((x1 + x2) - x3) - x4));
  }
  static double Rand2(double f, double x5, double x1, double x2, double x3, double x4)
  {
    return x5 + (f * (((x1 + x2) - x3) - x4));
  }
};

} // namespace QAVDifferentialEvolutionDetail

#endif

#ifndef QAVDifferentialEvolutionRun_H
#define QAVDifferentialEvolutionRun_H

// Internal detail of the differential-evolution engines, not an API: the run loop every engine
// shares (stop rules, report period, the observer's say), apart from the generation step
// (QAVDifferentialEvolutionStep.h) so that each stays one job.

#include <cmath>
#include <cstdint>
#include <type_traits>

namespace QAVDifferentialEvolutionDetail
{
struct RunCounters
{
  std::int32_t generations = 0;
  std::int32_t idem = 0;
};

// The generation loop of a run, after Initialize and InitReport. Run supplies:
//   MaxGenerations(), IdemLimit(), Refresh() (each re-read every generation), OptimumFitness(),
//   GoesOn() (the optimum has not reached the reference), Generate(), NoProgress(last, now),
//   Report(generation), Shift(), StopRequested(generation) (the observer's say, asked for the
//   initial population as generation 0 and after every generation).
// A generation without progress keeps the last significant value, so a slow drift still counts.
template <class Run>
RunCounters RunGenerations(Run& ioRun)
{
  RunCounters counters;
  double last = ioRun.OptimumFitness();
  if (ioRun.StopRequested(0) || ioRun.MaxGenerations() <= 0)
    return counters;
  while (ioRun.GoesOn() && counters.idem < ioRun.IdemLimit())
  {
    ++counters.generations;
    ioRun.Generate();
    const double now = ioRun.OptimumFitness();
    if (ioRun.NoProgress(last, now))
      ++counters.idem;
    else
    {
      last = now;
      counters.idem = 0;
    }
    // A period of 1 leaves remainder 0, so only the last generation is reported then.
    const std::int32_t refresh = ioRun.Refresh();
    if ((refresh > 1 && counters.generations % refresh == 1) || counters.generations == ioRun.MaxGenerations())
      ioRun.Report(counters.generations);
    ioRun.Shift();
    if (ioRun.StopRequested(counters.generations) || counters.generations >= ioRun.MaxGenerations())
      break;
  }
  return counters;
}
// No-progress rules of the run loop. A NaN optimum always counts as a change.
struct ExactChange
{
  static bool NoProgress(double iLast, double iNow) { return iNow == iLast; }
};

// Relative to the current optimum; an optimum of exactly 0 makes the quotient infinite or NaN,
// which counts as a change.
struct RelativeChange
{
  static bool NoProgress(double iLast, double iNow) { return std::fabs((iNow - iLast) / iNow) <= 0.001; }
};

// The run loop's view of an engine, through the members and operations every engine names alike;
// Observe(generation) returns true to end the run.
template <class Direction, class Rule, class Optimizer, class Observe>
struct EngineRun
{
  Optimizer& _O;
  Observe& _Observe;

  std::int32_t MaxGenerations() const { return _O._MaxNumberOfGenerations; }
  std::int32_t IdemLimit() const { return _O._IdemFitnessCount; }
  std::int32_t Refresh() const { return _O._Refresh; }
  double OptimumFitness() const { return _O._Optimum._Fitness; }
  bool GoesOn() const
  {
    return Direction::kMaximizing ? _O._Optimum._Fitness < _O._FitnessReference
                                  : _O._Optimum._Fitness > _O._FitnessReference;
  }
  void Generate() { Direction::kMaximizing ? _O.GenerateMax() : _O.GenerateMin(); }
  static bool NoProgress(double iLast, double iNow) { return Rule::NoProgress(iLast, iNow); }
  void Report(std::int32_t iGeneration) { _O.Report(iGeneration); }
  void Shift() { _O.ShiftPopulation(); }
  bool StopRequested(std::int32_t iGeneration) { return _Observe(iGeneration); }
};

template <class Direction, class Rule, class Optimizer, class Observe>
RunCounters RunEngine(Optimizer& ioOptimizer, Observe&& ioObserve)
{
  EngineRun<Direction, Rule, Optimizer, std::remove_reference_t<Observe>> run{ioOptimizer, ioObserve};
  return RunGenerations(run);
}

// A run nothing observes.
template <class Direction, class Rule, class Optimizer>
RunCounters RunEngine(Optimizer& ioOptimizer)
{
  return RunEngine<Direction, Rule>(ioOptimizer, [](std::int32_t) { return false; });
}
} // namespace QAVDifferentialEvolutionDetail

#endif

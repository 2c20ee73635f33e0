#ifndef QAVBenchRatio_H
#define QAVBenchRatio_H

// Shared by the engine benchmarks: a bare differential-evolution generation written inline
// (same draws, same arithmetic, no engine), and a reporter that prints engine / bare per trial.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "QAVSumOfGenes.h"

constexpr int kBenchPopulation = 60;
constexpr double kBenchF = 0.8;
constexpr double kBenchCR = 0.9;
constexpr int kBenchRestart = 100; // generations between fresh populations, outside the timing

// What a benchmark drives: the engine behind a thin wrapper, or the bare loop.
class QAVBenchRunner
{
public:
  virtual ~QAVBenchRunner() = default;
  virtual void Init(long iSeed) = 0;
  virtual void Generation() = 0;
  virtual double Optimum() const = 0;
};

// Keeps std::cout silent while it lives: the real engine writes debug lines on construction
// and in Initialize that the benchmark's output does not want.
class QAVBenchSilence
{
public:
  QAVBenchSilence() : _Saved(std::cout.rdbuf(_Sink.rdbuf())) {}
  ~QAVBenchSilence() { std::cout.rdbuf(_Saved); }

private:
  std::ostringstream _Sink;
  std::streambuf* _Saved;
};

// One engine minimising the sum of the genes, set up like the bare loop.
template <class Engine, class Gene>
class QAVEngineRunner : public QAVBenchRunner
{
public:
  QAVEngineRunner(int iD, int iProcess, Gene iMin, Gene iMax) : _Min(iD, iMin), _Max(iD, iMax)
  {
    _Opt.SetNumParams(iD);
    _Opt.SetPopulationSize(kBenchPopulation);
    _Opt.SetProcess(iProcess);
    _Opt.SetCrossValue(kBenchF);
    _Opt.SetMutatValue(kBenchCR);
    _Opt.SetParamValLimits(_Min.data(), _Max.data());
  }
  void Init(long iSeed) override
  {
    QAVBenchSilence quiet;
    _Opt.SetSeed(static_cast<std::int32_t>(iSeed));
    _Opt.Initialize();
  }
  void Generation() override
  {
    _Opt.GenerateMin();
    _Opt.ShiftPopulation();
  }
  double Optimum() const override { return _Opt._Optimum._Fitness; }

private:
  std::vector<Gene> _Min, _Max;
  QAVSumOfGenes<Engine, Gene> _Opt;
};

// Minimises the sum of the genes. Formula::At<Kind>(F, b, t, x1..x5) gives a trial gene; kind and
// crossover are template arguments, as in the engine, so neither loop dispatches per gene.
template <class Gene, class Formula, int Kind, bool Exponential>
class QAVBareDE : public QAVBenchRunner
{
public:
  QAVBareDE(int iD, Gene iMin, Gene iMax)
    : _D(iD), _Min(iMin), _Max(iMax), _Old(kBenchPopulation * iD), _New(kBenchPopulation * iD),
      _OldFit(kBenchPopulation), _NewFit(kBenchPopulation), _Lead(iD), _Trial(iD), _Opt(iD)
  {
  }

  void Init(long iSeed) override
  {
    srand48(iSeed);
    for (int i = 0; i < kBenchPopulation; ++i)
    {
      for (int j = 0; j < _D; ++j)
        _Old[i * _D + j] = Formula::Random(drand48(), _Min, _Max);
      _OldFit[i] = Sum(&_Old[i * _D]);
    }
    _OldMin = 0;
    for (int i = 1; i < kBenchPopulation; ++i)
      if (_OldFit[i] < _OldFit[_OldMin])
        _OldMin = i;
    std::memcpy(_Opt.data(), &_Old[_OldMin * _D], sizeof(Gene) * _D);
    _OptFit = _OldFit[_OldMin];
  }

  void Generation() override
  {
    const int d = _D;
    std::memcpy(_Lead.data(), &_Old[_OldMin * d], sizeof(Gene) * d);
    int newMin = 0;
    for (int i = 0; i < kBenchPopulation; ++i)
    {
      int r[5];
      for (int k = 0; k < 5; ++k)
      {
        bool taken = true;
        while (taken)
        {
          r[k] = static_cast<int>(drand48() * kBenchPopulation);
          taken = r[k] == i;
          for (int j = 0; j < k && !taken; ++j)
            taken = r[k] == r[j];
        }
      }
      Gene* trial = _Trial.data();
      std::memcpy(trial, &_Old[i * d], sizeof(Gene) * d);
      const Gene* x[5];
      for (int k = 0; k < 5; ++k)
        x[k] = &_Old[r[k] * d];
      int n = static_cast<int>(drand48() * d);
      if (Exponential)
      {
        int len = 0;
        do
        {
          trial[n] =
            Formula::template At<Kind>(kBenchF, _Lead[n], trial[n], x[0][n], x[1][n], x[2][n], x[3][n], x[4][n]);
          n = n + 1 == d ? 0 : n + 1;
          ++len;
        } while (drand48() < kBenchCR && len < d);
      }
      else
        for (int len = 0; len < d; ++len, n = n + 1 == d ? 0 : n + 1)
          if (drand48() < kBenchCR || len == d - 1)
            trial[n] =
              Formula::template At<Kind>(kBenchF, _Lead[n], trial[n], x[0][n], x[1][n], x[2][n], x[3][n], x[4][n]);
      bool inside = true;
      for (int k = 0; k < d && inside; ++k)
        inside = _Min <= trial[k] && trial[k] <= _Max;
      const Gene* from = &_Old[i * d];
      double fit = _OldFit[i];
      if (inside)
      {
        const double f = Sum(trial);
        if (f <= fit)
        {
          from = trial;
          fit = f;
        }
      }
      std::memcpy(&_New[i * d], from, sizeof(Gene) * d);
      _NewFit[i] = fit;
      if (fit < _NewFit[newMin])
        newMin = i;
    }
    if (_NewFit[newMin] < _OptFit)
    {
      std::memcpy(_Opt.data(), &_New[newMin * d], sizeof(Gene) * d);
      _OptFit = _NewFit[newMin];
    }
    _Old.swap(_New);
    _OldFit.swap(_NewFit);
    _OldMin = newMin;
  }

  double Optimum() const override { return _OptFit; }

private:
  double Sum(const Gene* x) const
  {
    double s = 0.0;
    for (int k = 0; k < _D; ++k)
      s += x[k];
    return s;
  }

  int _D;
  Gene _Min, _Max;
  std::vector<Gene> _Old, _New;
  std::vector<double> _OldFit, _NewFit;
  std::vector<Gene> _Lead, _Trial, _Opt;
  int _OldMin = 0;
  double _OptFit = 0.0;
};

template <class Gene, class Formula>
std::unique_ptr<QAVBenchRunner> QAVMakeBare(int iD, int iProcess, Gene iMin, Gene iMax)
{
  switch (iProcess)
  {
    case 1:
      return std::make_unique<QAVBareDE<Gene, Formula, 0, true>>(iD, iMin, iMax);
    case 2:
      return std::make_unique<QAVBareDE<Gene, Formula, 1, true>>(iD, iMin, iMax);
    case 3:
      return std::make_unique<QAVBareDE<Gene, Formula, 2, true>>(iD, iMin, iMax);
    case 4:
      return std::make_unique<QAVBareDE<Gene, Formula, 3, true>>(iD, iMin, iMax);
    case 5:
      return std::make_unique<QAVBareDE<Gene, Formula, 4, true>>(iD, iMin, iMax);
    case 6:
      return std::make_unique<QAVBareDE<Gene, Formula, 0, false>>(iD, iMin, iMax);
    case 7:
      return std::make_unique<QAVBareDE<Gene, Formula, 1, false>>(iD, iMin, iMax);
    case 8:
      return std::make_unique<QAVBareDE<Gene, Formula, 2, false>>(iD, iMin, iMax);
    case 9:
      return std::make_unique<QAVBareDE<Gene, Formula, 3, false>>(iD, iMin, iMax);
    default:
      return std::make_unique<QAVBareDE<Gene, Formula, 4, false>>(iD, iMin, iMax);
  }
}

// Times one generation per iteration; a fresh population every kBenchRestart generations.
inline void QAVBenchGenerations(benchmark::State& ioState, QAVBenchRunner& ioRunner)
{
  int generation = 0;
  ioRunner.Init(-3);
  for (auto _ : ioState)
  {
    ioRunner.Generation();
    if (++generation == kBenchRestart)
    {
      ioState.PauseTiming();
      ioRunner.Init(-3);
      generation = 0;
      ioState.ResumeTiming();
    }
  }
  ioState.SetItemsProcessed(ioState.iterations() * kBenchPopulation);
  benchmark::DoNotOptimize(ioRunner.Optimum());
}

// Keeps the best CPU time of each benchmark's repetitions (the machine may be shared, and the
// fastest repetition is the one least disturbed) and prints engine / bare per scheme and D.
class QAVRatioReporter : public benchmark::ConsoleReporter
{
public:
  void ReportRuns(const std::vector<Run>& iRuns) override
  {
    benchmark::ConsoleReporter::ReportRuns(iRuns);
    for (const Run& run : iRuns)
    {
      if (run.run_type != Run::RT_Iteration)
        continue;
      const double perTrial = run.GetAdjustedCPUTime() / kBenchPopulation;
      auto known = _Times.find(run.run_name.function_name);
      if (known == _Times.end() || perTrial < known->second)
        _Times[run.run_name.function_name] = perTrial;
    }
  }

  void PrintRatios(const char* iEngine) const
  {
    std::printf("\n%s: CPU time per trial (ns), best of 5, NP %d, F %.1f, CR %.1f, fitness = sum of genes\n", iEngine,
                kBenchPopulation, kBenchF, kBenchCR);
    std::printf("%8s %5s %10s %10s %8s\n", "scheme", "D", "engine", "bare", "ratio");
    for (int d : {10, 100})
      for (int process = 1; process <= 10; ++process)
      {
        const std::string suffix = "/process:" + std::to_string(process) + "/D:" + std::to_string(d);
        const auto engine = _Times.find("engine" + suffix);
        const auto bare = _Times.find("bare" + suffix);
        if (engine == _Times.end() || bare == _Times.end())
          continue;
        std::printf("%8d %5d %10.1f %10.1f %8.3f\n", process, d, engine->second, bare->second,
                    engine->second / bare->second);
      }
  }

private:
  std::map<std::string, double> _Times;
};

// Registers engine and bare for every scheme and D = 10, 100, runs them and prints the ratios.
// Each factory takes (D, process) and returns a std::unique_ptr<QAVBenchRunner>.
template <class MakeEngine, class MakeBare>
int QAVRunRatioBenchmarks(int argc, char** argv, const char* iEngine, MakeEngine iMakeEngine, MakeBare iMakeBare)
{
  for (int d : {10, 100})
    for (int process = 1; process <= 10; ++process)
    {
      const std::string suffix = "/process:" + std::to_string(process) + "/D:" + std::to_string(d);
      benchmark::RegisterBenchmark(("engine" + suffix).c_str(),
                                   [=](benchmark::State& s)
                                   {
                                     auto runner = iMakeEngine(d, process);
                                     QAVBenchGenerations(s, *runner);
                                   })
        ->MinTime(0.05)
        ->Repetitions(5);
      benchmark::RegisterBenchmark(("bare" + suffix).c_str(),
                                   [=](benchmark::State& s)
                                   {
                                     auto runner = iMakeBare(d, process);
                                     QAVBenchGenerations(s, *runner);
                                   })
        ->MinTime(0.05)
        ->Repetitions(5);
    }
  // The comparison is fair only if both loops make the same run: check that first.
  for (int d : {10, 100})
    for (int process = 1; process <= 10; ++process)
    {
      // One after the other: both draw from the process-wide generator.
      auto engine = iMakeEngine(d, process);
      engine->Init(-3);
      for (int g = 0; g < 50; ++g)
        engine->Generation();
      auto bare = iMakeBare(d, process);
      bare->Init(-3);
      for (int g = 0; g < 50; ++g)
        bare->Generation();
      if (engine->Optimum() != bare->Optimum())
      {
        std::printf("bare loop and engine differ: process %d, D %d\n", process, d);
        return 1;
      }
    }
  benchmark::Initialize(&argc, argv);
  QAVRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios(iEngine);
  benchmark::Shutdown();
  return 0;
}

#endif

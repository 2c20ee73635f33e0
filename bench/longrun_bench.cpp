// Long runs: 10^6 fitness evaluations of each engine (repeated runs on one object) and 10^4 cached
// genomes in the analysis-parameter optimiser, with the heap in use (mallinfo2) and the resident
// set measured before and after. An engine's heap must not grow once its populations exist; the
// parameter optimiser's may grow by its cache alone, and not when the same genomes come again. A
// run that breaks either rule is reported as an error.
#include "QAVDRQOutput.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVNullBuffer.h"
#include "QAVTasGAOptimizer.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasOptimizerParameters.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <iostream>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const std::int32_t kEvaluations = 1000000;
const std::int32_t kPopulation = 100;
const std::int32_t kGenes = 10;
const std::int32_t kCachedGenomes = 10000;
const long long kAllocatorNoise = 16 * 1024;

// Reports and debug lines would dominate the run: both streams go nowhere while it lives.
class Quiet
{
public:
  Quiet() : _Saved(std::cout.rdbuf(&_Null)) { QAVDRQOutput::GetOut().SetBuffer(&_Null); }
  ~Quiet()
  {
    std::cout.rdbuf(_Saved);
    QAVDRQOutput::GetOut().SetBuffer(nullptr);
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

private:
  QAVNullBuffer _Null;
  std::streambuf* _Saved;
};

struct Memory
{
  long long heap; // bytes handed out by malloc and not yet freed, chunk overhead included
  long long resident;
};

Memory Measure()
{
  long long pages = 0, resident = 0;
  if (FILE* pFile = std::fopen("/proc/self/statm", "r"))
  {
    if (std::fscanf(pFile, "%lld %lld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(pFile);
  }
  // Large blocks are mapped rather than carved from the arena: both count.
  const struct mallinfo2 info = mallinfo2();
  return {static_cast<long long>(info.uordblks + info.hblkhd), resident * sysconf(_SC_PAGESIZE)};
}

void Publish(benchmark::State& ioState, const Memory& iBefore, const Memory& iAfter, long long iEvaluations)
{
  ioState.counters["evaluations"] = static_cast<double>(iEvaluations);
  ioState.counters["heap_before"] = static_cast<double>(iBefore.heap);
  ioState.counters["heap_growth"] = static_cast<double>(iAfter.heap - iBefore.heap);
  ioState.counters["rss_before"] = static_cast<double>(iBefore.resident);
  ioState.counters["rss_growth"] = static_cast<double>(iAfter.resident - iBefore.resident);
}

template <class Gene>
double Sphere(std::int32_t iCount, const Gene* ipX)
{
  double s = 0.0;
  for (std::int32_t i = 0; i < iCount; ++i)
    s += (ipX[i] - 1.0) * (ipX[i] - 1.0);
  return s;
}

class IntSphere : public QAVMathIntGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, std::int32_t* ipX) override
  {
    ++_Evaluations;
    return Sphere(iCount, ipX);
  }
  long long _Evaluations = 0;
};

class RealSphere : public QAVTasGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, double* ipX) override
  {
    ++_Evaluations;
    return Sphere(iCount, ipX);
  }
  long long _Evaluations = 0;
};

// Runs of 1000 generations on one object, none stopping early (the reference is out of reach and
// no generation counts as idle), until 10^6 candidates were evaluated; only admissible trials are.
template <class Engine, class Gene>
void LongRun(benchmark::State& ioState, Gene iLow, Gene iHigh)
{
  std::vector<Gene> lower(kGenes, iLow), upper(kGenes, iHigh);
  Quiet quiet;
  Engine engine;
  engine.SetNumParams(kGenes);
  engine.SetParamValLimits(lower.data(), upper.data());
  engine.SetPopulationSize(kPopulation);
  engine.SetFitnessReference(-std::numeric_limits<double>::infinity());
  engine.SetIdemFitnessCount(std::numeric_limits<std::int32_t>::max());
  engine.SetRefresh(std::numeric_limits<std::int32_t>::max());
  engine.SetMaxNumber(1000);
  Memory before{}, after{};
  std::int32_t runs = 0;
  for (auto _ : ioState)
  {
    // The first run settles the populations and whatever the allocator keeps for their sizes;
    // from then on nothing may be left behind, run after run.
    engine._Evaluations = 0;
    engine.Minimize();
    before = Measure();
    for (runs = 1; engine._Evaluations < kEvaluations; ++runs)
      engine.Minimize();
    after = Measure();
  }
  Publish(ioState, before, after, engine._Evaluations);
  ioState.counters["runs"] = runs;
  // Chunks parked in the allocator's per-thread cache count as in use, and big blocks move between
  // mapped and arena storage, so the figure moves by a few hundred bytes; a leak of one chunk per
  // generation would add over 100 KB.
  if (after.heap - before.heap > kAllocatorNoise)
    ioState.SkipWithError("the engine's heap grew over the runs");
}

void IntegerEngine(benchmark::State& ioState)
{
  LongRun<IntSphere, std::int32_t>(ioState, -1000, 1000);
}

void RealEngine(benchmark::State& ioState)
{
  LongRun<RealSphere, double>(ioState, -10.0, 10.0);
}

// Four points on curves, each driven by its own parameter: 11^4 genomes to choose from.
class CacheRun
{
public:
  CacheRun() : _pModel(new QAVTasMemAnalysis)
  {
    QAVListValQAVBaseUnknown_var features;
    QAVRawColldouble bounds;
    for (int k = 0; k < 4; ++k)
    {
      QAVTasMemParameter* pParameter = _pModel->AddParameter("P" + std::to_string(k), 0.0, 0.0, 10.0);
      features.Append(_pModel->AddFeature(QAVTasMemFeature::Kind::Curve, pParameter));
      bounds.Append(0.0);
      bounds.Append(10.0);
      _pModel->AddContribution(_pModel->AddRequirement(-1.0 - k), pParameter, 1.0);
    }
    _pOptimizer = new QAVTasOptimizerParameters(_pModel, _pModel, features, bounds);
  }
  ~CacheRun()
  {
    delete _pOptimizer;
    _pModel->Release();
  }
  CacheRun(const CacheRun&) = delete;
  CacheRun& operator=(const CacheRun&) = delete;

  // Genome i in base 11, every one distinct.
  void EvaluateAll()
  {
    for (std::int32_t i = 0; i < kCachedGenomes; ++i)
    {
      std::int32_t genome[4] = {i % 11, i / 11 % 11, i / 121 % 11, i / 1331 % 11};
      _pOptimizer->EvalFitness(4, genome);
    }
  }

  QAVTasMemAnalysis* _pModel;
  QAVTasOptimizerParameters* _pOptimizer;
};

void ParameterCache(benchmark::State& ioState)
{
  Memory before{}, filled{}, again{};
  std::int32_t cached = 0;
  for (auto _ : ioState)
  {
    Quiet quiet;
    CacheRun run;
    before = Measure();
    run.EvaluateAll();
    filled = Measure();
    run.EvaluateAll(); // every genome is a cache hit now
    again = Measure();
    cached = run._pOptimizer->_CachedGenomes.Size();
  }
  Publish(ioState, before, filled, 2LL * kCachedGenomes);
  ioState.counters["cached"] = cached;
  ioState.counters["heap_per_genome"] = static_cast<double>(filled.heap - before.heap) / kCachedGenomes;
  ioState.counters["heap_growth_on_hits"] = static_cast<double>(again.heap - filled.heap);
  // The cache's own data: four genes, a fitness, a pointer and an index entry per genome, with
  // the allocator's and the containers' overhead; 200 bytes is far above that and far below a leak
  // of one analysis run per evaluation.
  if (cached != kCachedGenomes)
    ioState.SkipWithError("not every genome was cached");
  else if (again.heap - filled.heap > kAllocatorNoise)
    ioState.SkipWithError("cache hits grew the heap");
  else if (filled.heap - before.heap > 200LL * kCachedGenomes)
    ioState.SkipWithError("the heap grew beyond the cache's own data");
}
} // namespace

BENCHMARK(IntegerEngine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RealEngine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ParameterCache)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();

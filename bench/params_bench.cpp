// Genome cache lookup: the hash index against a scan of every cached genome, with 10^5 cached
// genomes of 20 genes. Each benchmark looks up a cached genome (hit) or an absent one (miss).
#include "QAVTasOptimizerParameters.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <random>
#include <sstream>
#include <vector>

namespace
{
const std::int32_t kGenomes = 100000;
const std::int32_t kGenes = 20;

class CacheFiller : public QAVTasOptimizerParameters
{
public:
  CacheFiller()
  {
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int32_t> gene(0, 10);
    std::vector<std::int32_t> genome(kGenes);
    for (std::int32_t i = 0; i < kGenomes; ++i)
    {
      for (std::int32_t& g : genome)
        g = gene(random);
      CacheGenome(kGenes, genome.data(), i);
    }
  }
};

CacheFiller& Cache()
{
  static CacheFiller cache;
  return cache;
}

// The lookup as a scan: every cached genome compared gene by gene, first match wins.
std::int32_t ScanLookup(QAVTasOptimizerParameters& iCache, std::int32_t iCount, const std::int32_t* ipX,
                        double& oFitness)
{
  const std::int32_t cached = iCache._CachedGenomes.Size();
  for (std::int32_t i = 1; i <= cached; ++i)
  {
    const auto* pGenes = static_cast<const std::int32_t*>(iCache._CachedGenomes[i]);
    if (!pGenes)
      continue;
    std::int32_t k = 0;
    while (k < iCount && pGenes[k] == ipX[k])
      ++k;
    if (k == iCount)
    {
      oFitness = iCache._CachedFitness[i];
      std::cout << "Identical genome detected= " << cached << std::endl;
      return 1;
    }
  }
  return 0;
}

// Hits are spread over the cache, so the scan's cost is its average, not its best case.
std::vector<std::vector<std::int32_t>> Probes(bool iHit)
{
  std::vector<std::vector<std::int32_t>> probes;
  for (std::int32_t i = 0; i < 64; ++i)
  {
    const auto* pGenes = static_cast<const std::int32_t*>(Cache()._CachedGenomes[1 + i * (kGenomes / 64)]);
    probes.emplace_back(pGenes, pGenes + kGenes);
    if (!iHit)
      probes.back()[kGenes - 1] = 11; // outside the gene range: never cached
  }
  return probes;
}

template <class Lookup>
void RunLookups(benchmark::State& ioState, Lookup iLookup)
{
  const auto probes = Probes(ioState.range(0) != 0);
  std::ostringstream sink;
  std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
  std::size_t next = 0;
  for (auto _ : ioState)
  {
    double fitness = 0.0;
    benchmark::DoNotOptimize(iLookup(probes[next].data(), fitness));
    next = (next + 1) % probes.size();
    if (sink.tellp() > (1 << 20))
      sink.str("");
  }
  std::cout.rdbuf(saved);
}

void BM_CacheLookupHashed(benchmark::State& ioState)
{
  RunLookups(ioState,
             [](const std::int32_t* ipX, double& oFitness) { return Cache().AlreadyComputed(kGenes, ipX, oFitness); });
}

void BM_CacheLookupScan(benchmark::State& ioState)
{
  RunLookups(ioState,
             [](const std::int32_t* ipX, double& oFitness) { return ScanLookup(Cache(), kGenes, ipX, oFitness); });
}
} // namespace

BENCHMARK(BM_CacheLookupHashed)->ArgName("hit")->Arg(1)->Arg(0);
BENCHMARK(BM_CacheLookupScan)->ArgName("hit")->Arg(1)->Arg(0);

BENCHMARK_MAIN();

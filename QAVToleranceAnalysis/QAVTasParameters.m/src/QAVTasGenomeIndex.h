#ifndef QAVTasGenomeIndex_H
#define QAVTasGenomeIndex_H

#include "QAVRawCollPV.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

// Hash index over a genome cache (a 1-based collection of arrays of genes), so that a lookup
// compares genes only with the cached genomes of the same hash instead of with every one.
class QAVTasGenomeIndex
{
public:
  // Records that cache position iPosition holds the iCount genes of ipGenes.
  void Add(std::int32_t iPosition, std::int32_t iCount, const std::int32_t* ipGenes);

  // The first position of iCache holding exactly the iCount genes of ipGenes, or 0.
  std::int32_t Find(std::int32_t iCount, const std::int32_t* ipGenes, const QAVRawCollPV& iCache) const;

  static std::uint64_t Hash(std::int32_t iCount, const std::int32_t* ipGenes);

private:
  std::unordered_multimap<std::uint64_t, std::int32_t> _Positions;
  std::vector<std::int32_t> _Lengths; // gene count of each position, 1-based position - 1
};

#endif

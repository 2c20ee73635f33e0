#include "QAVTasGenomeIndex.h"

#include <cstring>

void QAVTasGenomeIndex::Add(std::int32_t iPosition, std::int32_t iCount, const std::int32_t* ipGenes)
{
  if (iPosition < 1)
    return;
  if (_Lengths.size() < static_cast<std::size_t>(iPosition))
    _Lengths.resize(static_cast<std::size_t>(iPosition), -1);
  _Lengths[static_cast<std::size_t>(iPosition - 1)] = iCount;
  _Positions.emplace(Hash(iCount, ipGenes), iPosition);
}

std::int32_t QAVTasGenomeIndex::Find(std::int32_t iCount, const std::int32_t* ipGenes, const QAVRawCollPV& iCache) const
{
  std::int32_t found = 0;
  if (iCount < 0 || !ipGenes)
    return found;
  const auto range = _Positions.equal_range(Hash(iCount, ipGenes));
  for (auto it = range.first; it != range.second; ++it)
  {
    const std::int32_t position = it->second;
    const void* pGenes = iCache[position];
    if (!pGenes || _Lengths[static_cast<std::size_t>(position - 1)] != iCount || (found && found < position))
      continue;
    if (std::memcmp(pGenes, ipGenes, sizeof(std::int32_t) * static_cast<std::size_t>(iCount)) == 0)
      found = position;
  }
  return found;
}

std::uint64_t QAVTasGenomeIndex::Hash(std::int32_t iCount, const std::int32_t* ipGenes)
{
  // Mixes each gene in with the finaliser of splitmix64, so nearby genomes spread well.
  std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ static_cast<std::uint64_t>(iCount);
  for (std::int32_t i = 0; i < iCount; ++i)
  {
    hash ^= static_cast<std::uint32_t>(ipGenes[i]);
    hash *= 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 31;
  }
  return hash;
}

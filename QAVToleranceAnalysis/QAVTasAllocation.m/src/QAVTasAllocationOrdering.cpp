#include "QAVTasAllocationOrdering.h"

double QAVTasAllocationOrdering::Work(std::int32_t iN, const int* ipStart, const int* ipRow, const int* ipOrder)
{
  const std::size_t n = static_cast<std::size_t>(iN);
  std::vector<int> place(n), parent(n, -1), flag(n, -1);
  std::vector<double> count(n, 0.0);
  for (int k = 0; k < iN; ++k)
    place[ipOrder ? ipOrder[k] : k] = k;
  // Each entry above the diagonal of column k climbs the elimination tree to k, counting a
  // nonzero of the factor at every column it passes.
  for (int k = 0; k < iN; ++k)
  {
    flag[k] = k;
    const int column = ipOrder ? ipOrder[k] : k;
    for (int p = ipStart[column]; p < ipStart[column + 1]; ++p)
      for (int i = place[ipRow[p]]; i < k && flag[i] != k; i = parent[i])
      {
        if (parent[i] < 0)
          parent[i] = k;
        count[i] += 1.0;
        flag[i] = k;
      }
  }
  double work = 0.0;
  for (double c : count)
    work += c * c;
  return work;
}

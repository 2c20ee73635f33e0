#ifndef QAVSumOfGenes_H
#define QAVSumOfGenes_H

#include <cstdint>

// The cheapest fitness there is, on either engine: the sum of the genes. It allocates
// nothing, so it suits allocation counts and timings alike.
template <class Engine, class Gene>
class QAVSumOfGenes : public Engine
{
public:
  double EvalFitness(std::int32_t iCount, Gene* ipX) override
  {
    double s = 0.0;
    for (std::int32_t k = 0; k < iCount; ++k)
      s += ipX[k];
    return s;
  }
};

#endif

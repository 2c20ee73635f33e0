#ifndef QAVEngineProbe_H
#define QAVEngineProbe_H

#include "QAVCoutCapture.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Either differential-evolution engine with a scripted fitness that records every trial it
// evaluates, for the engine suites.
template <class Engine, class Gene>
class QAVEngineProbe : public Engine
{
public:
  using Genes = std::vector<Gene>;
  std::function<double(std::int32_t, const Gene*)> fitness = [](std::int32_t, const Gene*) { return 1.0; };
  std::function<void()> onEval;
  std::vector<Genes> evaluated;

  double EvalFitness(std::int32_t n, Gene* x) override
  {
    evaluated.emplace_back(x, x + n);
    if (onEval)
      onEval();
    return fitness(n, x);
  }
  void Setup(std::int32_t np, Genes& min, Genes& max)
  {
    this->SetNumParams(static_cast<std::int32_t>(min.size()));
    this->SetPopulationSize(np);
    this->SetParamValLimits(min.data(), max.data());
  }
  template <class Population>
  Genes GenesOf(const Population* pop, std::int32_t i) const
  {
    return Genes(pop->_Individuals[i]._Code, pop->_Individuals[i]._Code + this->_NumParams);
  }
  // The failure lines of GenerateMin then GenerateMax, four each: the old and then the new
  // population hidden before the step starts, then the old after the first evaluation and the
  // new after the last.
  std::string FailureLines()
  {
    QAVCoutCapture out;
    for (int k = 0; k < 8; ++k)
    {
      auto* pop = k % 2 == 0 ? this->_OldPopulation : this->_NewPopulation;
      auto* saved = pop->_Individuals;
      const int after = k % 4 < 2 ? 0 : (k % 2 == 0 ? 1 : this->_PopulationSize);
      int calls = 0;
      if (after == 0)
        pop->_Individuals = nullptr;
      onEval = [&]
      {
        if (++calls == after)
          pop->_Individuals = nullptr;
      };
      k >= 4 ? this->GenerateMax() : this->GenerateMin();
      pop->_Individuals = saved;
      onEval = nullptr;
    }
    return out.Text();
  }
};

#endif

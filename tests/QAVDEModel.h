#ifndef QAVDEModel_H
#define QAVDEModel_H

// Test helpers shared by the engine suites: a probe that records every evaluation, and an
// independent model of a run drawn straight from drand48 (it shares no code with the engines).

#include "QAVCoutCapture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

template <class Engine, class Gene>
class QAVDEProbe : public Engine
{
public:
  using Genes = std::vector<Gene>;
  std::function<double(std::int32_t, const Gene*)> fitness;
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
  // Runs the engine and the model from one seed for some generations and expects the same
  // evaluations, population, optimum and statistics.
  template <class Model>
  void ExpectSameRunAs(Model& m, long seed, std::int32_t generations)
  {
    Setup(m.np, m.min, m.max);
    this->SetProcess(m.process);
    this->SetCrossValue(m.f);
    this->SetMutatValue(m.cr);
    this->SetSeed(static_cast<std::int32_t>(seed));
    this->SetMaxNumber(generations);
    this->SetIdemFitnessCount(1000);
    this->SetFitnessReference(m.maximize ? 1e9 : -1e9);
    {
      QAVCoutCapture quiet; // the platform stream follows std::cout
      m.maximize ? this->Maximize() : this->Minimize();
    }
    m.Init(seed);
    for (std::int32_t g = 0; g < generations; ++g)
      m.Generation();
    EXPECT_EQ(evaluated, m.evaluated);
    for (int i = 0; i < m.np; ++i)
    {
      EXPECT_EQ(GenesOf(this->_OldPopulation, i), m.pop[i]) << i;
      EXPECT_EQ(this->_OldPopulation->_Individuals[i]._Fitness, m.fit[i]) << i;
    }
    Genes best(m.d);
    this->GetOptimumParams(best.data());
    EXPECT_EQ(best, m.opt);
    EXPECT_EQ(this->GetOptimumFitness(), m.optFit);
    // The running statistics equal a fresh pass over the finished population.
    auto* last = this->_OldPopulation;
    const auto minIndex = last->_MinIndex, maxIndex = last->_MaxIndex;
    this->Statistics(last);
    EXPECT_EQ(std::make_pair(last->_MinIndex, last->_MaxIndex), std::make_pair(minIndex, maxIndex));
  }
  // The eight failure lines of GenerateMin then GenerateMax: old and new population hidden
  // from the step before it starts, then the old after the first evaluation and the new after the last.
  void ExpectFailureLines(const char* const (&lines)[8])
  {
    for (int k = 0; k < 8; ++k)
    {
      auto* pop = k % 2 == 0 ? this->_OldPopulation : this->_NewPopulation;
      auto* saved = pop->_Individuals;
      const int after = k % 4 < 2 ? 0 : (k % 2 == 0 ? 1 : this->_PopulationSize);
      int calls = 0;
      if (after == 0)
        pop->_Individuals = nullptr;
      onEval = [&] {
        if (++calls == after)
          pop->_Individuals = nullptr;
      };
      QAVCoutCapture out;
      k >= 4 ? this->GenerateMax() : this->GenerateMin();
      pop->_Individuals = saved;
      onEval = nullptr;
      EXPECT_EQ(out.Text(), lines[k]) << k;
    }
  }
};

// Puts a two-gene individual with its fitness at place i of a population.
template <class Population, class Gene>
void QAVSetIndividual(Population& pop, int i, Gene g0, Gene g1, double fitness)
{
  pop._Individuals[i]._Code[0] = g0;
  pop._Individuals[i]._Code[1] = g1;
  pop._Individuals[i]._Fitness = fitness;
}

// The opening of a population report, down to the column heads of the parents.
inline std::string QAVReportHead(const std::string& population, const std::string& optimizer, const std::string& generation)
{
  const std::string dashes(79, '-');
  return dashes + "\n" + std::string(31, ' ') + population + " report\n" + dashes + "\n" + std::string(33, ' ') + optimizer +
         " " + generation + "\n#                 value                                    _Fitness  \n";
}

// Formulas supplies: static Gene Random(double u, Gene min, Gene max) and
// static Gene At(int kind, double F, Gene b, Gene t, const Gene* x) for kinds 0..4
// (best/1, rand/1, rand-to-best/1, best/2, rand/2).
template <class Gene, class Formulas>
struct QAVDEModel
{
  using Genes = std::vector<Gene>;
  int np, d, process;
  double f, cr;
  bool maximize;
  Genes min, max;
  double (*fitness)(std::int32_t, const Gene*);
  std::vector<Genes> pop, evaluated;
  std::vector<double> fit;
  Genes opt;
  double optFit = 0;

  double Eval(const Genes& x)
  {
    evaluated.push_back(x);
    return fitness(d, x.data());
  }
  int Best(bool highest) const
  {
    int lo = 0, hi = 0;
    for (int i = 1; i < np; ++i)
    {
      lo = fit[i] < fit[lo] ? i : lo;
      hi = fit[i] > fit[hi] ? i : hi;
    }
    return highest ? hi : lo;
  }
  static int Index(int n) { return static_cast<int>(std::floor(drand48() * n)); }
  // Five distinct partners of the target, none the target itself, drawn from the generator.
  static std::vector<int> Partners(int np, int target)
  {
    std::vector<int> r;
    while (r.size() < 5)
    {
      const int c = Index(np);
      if (c != target && std::find(r.begin(), r.end(), c) == r.end())
        r.push_back(c);
    }
    return r;
  }
  void Init(long seed)
  {
    srand48(seed);
    pop.assign(np, Genes(d));
    fit.assign(np, 0);
    for (int i = 0; i < np; ++i)
    {
      for (int j = 0; j < d; ++j)
        pop[i][j] = Formulas::Random(drand48(), min[j], max[j]);
      fit[i] = Eval(pop[i]);
    }
    opt = pop[Best(false)];
    optFit = fit[Best(false)];
  }
  void Generation()
  {
    const Genes lead = pop[Best(maximize)];
    std::vector<Genes> next = pop;
    std::vector<double> nextFit = fit;
    const int scheme = (process >= 1 && process <= 9) ? process : 10;
    for (int i = 0; i < np; ++i)
    {
      const std::vector<int> r = Partners(np, i);
      Genes trial = pop[i];
      int n = Index(d);
      auto set = [&](int g) {
        const Gene x[5] = {pop[r[0]][g], pop[r[1]][g], pop[r[2]][g], pop[r[3]][g], pop[r[4]][g]};
        trial[g] = Formulas::At((scheme - 1) % 5, f, lead[g], trial[g], x);
      };
      if (scheme <= 5)
      {
        int len = 0;
        do
        {
          set(n);
          n = (n + 1) % d;
        } while (drand48() < cr && ++len < d);
      }
      else
        for (int len = 0; len < d; ++len, n = (n + 1) % d)
          if (drand48() < cr || len == d - 1)
            set(n);
      bool inside = true;
      for (int k = 0; k < d; ++k)
        inside = inside && min[k] <= trial[k] && trial[k] <= max[k];
      const double v = inside ? Eval(trial) : 0.0;
      if (inside && (maximize ? v >= fit[i] : v <= fit[i]))
      {
        next[i] = trial;
        nextFit[i] = v;
      }
    }
    pop = next;
    fit = nextFit;
    const int b = Best(maximize);
    if (maximize ? fit[b] > optFit : fit[b] < optFit)
    {
      opt = pop[b];
      optFit = fit[b];
    }
  }
};

#endif

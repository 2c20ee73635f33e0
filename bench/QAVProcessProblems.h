#ifndef QAVProcessProblems_H
#define QAVProcessProblems_H

// Seeded problems for the process-selection and yield benchmarks.

#include "QAVTasAllocationProblem.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

// Dimensions made by one of iOptions processes each (tolerances about 1.6 to 2.2 apart, costs
// a + b/t with 5 % noise), and stack-ups of 6 distinct dimensions, worst-case and rss (some with
// Bender's 1.5) in turn, whose limits the middle option of every dimension meets give or take 20 %.
inline QAVTasAllocationProblem QAVProcessProblem(int iDims, int iOptions, int iStackups, unsigned iSeed)
{
  using Problem = QAVTasAllocationProblem;
  std::mt19937 gen(iSeed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Problem p;
  std::vector<double> middle;
  for (int i = 0; i < iDims; ++i)
  {
    Problem::Dimension d;
    d.Name = "d" + std::to_string(i);
    const double a = 1.0 + 4.0 * u(gen), b = 0.05 + 0.15 * u(gen);
    double t = 0.004 + 0.008 * u(gen);
    for (int k = 0; k < iOptions; ++k, t *= 1.6 + 0.6 * u(gen))
      d.Options.push_back({t, (a + b / t) * (0.95 + 0.1 * u(gen)), "p" + std::to_string(k)});
    middle.push_back(d.Options[iOptions / 2].Tolerance);
    p.Dimensions.push_back(d);
  }
  for (int j = 0; j < iStackups; ++j)
  {
    Problem::Stackup s;
    s.Name = "s" + std::to_string(j);
    s.Rule = j % 2 ? Problem::Law::Rss : Problem::Law::WorstCase;
    s.Factor = j % 4 == 3 ? 1.5 : 1.0;
    std::vector<int> picked;
    while (picked.size() < 6)
    {
      const int i = static_cast<int>(gen() % iDims);
      if (std::find(picked.begin(), picked.end(), i) == picked.end())
        picked.push_back(i);
    }
    for (const int i : picked)
      s.Sensitivity.push_back({i, (u(gen) < 0.5 ? -1.0 : 1.0) * (0.5 + 1.5 * u(gen))});
    p.Stackups.push_back(s);
    p.Stackups.back().Limit = p.StackupValue(j, middle.data()) * (0.8 + 0.4 * u(gen));
  }
  return p;
}

#endif

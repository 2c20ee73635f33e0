#ifndef QAVAllocationChain_H
#define QAVAllocationChain_H

#include "QAVTasAllocationProblem.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

// A chained assembly: n dimensions and n / 2 stack-ups, stack-up j drawing 8 dimensions from the
// window of 40 around dimension 2j, laws and cost models in turn (worst-case, rss x 1.5,
// mean-shift, linear; reciprocal, power, exponential, table). Each limit is the stack-up's value
// at a random point inside the bounds, so the problem is feasible with an interior. Seeded.
inline QAVTasAllocationProblem QAVAllocationChain(std::int32_t iDimensions, std::uint32_t iSeed = 2026u)
{
  using Problem = QAVTasAllocationProblem;
  std::mt19937 gen(iSeed + static_cast<std::uint32_t>(iDimensions));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Problem p;
  std::vector<double> inside(static_cast<std::size_t>(iDimensions));
  for (std::int32_t i = 0; i < iDimensions; ++i)
  {
    Problem::Dimension d;
    d.Name = "d" + std::to_string(i);
    d.Min = 0.001 + 0.009 * unit(gen), d.Max = 0.1 + 0.4 * unit(gen);
    d.MeanShift = i % 5 == 0 ? 0.2 : 0.0;
    Problem::Cost& c = d.CostOf;
    c.Model = static_cast<Problem::CostModel>(1 + i % 4);
    c.A = unit(gen), c.B = 0.5 + unit(gen), c.K = 1.5, c.M = 10.0 + 20.0 * unit(gen);
    if (c.Model == Problem::CostModel::Table)
      for (double t : {d.Min, 0.3 * d.Min + 0.7 * d.Max, d.Max})
        c.Points.emplace_back(t, c.B / t);
    inside[i] = d.Min + (0.05 + 0.3 * unit(gen)) * (d.Max - d.Min);
    p.Dimensions.push_back(d);
  }
  for (std::int32_t j = 0; j < iDimensions / 2; ++j)
  {
    Problem::Stackup s;
    s.Name = "s" + std::to_string(j);
    s.Rule = static_cast<Problem::Law>(j % 4);
    s.Factor = 1.5;
    const std::int32_t first = std::clamp(2 * j - 20, 0, std::max(0, iDimensions - 40));
    const std::int32_t window = std::min(40, iDimensions);
    while (s.Sensitivity.size() < std::min<std::size_t>(8, static_cast<std::size_t>(window)))
    {
      const std::int32_t i = first + static_cast<std::int32_t>(gen() % static_cast<std::uint32_t>(window));
      if (std::none_of(s.Sensitivity.begin(), s.Sensitivity.end(), [&](const auto& e) { return e.first == i; }))
        s.Sensitivity.emplace_back(i, (unit(gen) < 0.3 ? -1.0 : 1.0) * (0.5 + unit(gen)));
    }
    p.Stackups.push_back(s);
    const double v = p.StackupValue(static_cast<std::size_t>(j), inside.data());
    p.Stackups.back().Limit = v;
    p.Stackups.back().Lower = v - 0.05, p.Stackups.back().Upper = v + 0.02;
  }
  return p;
}

#endif

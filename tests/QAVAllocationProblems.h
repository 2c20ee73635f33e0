#ifndef QAVAllocationProblems_H
#define QAVAllocationProblems_H

// The allocation problems the solver and selector tests build, in one place so that every suite
// (the units test among them) can take all of them.

#include "QAVTasAllocationProblem.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace QAVAllocationProblems
{
using Problem = QAVTasAllocationProblem;

inline Problem::Dimension Free(double iMin, double iMax, Problem::Cost iCost, double iShift = 0.0)
{
  Problem::Dimension d;
  d.Name = "d";
  d.Min = iMin, d.Max = iMax, d.CostOf = iCost, d.MeanShift = iShift;
  return d;
}

inline Problem::Cost Reciprocal(double b)
{
  Problem::Cost c;
  c.Model = Problem::CostModel::Reciprocal, c.B = b;
  return c;
}

inline Problem::Stackup Row(Problem::Law iLaw, double iLimit, const std::vector<double>& iS, double iFactor = 1.0)
{
  Problem::Stackup s;
  s.Name = "s", s.Rule = iLaw, s.Limit = iLimit, s.Factor = iFactor;
  for (std::size_t i = 0; i < iS.size(); ++i)
    if (iS[i] != 0.0)
      s.Sensitivity.emplace_back(static_cast<std::int32_t>(i), iS[i]);
  return s;
}

inline Problem::Stackup Band(double iLower, double iUpper, const std::vector<double>& iS)
{
  Problem::Stackup row = Row(Problem::Law::Linear, 0.0, iS);
  row.Lower = iLower, row.Upper = iUpper;
  return row;
}

// One worst-case or rss row over costs b_i / t_i in wide boxes: a closed-form optimum.
struct ClosedForm
{
  static inline const std::vector<double> S = {1.0, -4.0, 0.25, 2.0}, B = {1.0, 3.0, 0.5, 2.0};
  static constexpr double Limit = 0.3, Factor = 1.5;

  static Problem Of(Problem::Law iLaw)
  {
    Problem p;
    for (double b : B)
      p.Dimensions.push_back(Free(1e-6, 1e3, Reciprocal(b)));
    p.Stackups.push_back(Row(iLaw, Limit, S, Factor));
    return p;
  }
};

// Three dimensions in [0.01, 1] and rows that no tolerances meet together.
inline std::vector<Problem> Infeasible()
{
  const std::vector<std::vector<Problem::Stackup>> cases = {
    {Row(Problem::Law::WorstCase, 0.015, {1.0, 1.0, 1.0})}, // at least 0.03 at the smallest
    {Row(Problem::Law::Rss, 0.0199, {2.0, 0.0, 0.0}, 1.0)}, // 2 x 0.01
    {Row(Problem::Law::MeanShift, 0.01, {1.0, 0.0, 1.0})},  // each row alone can be met
    {Band(0.5, 1.0, {1.0, -1.0, 0.0}), Band(-1.0, 0.2, {1.0, 0.0, 0.0})},
    {Band(0.1, 1.0, {1.0, -1.0, 0.0}), Band(0.1, 1.0, {0.0, 1.0, -1.0}), Band(0.1, 1.0, {-1.0, 0.0, 1.0})},
  };
  std::vector<Problem> problems;
  for (const auto& rows : cases)
  {
    Problem p;
    for (int i = 0; i < 3; ++i)
      p.Dimensions.push_back(Free(0.01, 1.0, Reciprocal(1.0), 0.5));
    p.Stackups = rows;
    problems.push_back(p);
  }
  return problems;
}

// A random problem of every law and cost model, feasible by construction: each limit lies above
// the stack-up's value at a point inside the bounds (a linear row straddles it).
inline Problem Random(std::mt19937& gen, std::size_t iTrial)
{
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Problem p;
  const std::size_t n = 3 + gen() % 10, m = 1 + gen() % 5;
  std::vector<double> inside(n);
  for (std::size_t i = 0; i < n; ++i)
  {
    Problem::Cost c;
    c.Model = static_cast<Problem::CostModel>(1 + (i + iTrial) % 4);
    c.A = unit(gen), c.B = 0.1 + unit(gen), c.K = 0.5 + 2.0 * unit(gen), c.M = 5.0 + 30.0 * unit(gen);
    const double lo = 0.002 + 0.01 * unit(gen), hi = lo + 0.2 * unit(gen) + 0.01;
    for (double t : {lo, 0.5 * (lo + hi), hi})
      c.Points.emplace_back(t, 0.01 / t);
    p.Dimensions.push_back(Free(lo, hi, c, i % 3 == 0 ? 0.3 * unit(gen) : 0.0));
    inside[i] = lo + (hi - lo) * unit(gen);
    if (unit(gen) < 0.1)
      p.Dimensions[i].Fixed = true, p.Dimensions[i].Tolerance = inside[i];
  }
  for (std::size_t j = 0; j < m; ++j)
  {
    std::vector<double> s(n);
    for (double& v : s)
      v = unit(gen) < 0.4 ? 0.0 : 4.0 * unit(gen) - 1.0;
    s[j % n] = 1.0;
    p.Stackups.push_back(Row(static_cast<Problem::Law>((j + iTrial) % 4), 1.0, s, 1.0 + unit(gen)));
    const double v = p.StackupValue(j, inside.data());
    p.Stackups[j].Limit = v * (1.0 + 0.5 * unit(gen));
    p.Stackups[j].Lower = v - 0.05 * unit(gen), p.Stackups[j].Upper = v + 0.05 * unit(gen);
  }
  return p;
}

// Options loosely like a shop's (tighter costs more), with now and then an option that costs more
// than a tighter one; stack-ups of about half the dimensions, row j following iLaws[j % size],
// whose limits a random selection just meets. iDims options dimensions, then with iFixed a fixed
// dimension in every row.
inline Problem RandomSelection(std::uint32_t iSeed, std::vector<Problem::Law> iLaws, double iTightness, int iDims = 6,
                               bool iFixed = false)
{
  std::mt19937 gen(iSeed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Problem p;
  for (int i = 0; i < iDims; ++i)
  {
    Problem::Dimension d;
    d.Name = "d" + std::to_string(i);
    d.MeanShift = 0.3 * u(gen);
    double t = 0.005 + 0.01 * u(gen), c = 20.0 + 20.0 * u(gen);
    for (int k = 0; k < 3; ++k, t *= 1.5 + 2.0 * u(gen), c *= 0.3 + (u(gen) < 0.1 ? 1.0 : 0.6 * u(gen)))
      d.Options.push_back({t, c, "p" + std::to_string(k)});
    p.Dimensions.push_back(d);
  }
  for (int j = 0; j < 4; ++j)
  {
    Problem::Stackup s;
    s.Rule = iLaws[j % iLaws.size()];
    s.Factor = 1.0 + u(gen);
    for (int i = 0; i < iDims; ++i)
      if (u(gen) < 0.5)
        s.Sensitivity.push_back({i, (u(gen) < 0.3 ? -1.0 : 1.0) * (0.5 + u(gen))});
    if (iFixed)
      s.Sensitivity.push_back({iDims, 1.0});
    p.Stackups.push_back(s);
  }
  if (iFixed)
  {
    p.Dimensions.emplace_back();
    p.Dimensions.back().Fixed = true;
    p.Dimensions.back().Tolerance = 0.004;
  }
  std::vector<double> some;
  for (const auto& d : p.Dimensions)
    some.push_back(d.Options.empty() ? d.Tolerance : d.Options[gen() % 3].Tolerance);
  for (std::size_t j = 0; j < p.Stackups.size(); ++j)
  {
    const double v = p.StackupValue(j, some.data());
    p.Stackups[j].Limit = v * iTightness;
    p.Stackups[j].Upper = v * iTightness + 0.001;
    p.Stackups[j].Lower =
      std::min(v - std::fabs(v) * (iTightness - 1.0) - 0.001, p.Stackups[j].Upper); // no crossed band
  }
  return p;
}

// The selection suites' laws: each alone, then all four in turn (with a fixed dimension per row).
inline const std::vector<std::vector<Problem::Law>>& SelectionLaws()
{
  using Law = Problem::Law;
  static const std::vector<std::vector<Law>> laws = {{Law::WorstCase},
                                                     {Law::Rss},
                                                     {Law::MeanShift},
                                                     {Law::Linear},
                                                     {Law::MeanShift, Law::WorstCase, Law::Linear, Law::Rss}};
  return laws;
}

// A selection of those laws at seed iSeed, tight at every third seed.
inline Problem SelectionCase(const std::vector<Problem::Law>& iLaws, std::uint32_t iSeed)
{
  const bool mixed = iLaws.size() > 1;
  return RandomSelection(iSeed, iLaws, iSeed % 3 == 0 ? 0.9 : 1.1, mixed ? 8 : 6, mixed);
}

// Three dimensions with options and a continuous one in every row.
inline Problem MixedSelection(Problem::Law iLaw)
{
  Problem p = RandomSelection(11, {iLaw}, 1.2);
  p.Dimensions.resize(4);
  Problem::Dimension& free = p.Dimensions[3];
  free.Options.clear();
  free.Min = 0.001;
  free.Max = 0.5;
  free.CostOf = Reciprocal(0.3);
  for (auto& s : p.Stackups)
  {
    std::vector<std::pair<std::int32_t, double>> kept;
    for (const auto& e : s.Sensitivity)
      if (e.first < 3)
        kept.push_back(e);
    s.Sensitivity = kept;
    s.Sensitivity.push_back({3, 1.0});
    s.Limit += 0.01;
  }
  return p;
}
} // namespace QAVAllocationProblems

#endif

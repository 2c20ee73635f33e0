#include "QAVTasAllocationDiagnosis.h"

#include "QAVTasStackupLaw.h"

#include "QAVTasDiagnosisProgram.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <numeric>

namespace
{
using Problem = QAVTasAllocationProblem;
using Diagnosis = QAVTasAllocationDiagnosis;
using Program = QAVTasDiagnosisProgram;
const double kInf = std::numeric_limits<double>::infinity();
const double kOnLimit = 1e-6;

double Smallest(const Problem::Dimension& iDimension)
{
  if (iDimension.Fixed)
    return iDimension.Tolerance;
  if (iDimension.Options.empty())
    return iDimension.Min;
  double t = iDimension.Options.front().Tolerance;
  for (const Problem::Option& o : iDimension.Options)
    t = std::min(t, o.Tolerance);
  return t;
}

// The dimensions that a linear row may want above their smallest tolerance.
std::vector<bool> InLinearRows(const Problem& iProblem)
{
  std::vector<bool> in(iProblem.Dimensions.size(), false);
  for (const Problem::Stackup& s : iProblem.Stackups)
    if (s.LawOf().Band())
      for (const auto& [i, w] : s.Sensitivity)
        in[i] = in[i] || (w != 0.0 && !iProblem.Dimensions[i].Fixed);
  return in;
}

// Whether a stack-up met at value V sits on its limit, to 1e-6 of its scale S.
bool OnLimit(const Problem::Stackup& iStackup, double iValue, double iScale)
{
  const double near = kOnLimit * iScale;
  if (!iStackup.HasLaw)
    return false;
  if (!iStackup.LawOf().Band())
    return iValue >= iStackup.Limit - near;
  return iValue <= iStackup.Lower + near || iValue >= iStackup.Upper - near;
}

// A dimension with options in a linear row, which the search branches on: its options by
// tolerance (a node allows a run of them).
struct Choice
{
  std::size_t Dimension;
  std::vector<std::int32_t> Order; // option indices by tolerance
  std::vector<double> Tolerance;   // their tolerances, in that order
};

using Runs = std::vector<std::pair<std::size_t, std::size_t>>;

class Search
{
public:
  Search(const Problem& iProblem, const Diagnosis::Options& iOptions) : _Options(iOptions)
  {
    const std::vector<bool> coupled = InLinearRows(iProblem);
    _Base = iProblem;
    for (std::size_t i = 0; i < _Base.Dimensions.size(); ++i)
    {
      Problem::Dimension& d = _Base.Dimensions[i];
      if (!d.Options.empty() && coupled[i])
      {
        Choice c{i, std::vector<std::int32_t>(d.Options.size()), {}};
        std::iota(c.Order.begin(), c.Order.end(), 0);
        std::stable_sort(c.Order.begin(), c.Order.end(),
                         [&d](std::int32_t a, std::int32_t b)
                         { return d.Options[a].Tolerance < d.Options[b].Tolerance; });
        for (const std::int32_t o : c.Order)
          c.Tolerance.push_back(d.Options[o].Tolerance);
        _Choices.push_back(std::move(c));
      }
      else if (!coupled[i] && !d.Fixed)
        d.Tolerance = Smallest(d), d.Fixed = true;
      d.Options.clear();
    }
    for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    {
      _Scale.push_back(Diagnosis::Scale(iProblem, j));
      Problem::Stackup& s = _Base.Stackups[j];
      if (!s.HasLaw) // nothing to meet: a band without sides
        s.Rule = Problem::Law::Linear, s.Lower = -kInf, s.Upper = kInf;
    }
  }

  // Depth first; false with Reason when a node cannot be solved or the nodes run out.
  bool Run()
  {
    const auto start = std::chrono::steady_clock::now();
    std::vector<Runs> open{Runs(_Choices.size())};
    for (std::size_t k = 0; k < _Choices.size(); ++k)
      open.back()[k] = {0, _Choices[k].Order.size() - 1};
    while (!open.empty())
    {
      if (++Nodes > _Options.MaxNodes)
        return Fail("the search stopped after " + std::to_string(_Options.MaxNodes) + " nodes");
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
      if (_Options.TimeLimit > 0.0 && elapsed.count() > _Options.TimeLimit)
        return Fail("the search stopped at its time limit after " + std::to_string(Nodes - 1) + " nodes");
      const Runs runs = std::move(open.back());
      open.pop_back();
      const Program::Answer node = Program::Solve(Node(runs), _Scale, _Options.Gap, _Options.MaxIterations);
      if (!node.Certified)
        return Fail(node.Reason);
      if (node.Lower >= Best - _Options.Gap * std::max(1.0, Best))
      {
        Lower = std::min(Lower, node.Lower);
        continue;
      }
      const std::size_t k = Branching(runs);
      if (k == _Choices.size())
      {
        Lower = std::min(Lower, node.Lower);
        if (node.Upper < Best)
          Best = node.Upper, T = node.T, Selection = runs;
        continue;
      }
      Split(runs, k, node.T[_Choices[k].Dimension], open);
    }
    return true;
  }

  bool Fail(const std::string& iReason)
  {
    Reason = iReason;
    return false;
  }

  std::vector<std::int32_t> Processes(const Problem& iProblem) const
  {
    std::vector<std::int32_t> chosen(iProblem.Dimensions.size(), -1);
    for (std::size_t i = 0; i < chosen.size(); ++i)
    {
      const auto& options = iProblem.Dimensions[i].Options;
      for (std::size_t o = 0; o < options.size(); ++o)
        if (chosen[i] < 0 || options[o].Tolerance < options[chosen[i]].Tolerance)
          chosen[i] = static_cast<std::int32_t>(o);
    }
    for (std::size_t k = 0; k < _Choices.size() && k < Selection.size(); ++k)
      chosen[_Choices[k].Dimension] = _Choices[k].Order[Selection[k].first];
    return chosen;
  }

  const std::vector<double>& Scale() const { return _Scale; }

  std::int64_t Nodes = 0;
  double Best = std::numeric_limits<double>::infinity();
  double Lower = std::numeric_limits<double>::infinity();
  std::vector<double> T;
  Runs Selection;
  std::string Reason;

private:
  double ToleranceOf(std::size_t iChoice, std::size_t iPlace) const { return _Choices[iChoice].Tolerance[iPlace]; }

  // The node's problem: each run relaxed to the interval of its tolerances.
  Problem Node(const Runs& iRuns) const
  {
    Problem node = _Base;
    for (std::size_t k = 0; k < _Choices.size(); ++k)
    {
      Problem::Dimension& d = node.Dimensions[_Choices[k].Dimension];
      d.Min = ToleranceOf(k, iRuns[k].first), d.Max = ToleranceOf(k, iRuns[k].second);
      d.Fixed = d.Min == d.Max;
      d.Tolerance = d.Min;
    }
    return node;
  }

  // The first choice whose run still spans two tolerances; the count of choices when none does.
  std::size_t Branching(const Runs& iRuns) const
  {
    for (std::size_t k = 0; k < _Choices.size(); ++k)
      if (ToleranceOf(k, iRuns[k].first) < ToleranceOf(k, iRuns[k].second))
        return k;
    return _Choices.size();
  }

  // Two children at the relaxed tolerance t; the one holding t is searched first.
  void Split(const Runs& iRuns, std::size_t k, double iT, std::vector<Runs>& ioOpen) const
  {
    std::size_t cut = iRuns[k].first;
    while (cut + 1 < iRuns[k].second && ToleranceOf(k, cut + 1) <= iT)
      ++cut;
    Runs low = iRuns, high = iRuns;
    low[k].second = cut, high[k].first = cut + 1;
    const bool lowFirst = iT - ToleranceOf(k, cut) <= ToleranceOf(k, cut + 1) - iT;
    ioOpen.push_back(lowFirst ? high : low);
    ioOpen.push_back(lowFirst ? low : high);
  }

  const Diagnosis::Options& _Options;
  Problem _Base;
  std::vector<Choice> _Choices;
  std::vector<double> _Scale;
};
} // namespace

double QAVTasAllocationDiagnosis::Scale(const QAVTasAllocationProblem& iProblem, std::size_t iStackup)
{
  const Problem::Stackup& s = iProblem.Stackups[iStackup];
  if (!s.HasLaw)
    return 1.0;
  if (!s.LawOf().Band())
    return s.Limit;
  double spread = 0.0;
  for (const auto& [i, w] : s.Sensitivity)
    spread += std::fabs(w) * Smallest(iProblem.Dimensions[i]);
  const double scale = std::max({std::fabs(s.Lower), std::fabs(s.Upper), s.Upper - s.Lower, spread});
  return scale > 0.0 ? scale : 1.0;
}

double QAVTasAllocationDiagnosis::Needed(const QAVTasAllocationProblem::Stackup& iStackup, double iValue, double iScale)
{
  if (!iStackup.HasLaw)
    return 0.0;
  if (!iStackup.LawOf().Band())
    return std::max(0.0, iValue / iStackup.Limit - 1.0);
  return std::max({0.0, (iStackup.Lower - iValue) / iScale, (iValue - iStackup.Upper) / iScale});
}

QAVTasAllocationProblem QAVTasAllocationDiagnosis::Loosened(const QAVTasAllocationProblem& iProblem,
                                                            const std::vector<double>& iR)
{
  Problem loosened = iProblem;
  for (std::size_t j = 0; j < loosened.Stackups.size() && j < iR.size(); ++j)
  {
    Problem::Stackup& s = loosened.Stackups[j];
    if (!s.HasLaw)
      continue;
    const double amount = iR[j] * Scale(iProblem, j);
    if (s.LawOf().Band())
      s.Lower -= amount, s.Upper += amount;
    else
      s.Limit += amount;
  }
  return loosened;
}

QAVTasAllocationDiagnosis::Report QAVTasAllocationDiagnosis::Diagnose(const QAVTasAllocationProblem& iProblem) const
{
  Report report;
  report.Reason = iProblem.Defects();
  if (!(_Options.Gap > 0.0 && _Options.Zero >= 0.0 && _Options.Margin >= 0.0 && _Options.MaxNodes >= 1 &&
        _Options.MaxIterations >= 1))
    report.Reason += std::string(report.Reason.empty() ? "" : "; ") +
      "Options: a gap > 0, Zero and Margin >= 0 "
      "and limits >= 1 are needed";
  if (!report.Reason.empty())
    return report;
  Search search(iProblem, _Options);
  report.Solved = search.Run();
  report.Nodes = search.Nodes;
  report.Reason = search.Reason;
  if (search.T.empty())
    return report;
  report.Tolerances = search.T;
  report.Processes = search.Processes(iProblem);
  report.LowerBound = report.Solved ? std::min(search.Lower, search.Best) : 0.0;
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    report.StackupValues.push_back(iProblem.StackupValue(j, report.Tolerances.data()));
    const double r = Needed(iProblem.Stackups[j], report.StackupValues[j], search.Scale()[j]);
    report.Total += r;
    report.Loosening.push_back(r > _Options.Zero ? r + _Options.Margin : 0.0);
    if (report.Loosening[j] > 0.0 || OnLimit(iProblem.Stackups[j], report.StackupValues[j], search.Scale()[j]))
      report.Conflict.push_back(static_cast<std::int32_t>(j));
  }
  return report;
}

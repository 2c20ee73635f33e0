#include "QAVTasProcessSelector.h"

#include "QAVTasProcessRelaxation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Runs = QAVTasProcessRelaxation::Runs;

namespace
{
struct Node
{
  Runs Choices;
  double Bound = -HUGE_VAL;
  QAVTasProcessRelaxation::Prices Prices;
  bool HasPrices = false;
  // Where to branch: a choice, the position at or below its relaxed tolerance, and whether the
  // relaxed tolerance sits on that option (then it is split off on its own).
  std::int32_t Split = -1, Cut = 0;
  bool OnPoint = false;
};

bool Above(const Node& a, const Node& b)
{
  return a.Bound > b.Bound;
}

class Search
{
public:
  Search(const Problem& iProblem, const QAVTasProcessSelector::Options& iOptions)
    : _Options(iOptions), _Choices(iProblem), _Relaxed(iProblem), _Solver(iOptions.Relaxation),
      _Start(std::chrono::steady_clock::now())
  {
  }

  Result Run();

private:
  double Cutoff() const
  {
    return _Cost == HUGE_VAL ? HUGE_VAL : _Cost - _Options.Gap * std::max(1.0, std::fabs(_Cost));
  }
  bool OutOfBudget();
  void Prune(double iBound) { _PrunedBound = std::min(_PrunedBound, iBound); }
  void Consider(Node&& ioNode);
  bool Bound(Node& ioNode, std::vector<double>& oT);
  bool Settled(Node& ioNode, const std::vector<double>& iT, Runs& oPick);
  void Round(const Node& iNode, const std::vector<double>& iT);
  void Leaf(const Node& iNode);
  void Branch(const Node& iNode);
  void Push(Node&& ioNode);
  void Offer(const Runs& iRuns, const std::vector<double>& iT, const Result* ipSolved);
  Result Finish();

  const QAVTasProcessSelector::Options& _Options;
  QAVTasProcessRelaxation _Choices;
  Problem _Relaxed;
  QAVTasAllocationSolver _Solver;
  std::chrono::steady_clock::time_point _Start;
  std::vector<Node> _Open; // a heap on Bound
  double _Cost = HUGE_VAL, _PrunedBound = HUGE_VAL;
  Runs _Best;
  std::vector<double> _BestT;
  Result _BestSolved; // prices of the best selection when the continuous solver placed it
  std::int64_t _Nodes = 0;
  std::int32_t _Iterations = 0;
  std::string _Unproven, _Limit;
};

bool Search::OutOfBudget()
{
  if (_Limit.empty() && _Nodes >= _Options.MaxNodes)
    _Limit = "node limit reached";
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - _Start;
  if (_Limit.empty() && _Options.TimeLimit > 0.0 && elapsed.count() > _Options.TimeLimit)
    _Limit = "time limit reached";
  return !_Limit.empty();
}

void Search::Push(Node&& ioNode)
{
  _Open.push_back(std::move(ioNode));
  std::push_heap(_Open.begin(), _Open.end(), Above);
}

void Search::Offer(const Runs& iRuns, const std::vector<double>& iT, const Result* ipSolved)
{
  const double cost = _Choices.CostOf(iRuns, iT.data());
  if (!(cost < _Cost))
    return;
  _Cost = cost;
  _Best = iRuns;
  _BestT = iT;
  if (ipSolved)
    _BestSolved = *ipSolved;
}

// A selection: checked directly, or with its continuous dimensions placed by the solver.
void Search::Leaf(const Node& iNode)
{
  ++_Nodes;
  std::vector<double> t(_Relaxed.Dimensions.size(), 0.0);
  _Choices.Place(iNode.Choices, t);
  if (!_Choices.HasContinuous())
  {
    if (_Choices.Problem().MaxViolation(t.data()) <= _Options.Relaxation.Feasibility)
      Offer(iNode.Choices, t, nullptr);
    return;
  }
  const double fixedCost = _Choices.Relax(iNode.Choices, _Relaxed);
  const Result solved = _Solver.Solve(_Relaxed);
  _Iterations += solved.Iterations;
  if (solved.State == Result::Status::Optimal)
  {
    Prune(solved.LowerBound + fixedCost);
    t = solved.Tolerances;
    _Choices.Place(iNode.Choices, t);
    Offer(iNode.Choices, t, &solved);
  }
  else if (solved.State == Result::Status::NotSolved)
  {
    Prune(iNode.Bound);
    _Unproven = "a selection's continuous dimensions were not solved: " + solved.Reason;
  }
}

// Solves the node's relaxation; false when it is certified infeasible.
bool Search::Bound(Node& ioNode, std::vector<double>& oT)
{
  ++_Nodes;
  const double fixedCost = _Choices.Relax(ioNode.Choices, _Relaxed);
  const Result solved = _Solver.Solve(_Relaxed);
  _Iterations += solved.Iterations;
  if (solved.State == Result::Status::Infeasible)
    return false;
  oT.clear();
  if (solved.State != Result::Status::Optimal)
    return true;
  oT = solved.Tolerances;
  ioNode.Prices = _Choices.PricesAt(oT.data(), solved.StackupPrices);
  ioNode.HasPrices = true;
  ioNode.Bound =
    std::max({ioNode.Bound, solved.LowerBound + fixedCost, _Choices.Lagrangian(ioNode.Choices, ioNode.Prices)});
  return true;
}

// Picks the branching choice; true when the relaxed tolerances are all options that the envelope
// prices exactly, so the relaxation solved the node with the selection oPick.
bool Search::Settled(Node& ioNode, const std::vector<double>& iT, Runs& oPick)
{
  oPick = ioNode.Choices;
  double best = -1.0;
  for (std::size_t c = 0; c < _Choices.Choices(); ++c)
  {
    const std::int32_t lo = ioNode.Choices.Lo[c], hi = ioNode.Choices.Hi[c];
    if (lo == hi)
      continue;
    const auto& points = _Choices.PointsOf(c);
    const double t = iT[_Choices.DimensionOf(c)];
    std::int32_t k = lo;
    while (k < hi && points[k + 1].Tolerance <= t)
      ++k;
    double score;
    bool onPoint = std::fabs(t - points[k].Tolerance) <= 1e-9 * points[k].Tolerance;
    if (!onPoint && k < hi && std::fabs(points[k + 1].Tolerance - t) <= 1e-9 * t)
      onPoint = true, ++k;
    if (onPoint)
    {
      const double envelope = _Relaxed.Dimensions[_Choices.DimensionOf(c)].CostOf.Value(points[k].Tolerance);
      score = points[k].Cost - envelope;
      if (score <= 1e-12 * std::max(1.0, std::fabs(points[k].Cost)))
      {
        oPick.Lo[c] = oPick.Hi[c] = k;
        continue;
      }
    }
    else
    {
      const double width = points[k + 1].Tolerance - points[k].Tolerance;
      const double near = std::min(t - points[k].Tolerance, points[k + 1].Tolerance - t) / width;
      score = near * (std::fabs(points[k].Cost - points[k + 1].Cost) + 1e-300);
    }
    if (score > best)
    {
      best = score;
      ioNode.Split = static_cast<std::int32_t>(c);
      ioNode.Cut = k;
      ioNode.OnPoint = onPoint;
    }
  }
  return ioNode.Split < 0;
}

// Incumbents from the relaxed tolerances rounded down to options.
void Search::Round(const Node& iNode, const std::vector<double>& iT)
{
  Runs pick = iNode.Choices;
  for (std::size_t c = 0; c < _Choices.Choices(); ++c)
  {
    const auto& points = _Choices.PointsOf(c);
    const double t = iT[_Choices.DimensionOf(c)] * (1.0 + 1e-12);
    std::int32_t k = pick.Lo[c];
    while (k < pick.Hi[c] && points[k + 1].Tolerance <= t)
      ++k;
    pick.Lo[c] = pick.Hi[c] = k;
  }
  std::vector<double> t = iT;
  _Choices.Place(pick, t);
  if (_Choices.Problem().MaxViolation(t.data()) > _Options.Relaxation.Feasibility)
    return;
  if (_Nodes < 64 || _Nodes % 64 == 0)
    _Choices.Loosen(pick, t, _Options.Relaxation.Feasibility);
  Offer(pick, t, nullptr);
}

void Search::Consider(Node&& ioNode)
{
  if (OutOfBudget())
    return Push(std::move(ioNode));
  if (ioNode.HasPrices && !_Choices.Trim(ioNode.Choices, ioNode.Prices, Cutoff()))
    return Prune(Cutoff());
  if (QAVTasProcessRelaxation::IsLeaf(ioNode.Choices))
    return Leaf(ioNode);
  std::vector<double> t;
  if (!Bound(ioNode, t))
    return;
  if (!(ioNode.Bound < Cutoff()))
    return Prune(ioNode.Bound);
  ioNode.Split = -1;
  if (!t.empty())
  {
    Runs pick;
    if (Settled(ioNode, t, pick))
    {
      std::vector<double> placed = t;
      _Choices.Place(pick, placed);
      if (_Choices.Problem().MaxViolation(placed.data()) <= _Options.Relaxation.Feasibility)
      {
        Offer(pick, placed, nullptr);
        return Prune(ioNode.Bound);
      }
    }
    if (!_Choices.HasContinuous())
      Round(ioNode, t);
  }
  if (ioNode.HasPrices && !_Choices.Trim(ioNode.Choices, ioNode.Prices, Cutoff()))
    return Prune(Cutoff());
  if (QAVTasProcessRelaxation::IsLeaf(ioNode.Choices))
    return Leaf(ioNode);
  Push(std::move(ioNode));
}

// Children split one choice's run: at the cut, or around the option the relaxation sits on.
void Search::Branch(const Node& iNode)
{
  std::int32_t c = iNode.Split, cut = iNode.Cut;
  bool onPoint = iNode.OnPoint;
  const auto& lo = iNode.Choices.Lo;
  const auto& hi = iNode.Choices.Hi;
  if (c < 0 || lo[c] == hi[c] || cut < lo[c] || cut > hi[c])
  {
    c = 0;
    for (std::size_t k = 1; k < lo.size(); ++k)
      if (hi[k] - lo[k] > hi[c] - lo[c])
        c = static_cast<std::int32_t>(k);
    cut = (lo[c] + hi[c]) / 2;
    onPoint = false;
  }
  std::vector<std::pair<std::int32_t, std::int32_t>> parts;
  if (onPoint)
    parts = {{lo[c], cut - 1}, {cut, cut}, {cut + 1, hi[c]}};
  else
  {
    cut = std::min(cut, hi[c] - 1);
    parts = {{lo[c], cut}, {cut + 1, hi[c]}};
  }
  for (const auto& [a, b] : parts)
  {
    if (a > b)
      continue;
    Node child;
    child.Choices = iNode.Choices;
    child.Choices.Lo[c] = a;
    child.Choices.Hi[c] = b;
    child.Bound = iNode.Bound;
    child.Prices = iNode.Prices;
    child.HasPrices = iNode.HasPrices;
    Consider(std::move(child));
  }
}

Result Search::Finish()
{
  Result result;
  const std::size_t n = _Relaxed.Dimensions.size(), m = _Relaxed.Stackups.size();
  double bound = std::min(_Cost, _PrunedBound);
  for (const Node& node : _Open)
    bound = std::min(bound, node.Bound);
  result.Nodes = _Nodes;
  result.Iterations = _Iterations;
  result.Processes.assign(n, -1);
  result.StackupPrices.assign(m, 0.0);
  result.MinPrices.assign(n, 0.0);
  result.MaxPrices.assign(n, 0.0);
  if (!_BestSolved.StackupPrices.empty())
  {
    result.StackupPrices = _BestSolved.StackupPrices;
    result.MinPrices = _BestSolved.MinPrices;
    result.MaxPrices = _BestSolved.MaxPrices;
  }
  const bool complete = _Limit.empty() && _Unproven.empty();
  result.Reason = !_Limit.empty() ? _Limit : _Unproven;
  if (_BestT.empty())
  {
    result.Tolerances.assign(n, 0.0);
    result.State = complete ? Result::Status::Infeasible : Result::Status::NotSolved;
    if (complete)
      result.Reason = "no selection of processes meets every requirement";
    return result;
  }
  result.Tolerances = _BestT;
  result.Cost = _Cost;
  result.LowerBound = bound;
  result.RelativeGap = (_Cost - bound) / std::max(1.0, std::fabs(_Cost));
  for (std::size_t c = 0; c < _Choices.Choices(); ++c)
    result.Processes[_Choices.DimensionOf(c)] = _Choices.PointsOf(c)[_Best.Lo[c]].Option;
  for (std::size_t j = 0; j < m; ++j)
    result.StackupValues.push_back(_Choices.Problem().StackupValue(j, _BestT.data()));
  if (complete && result.RelativeGap <= _Options.Gap)
    result.State = Result::Status::Optimal;
  else if (result.Reason.empty())
    result.Reason = "gap not closed";
  return result;
}

Result Search::Run()
{
  for (auto& d : _Relaxed.Dimensions)
    if (!d.Options.empty())
      d.CostOf = Problem::Cost{};
  Node root;
  root.Choices = _Choices.Root();
  Consider(std::move(root));
  while (!_Open.empty() && !OutOfBudget())
  {
    std::pop_heap(_Open.begin(), _Open.end(), Above);
    Node node = std::move(_Open.back());
    _Open.pop_back();
    if (!(node.Bound < Cutoff()))
      Prune(node.Bound);
    else
      Branch(node);
  }
  return Finish();
}
} // namespace

QAVTasAllocationResult QAVTasProcessSelector::Solve(const QAVTasAllocationProblem& iProblem) const
{
  const bool anyOptions = std::any_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(),
                                      [](const Problem::Dimension& d) { return !d.Options.empty(); });
  if (!anyOptions)
  {
    Result result = QAVTasAllocationSolver(_Options.Relaxation).Solve(iProblem);
    result.Processes.assign(iProblem.Dimensions.size(), -1);
    return result;
  }
  return Search(iProblem, _Options).Run();
}

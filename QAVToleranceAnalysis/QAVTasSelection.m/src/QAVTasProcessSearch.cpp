#include "QAVTasProcessSearch.h"

#include "QAVTasCoverCuts.h"

#include <algorithm>
#include <limits>
#include <utility>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Runs = QAVTasProcessRelaxation::Runs;
using Node = QAVTasProcessSearch::Node;
using Candidate = QAVTasProcessSearch::Candidate;

namespace
{
const std::int64_t kReliable = 1; // pseudo-cost observations before a choice is trusted
const std::int32_t kCutRounds = 50, kTangentRounds = 5;
const std::int32_t kRowsPerLaw = 5; // rows of the LP per stack-up, cuts and tangents included
const double kPlunge = 0.5;         // how far above the best open bound a plunge may go, as a share of the gap

bool Above(const Node& a, const Node& b)
{
  return a.Bound > b.Bound;
}
} // namespace

QAVTasProcessSearch::QAVTasProcessSearch(const Problem& iProblem, const QAVTasProcessSelector::Options& iOptions)
  : _Options(iOptions), _Choices(iProblem), _Relaxed(iProblem), _Solver(iOptions.Relaxation),
    _Start(std::chrono::steady_clock::now()), _Open(iOptions.OpenNodeBytes), _Pseudo(_Choices.Choices())
{
  if (QAVTasSelectionLP::Applies(_Choices))
    _Lp.emplace(_Choices);
  if (_Lp && !_Lp->Usable())
    _Lp.reset();
}

void QAVTasProcessSearch::Push(Node&& ioNode)
{
  if (_Catch)
    return _Catch->push_back(std::move(ioNode));
  _Open.Push(std::move(ioNode));
}

void QAVTasProcessSearch::Offer(const Runs& iRuns, const std::vector<double>& iT)
{
  const double cost = _Choices.CostOf(iRuns, iT.data());
  if (!(cost < _Cost))
    return;
  _Cost = cost;
  _Best = iRuns;
  _BestT = iT;
}

// A selection: checked directly, or with its continuous dimensions placed by the solver.
void QAVTasProcessSearch::Leaf(const Node& iNode)
{
  ++_Nodes;
  std::vector<double> t(_Relaxed.Dimensions.size(), 0.0);
  _Choices.Place(iNode.Choices, t);
  if (!_Choices.HasContinuous())
  {
    if (_Choices.Problem().MaxViolation(t.data()) <= _Options.Relaxation.Feasibility)
      Offer(iNode.Choices, t);
    return;
  }
  const double fixedCost = _Choices.Relax(iNode.Choices, _Relaxed);
  const Result solved = _Solver.SolveValid(_Relaxed);
  _Iterations += solved.Iterations;
  if (solved.State == Result::Status::Optimal)
  {
    Prune(solved.LowerBound + fixedCost);
    t = solved.Tolerances;
    _Choices.Place(iNode.Choices, t);
    Offer(iNode.Choices, t);
  }
  else if (solved.State == Result::Status::NotSolved)
  {
    Prune(iNode.Bound);
    _Unproven = "a selection's continuous dimensions were not solved: " + solved.Reason;
  }
}

// Solves the node's relaxation; false when it is certified infeasible.
bool QAVTasProcessSearch::Bound(Node& ioNode, std::vector<double>& oT)
{
  ++_Nodes;
  const double fixedCost = _Choices.Relax(ioNode.Choices, _Relaxed);
  if (_Lp)
    return BoundByLp(ioNode, oT);
  const Result solved = _Solver.SolveValid(_Relaxed);
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

// A pure selection's own linear relaxation, bounded by the Lagrangian at its prices; mean-shift rows
// that its answer breaks add their tangents there, while there is room. An LP that neither solves
// nor separates leaves the node its parent's bound, to be branched.
bool QAVTasProcessSearch::BoundByLp(Node& ioNode, std::vector<double>& oT)
{
  QAVTasProcessRelaxation::Prices prices;
  auto outcome = _Lp->Solve(ioNode.Choices, oT, prices);
  for (std::int32_t round = 0; outcome == QAVTasSelectionLP::Outcome::Optimal && round < kTangentRounds &&
       LpRoom() > 0 && _Lp->AddTangents(oT) > 0;
       ++round)
    outcome = _Lp->Solve(ioNode.Choices, oT, prices);
  if (outcome == QAVTasSelectionLP::Outcome::Infeasible)
    return false;
  if (outcome == QAVTasSelectionLP::Outcome::Unknown)
  {
    oT.clear();
    return true;
  }
  ioNode.Prices = std::move(prices);
  ioNode.HasPrices = true;
  ioNode.Bound = std::max(ioNode.Bound, _Choices.Lagrangian(ioNode.Choices, ioNode.Prices));
  return true;
}

// Lists the branching candidates; true when there are none: the relaxed tolerances are all
// options that the envelope prices exactly, so the relaxation solved the node with oPick.
bool QAVTasProcessSearch::Settled(Node& ioNode, const std::vector<double>& iT, Runs& oPick)
{
  oPick = ioNode.Choices;
  ioNode.Candidates.clear();
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
    bool onPoint = std::fabs(t - points[k].Tolerance) <= 1e-9 * points[k].Tolerance;
    if (!onPoint && k < hi && std::fabs(points[k + 1].Tolerance - t) <= 1e-9 * t)
      onPoint = true, ++k;
    Candidate candidate{static_cast<std::int32_t>(c), k, onPoint, 0.0, 0.0};
    if (onPoint)
    {
      const double envelope = _Relaxed.Dimensions[_Choices.DimensionOf(c)].CostOf.Value(points[k].Tolerance);
      candidate.Gap = points[k].Cost - envelope;
      if (candidate.Gap <= 1e-12 * std::max(1.0, std::fabs(points[k].Cost)))
      {
        oPick.Lo[c] = oPick.Hi[c] = k;
        continue;
      }
    }
    else
      candidate.Fraction = (t - points[k].Tolerance) / (points[k + 1].Tolerance - points[k].Tolerance);
    ioNode.Candidates.push_back(candidate);
  }
  return ioNode.Candidates.empty();
}

// Estimated bound increase of moving a choice's relaxed tolerance by a fraction to one side: its
// own pseudo-cost once it has one, else the average of all, else the options' cost step.
double QAVTasProcessSearch::Estimate(const Candidate& iC, bool iUp) const
{
  const std::size_t side = iUp ? 1 : 0;
  const double moved = iUp ? 1.0 - iC.Fraction : iC.Fraction;
  const Pseudo& own = _Pseudo[iC.Choice];
  if (own.Count[side] > 0)
    return moved * own.Sum[side] / own.Count[side];
  if (_PseudoAll.Count[side] > 0)
    return moved * _PseudoAll.Sum[side] / _PseudoAll.Count[side];
  const auto& points = _Choices.PointsOf(iC.Choice);
  return moved * std::fabs(points[iC.Cut].Cost - points[iC.Cut + 1].Cost);
}

// Strong branching: solves both children of a split to learn its pseudo-costs. Returns a mask
// of the sides (1 down, 2 up) that hold nothing better than the incumbent.
int QAVTasProcessSearch::Probe(const Node& iNode, const Candidate& iC)
{
  int dead = 0;
  for (const bool up : {false, true})
  {
    if (OutOfBudget())
      break;
    Node child;
    child.Choices = iNode.Choices;
    (up ? child.Choices.Lo : child.Choices.Hi)[iC.Choice] = up ? iC.Cut + 1 : iC.Cut;
    child.Bound = child.ParentBound = iNode.Bound;
    child.From = iC.Choice;
    child.Up = up;
    child.Moved = up ? 1.0 - iC.Fraction : iC.Fraction;
    std::vector<double> t;
    const bool feasible = Bound(child, t);
    if (!feasible)
      child.Bound = std::max(child.Bound, std::min(Cutoff(), 2.0 * std::fabs(iNode.Bound) + 1.0));
    Learn(child);
    if (!feasible || !(child.Bound < Cutoff()))
    {
      if (feasible)
        Prune(child.Bound);
      dead |= up ? 2 : 1;
    }
  }
  return dead;
}

void QAVTasProcessSearch::Learn(const Node& iNode)
{
  if (iNode.From < 0 || !(iNode.Moved > 0.0))
    return;
  const double rate = std::max(0.0, iNode.Bound - iNode.ParentBound) / iNode.Moved;
  for (Pseudo* p : {&_Pseudo[iNode.From], &_PseudoAll})
  {
    p->Sum[iNode.Up] += rate;
    ++p->Count[iNode.Up];
  }
}

// Incumbents from the relaxed tolerances rounded down to options.
void QAVTasProcessSearch::Round(const Node& iNode, const std::vector<double>& iT)
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
  Offer(pick, t);
}

void QAVTasProcessSearch::Consider(Node&& ioNode)
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
  Learn(ioNode);
  if (!(ioNode.Bound < Cutoff()))
    return Prune(ioNode.Bound);
  ioNode.Candidates.clear();
  if (!t.empty())
  {
    Runs pick;
    if (Settled(ioNode, t, pick))
    {
      std::vector<double> placed = t;
      _Choices.Place(pick, placed);
      if (_Choices.Problem().MaxViolation(placed.data()) <= _Options.Relaxation.Feasibility)
      {
        Offer(pick, placed);
        // The bound may still lie below the cutoff (a thin feasible set leaves the relaxation's
        // prices weak): then the node is branched, not closed.
        if (!(ioNode.Bound < Cutoff()))
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

// Children split one choice's run at the relaxed tolerance, or around the option it sits on; the
// choice is the one whose smaller estimated side increase is largest (product rule).
void QAVTasProcessSearch::Branch(const Node& iNode)
{
  const auto& lo = iNode.Choices.Lo;
  const auto& hi = iNode.Choices.Hi;
  Candidate pick{-1, 0, false, 0.5, 0.0};
  double best = -1.0;
  int dead = 0;
  for (const Candidate& c : iNode.Candidates)
    if (!c.OnPoint && c.Cut < hi[c.Choice] &&
        (_Pseudo[c.Choice].Count[0] < kReliable || _Pseudo[c.Choice].Count[1] < kReliable) &&
        (dead = Probe(iNode, c)) != 0)
    {
      pick = c;
      break;
    }
  for (const Candidate& c : iNode.Candidates)
  {
    if (dead)
      break;
    if (lo[c.Choice] == hi[c.Choice] || c.Cut < lo[c.Choice] || c.Cut > hi[c.Choice] ||
        (!c.OnPoint && c.Cut == hi[c.Choice]))
      continue;
    const double score =
      c.OnPoint ? c.Gap * c.Gap : std::max(Estimate(c, false), 1e-12) * std::max(Estimate(c, true), 1e-12);
    if (score > best)
      best = score, pick = c;
  }
  if (pick.Choice < 0)
  {
    pick.Choice = 0;
    for (std::size_t k = 1; k < lo.size(); ++k)
      if (hi[k] - lo[k] > hi[pick.Choice] - lo[pick.Choice])
        pick.Choice = static_cast<std::int32_t>(k);
    pick.Cut = (lo[pick.Choice] + hi[pick.Choice]) / 2;
  }
  const std::int32_t c = pick.Choice, cut = pick.Cut;
  std::vector<std::pair<std::int32_t, std::int32_t>> parts;
  if (pick.OnPoint)
    parts = {{lo[c], cut - 1}, {cut, cut}, {cut + 1, hi[c]}};
  else
    parts = {{lo[c], cut}, {cut + 1, hi[c]}};
  for (std::size_t part = 0; part < parts.size(); ++part)
  {
    const auto [a, b] = parts[part];
    if (a > b || (dead >> part) & 1)
      continue;
    Node child;
    child.Choices = iNode.Choices;
    child.Choices.Lo[c] = a;
    child.Choices.Hi[c] = b;
    child.Bound = child.ParentBound = iNode.Bound;
    child.Prices = iNode.Prices;
    child.HasPrices = iNode.HasPrices;
    if (!pick.OnPoint && !iNode.Candidates.empty())
    {
      child.From = c;
      child.Up = part == 1;
      child.Moved = child.Up ? 1.0 - pick.Fraction : pick.Fraction;
    }
    Consider(std::move(child));
  }
}

Result QAVTasProcessSearch::Finish()
{
  Result result;
  const std::size_t n = _Relaxed.Dimensions.size(), m = _Relaxed.Stackups.size();
  const double bound = std::min({_Cost, _PrunedBound, _Open.Bound()});
  result.Nodes = _Nodes;
  result.Iterations = _Iterations;
  result.Processes.assign(n, -1);
  result.StackupPrices.assign(m, 0.0);
  result.MinPrices.assign(n, 0.0);
  result.MaxPrices.assign(n, 0.0);
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
  PriceSelection(result);
  // Bounds recorded at the cutoff give exactly Gap, give or take a rounding.
  if (complete && result.RelativeGap <= _Options.Gap * (1.0 + 1e-6))
    result.State = Result::Status::Optimal;
  else if (result.Reason.empty())
    result.Reason = "gap not closed";
  return result;
}

// The prices of the continuous problem at the best selection, its options held at their choice:
// whichever node found the selection, its own prices belong to a relaxation, not to the selection.
void QAVTasProcessSearch::PriceSelection(Result& ioResult)
{
  if (!_Choices.HasContinuous())
    return;
  _Choices.Relax(_Best, _Relaxed);
  const Result solved = _Solver.SolveValid(_Relaxed);
  _Iterations += solved.Iterations;
  ioResult.Iterations = _Iterations;
  if (solved.State != Result::Status::Optimal)
    return;
  ioResult.StackupPrices = solved.StackupPrices;
  ioResult.MinPrices = solved.MinPrices;
  ioResult.MaxPrices = solved.MaxPrices;
}

// Rows the LP may still take, cuts and tangents together.
std::int32_t QAVTasProcessSearch::LpRoom() const
{
  return kRowsPerLaw * _Lp->LawRows() - _Lp->Rows();
}

// Rounds of cuts at the root: each solves the relaxation and adds the covers it breaks and the
// tangents of the mean-shift rows it breaks.
void QAVTasProcessSearch::CutRoot(const Runs& iRoot)
{
  std::vector<double> t;
  QAVTasProcessRelaxation::Prices prices;
  for (std::int32_t round = 0; round < kCutRounds && LpRoom() > 0 && !OutOfBudget(); ++round)
    if (_Lp->Solve(iRoot, t, prices) != QAVTasSelectionLP::Outcome::Optimal ||
        _Lp->AddTangents(t) + QAVTasCoverCuts::Separate(*_Lp, LpRoom()) == 0)
      break;
  if (_Lp->Solve(iRoot, t, prices) == QAVTasSelectionLP::Outcome::Optimal)
    _Lp->DropSlackRows();
}

// The best child goes next, while the LP's basis is still near it, unless it lies well above the
// best open node: depth first where it costs little, best first otherwise.
std::optional<Node> QAVTasProcessSearch::Plunge(std::vector<Node>& ioChildren)
{
  const auto best = std::min_element(ioChildren.begin(), ioChildren.end(), Above);
  const double open = _Open.HeapBound(), cutoff = Cutoff();
  if (best == ioChildren.end() || !(best->Bound < cutoff) ||
      (cutoff < HUGE_VAL && open < HUGE_VAL && best->Bound > open + kPlunge * (cutoff - open)))
    return std::nullopt;
  Node next = std::move(*best);
  ioChildren.erase(best);
  return next;
}

Result QAVTasProcessSearch::Run()
{
  for (auto& d : _Relaxed.Dimensions)
    if (!d.Options.empty())
      d.CostOf = Problem::Cost{};
  Node root;
  root.Choices = _Choices.Root();
  if (_Lp)
    CutRoot(root.Choices);
  Consider(std::move(root));
  std::vector<Node> children;
  std::optional<Node> next;
  while (next || !_Open.Empty())
  {
    Observe(next);
    if (OutOfBudget())
      break;
    Node node = next ? std::move(*next) : _Open.Pop();
    next.reset();
    if (!(node.Bound < Cutoff()))
    {
      Prune(node.Bound);
      continue;
    }
    children.clear();
    _Catch = &children;
    Branch(node);
    _Catch = nullptr;
    next = Plunge(children);
    _Open.PushAll(children);
  }
  if (next)
    Push(std::move(*next));
  return Finish();
}

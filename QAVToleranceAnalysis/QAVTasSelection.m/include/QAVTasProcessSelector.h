#ifndef QAVTasProcessSelector_H
#define QAVTasProcessSelector_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasAllocationSolver.h"
#include "QAVTasOptimizerExport.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

// Proven optimum of an allocation problem whose dimensions may be made by discrete processes
// (Dimension::Options), mixed with continuous and fixed dimensions.
//
// Branch and bound. A node restricts every dimension with options to a run of its options sorted
// by tolerance. Its relaxation replaces that run by the lower convex envelope of its (tolerance,
// cost) points, a convex non-increasing table cost on [smallest, largest tolerance] (where an
// option costs less than a tighter one the envelope is cut flat at its lowest point, which keeps
// it below every option). The certified continuous solver bounds the node; any option lies on or
// above the envelope, so the bound holds for every selection in the node. A pure selection (every
// free dimension with options) is a 0-1 program in its worst-case, rss and linear rows, and in
// tangents of its mean-shift rows; there its own linear relaxation bounds the node instead, which convexifies each choice in (t, t^2,
// cost) at once and so is tighter where rss rows bind, strengthened at the root by cover
// inequalities (not all choices of a set can take options whose weights together overflow a
// row); its prices give the bound L(lambda) below, a cut's price counted per option.
//
// With the relaxation's shadow prices lambda_j >= 0 and the gradients g_j of the laws at the relaxed
// tolerances t*, each law being convex and positively homogeneous gives V_j(t) >= g_j . t, so
//   L(lambda) = sum_i min_{t_i in node} [c_i(t_i) + t_i sum_j lambda_j g_ij] - sum_j lambda_j T_j
// is a lower bound for the node that separates by dimension (a linear row enters with the sign of
// its nearer side; an rss row enters squared, f^2 sum s_ij^2 t_i^2 <= T_j^2, which is separable
// too and lies above its linearisation). It lifts the bound, screens children before they are
// solved, and removes the options whose own term alone lifts L above the incumbent (reduced-cost
// fixing).
//
// Branching splits a dimension's run at its relaxed tolerance (or splits off the option it sits on
// when the envelope prices that option below its cost); a run of one option fixes the dimension at
// exactly that option's tolerance. The split is chosen by pseudo-costs (the bound increase per unit
// of fraction moved, learnt per choice and side), which strong branching initialises by solving
// both children; a side it proves empty is dropped at once. Best-first order, but the best child
// of the node just branched goes next while it lies within half the gap of the best open bound
// (its LP then starts from a near basis). A node whose relaxed tolerances all sit on options that
// the envelope prices exactly is solved by its relaxation. Incumbents come from rounding t* down to
// options and loosening greedily while every requirement holds.
//
// Contract: Optimal when the best selection's cost is within Gap (relative to max(1, |cost|)) of
// the lower bound, Infeasible when every selection was proven infeasible, NotSolved on a node or
// time limit, when the observer asks to stop or when a relaxation with continuous dimensions
// cannot be solved; the result then holds the best selection found and its proven gap.
// Result::Processes gives the chosen option of each dimension with options (an index into its
// Options), -1 elsewhere; Result::Nodes the nodes explored. The prices (StackupPrices, MinPrices,
// MaxPrices) are those of the continuous problem at the chosen selection, its options held at
// their choice: all 0 for a pure selection, whose stack-ups QAVTasSelectionSensitivity weighs
// instead. A problem without options is handed to the continuous solver as it is. A problem with
// defects (QAVTasAllocationProblem::Validate) or options out of range (Gap not a finite number > 0,
// TimeLimit negative or not finite, MaxNodes < 1, Relaxation as the solver's) is refused before
// any work: NotSolved, Reason every defect joined by "; ", every vector empty.
//
// Open nodes wait best first until they hold OpenNodeBytes; beyond that the search dives depth
// first below the best open node until that dive is done, so memory stays near the budget (a dive
// holds at most two nodes per option) and no node is dropped from the bound.
class QAV_TASOPT_API QAVTasProcessSelector
{
public:
  // What a running search tells its observer.
  struct Progress
  {
    std::int64_t Nodes = 0;        // explored so far
    std::int64_t OpenNodes = 0;    // waiting to be explored
    double Cost = HUGE_VAL;        // of the best selection found; HUGE_VAL before the first
    double LowerBound = -HUGE_VAL; // a proven lower bound of the optimal cost, at this moment
    double RelativeGap = HUGE_VAL; // (Cost - LowerBound) / max(1, |Cost|)
    double Seconds = 0.0;          // since the search began
  };
  // Called in the searching thread between nodes: first when the root is done (unless the root
  // settled the search), then after a node that ends at least ObserverPeriod seconds after the
  // previous call (a long node delays it). It may read the progress and nothing of the search;
  // returning false stops the search as a limit would: NotSolved with Reason "interrupted", the
  // best selection and the bound proven so far. It is never called for a problem without options.
  // Unset, the search reads no clock for it.
  using Observer = std::function<bool(const Progress&)>;

  struct Options
  {
    std::int64_t MaxNodes = 1000000;
    double TimeLimit = 0.0; // seconds; 0: no limit
    double Gap = 1e-9;
    Observer OnProgress;         // may be empty
    double ObserverPeriod = 0.1; // seconds; 0: after every node
    std::int64_t OpenNodeBytes = std::int64_t{64} << 20;
    // Relaxations are solved to a tenth of Gap, so that a node solved by its relaxation closes the
    // proof within Gap.
    QAVTasAllocationSolver::Options Relaxation = []
    {
      QAVTasAllocationSolver::Options relaxation;
      relaxation.Gap = 1e-10;
      return relaxation;
    }();
  };

  QAVTasProcessSelector() = default;
  explicit QAVTasProcessSelector(const Options& iOptions) : _Options(iOptions) {}

  QAVTasAllocationResult Solve(const QAVTasAllocationProblem& iProblem) const;

  // The defects of these options, joined by "; " (empty when they are sound).
  static std::string Defects(const Options& iOptions);

private:
  Options _Options;
};

#endif

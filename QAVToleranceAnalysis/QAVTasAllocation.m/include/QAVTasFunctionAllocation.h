#ifndef QAVTasFunctionAllocation_H
#define QAVTasFunctionAllocation_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasOptimizerExport.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVTasWorstCase.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Allocation when some stack-ups are functions (Stackup::Function). The statistical laws use the
// sensitivities at the nominals (the problem's linear model, as engineers do); the worst-case law
// holds on the true function: over the box centre_i +- t_i, max(f_max - f(x0), f(x0) - f_min) <=
// limit, x0 the nominals (what sum |s_i| t_i bounds for a sum).
//
// The linear model is solved; the true worst case W(t) of the answer is certified (QAVTasWorstCase,
// its proven bound used). Each function stack-up whose bound breaks its limit T, that binds in the
// model with room left, or whose row is not yet W's tangent, is replaced by the tangent of W at the
// answer t_k (sequential linearisation):
//   W(t) ~ W(t_k) + sum_i g_i (t_i - t_k,i),   g_i = dW/dt_i = +-df/dx_i at the extreme x*,
// the sign that of the end of [centre_i - t_i, centre_i + t_i] x*_i sits on, 0 inside (the envelope
// theorem), so the row reads sum_i g_i t_i <= T - W(t_k) + sum_i g_i t_k,i. At its fixed point the
// model's optimality conditions are the true problem's: the answer is a stationary point of the
// true problem, and where W is convex in t (f concave or convex along the box's directions, as the
// clutch's arccos is) the tangent lies below W, so the model's certificate bounds the true optimum.
// Where no tangent is usable (no slope, or a slope of the wrong sign) the model's limit is moved by
// the discrepancy instead. The rounds end when every such stack-up meets its limit to
// RelativeTolerance, the binding ones sit on it and the slopes are settled (1e-6 relative: the
// cost is stationary, so it errs by the square). Otherwise, after MaxRounds or when a model limit
// reaches 0 or the tightened model has no answer, the result is NotSolved with the best answer that
// met every true limit (else the last) and why. A problem without function worst-case stack-ups is
// solved once, as it is.
class QAV_TASOPT_API QAVTasFunctionAllocation
{
public:
  struct Settings
  {
    std::int32_t MaxRounds = 40;
    double RelativeTolerance = 1e-9;
    QAVTasWorstCase::Settings WorstCase = Tight();
  };

  // One stack-up at the answer.
  struct Check
  {
    bool Function = false;       // given by its function
    bool TrueLaw = false;        // a function with the worst-case law: held on the function
    double ModelValue = 0.0;     // the law's value V_j on the row last solved
    double ModelLimit = 0.0;     // the limit of the row last solved
    bool Tangent = false;        // that row was W's tangent at an earlier answer, not the linear model
    double Reference = 0.0;      // f at the nominals
    double Min = 0.0, Max = 0.0; // f's extremes over the box, attained
    double TrueValue = 0.0;      // max(Max - Reference, Reference - Min)
    double TrueBound = 0.0;      // its proven upper bound
    bool Certified = false;
    // dTrueValue/dt_i at the answer, (dimension, slope) for each slope > 0; empty when W has no
    // usable tangent there (a true-law stack-up only).
    std::vector<std::pair<std::int32_t, double>> Slopes;
  };

  struct Result
  {
    QAVTasAllocationResult Answer; // StackupValues of true-law stack-ups are their TrueValue
    std::vector<Check> Checks;     // one per stack-up
    std::int32_t Rounds = 0;       // solves of the linear model
  };

  using Solver = std::function<QAVTasAllocationResult(const QAVTasAllocationProblem&)>;

  QAVTasFunctionAllocation() = default;
  explicit QAVTasFunctionAllocation(const Settings& iSettings) : _Settings(iSettings) {}

  Result Solve(const QAVTasAllocationProblem& iProblem, const Solver& iSolver) const;
  // The checks of every stack-up at tolerances iT, with iProblem's limits as the model's.
  std::vector<Check> Checks(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iT) const;

  // The simulated yield of each function stack-up with a limit at tolerances iT, P(|y - f(x0)| <=
  // limit), on the linear model and on the true function over the same assemblies (Defined false
  // for the other stack-ups).
  struct Yield
  {
    bool Defined = false;
    QAVTasStackupAnalysis::Interval Model, True;
  };
  std::vector<Yield> Yields(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iT,
                            std::int64_t iSamples, std::uint64_t iSeed) const;

  // Worst-case settings fine enough to hold a deviation to 1e-9 of its limit.
  static QAVTasWorstCase::Settings Tight();

private:
  Settings _Settings;
};

#endif

#ifndef QAVTasFunctionAllocation_H
#define QAVTasFunctionAllocation_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasOptimizerExport.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVTasWorstCase.h"

#include <cstdint>
#include <functional>
#include <vector>

// Allocation when some stack-ups are functions (Stackup::Function). The statistical laws use the
// sensitivities at the nominals (the problem's linear model, as engineers do); the worst-case law
// holds on the true function: over the box centre_i +- t_i, max(f_max - f(x0), f(x0) - f_min) <=
// limit, x0 the nominals (what sum |s_i| t_i bounds for a sum).
//
// The linear model is solved; the true worst case of the answer is certified (QAVTasWorstCase,
// its proven bound used); each function stack-up whose bound breaks its limit, or that binds in the
// model with room left, has its model limit moved by limit - bound, and the model is solved again,
// until every such stack-up meets its limit to RelativeTolerance (and the binding ones sit on it).
// Otherwise, after MaxRounds or when a model limit reaches 0 or the tightened model has no answer,
// the result is NotSolved with the best answer that met every true limit (else the last) and why.
// A problem without function worst-case stack-ups is solved once, as it is.
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
    double ModelValue = 0.0;     // the law's value V_j on the linear model
    double ModelLimit = 0.0;     // the limit the linear model was last solved with
    double Reference = 0.0;      // f at the nominals
    double Min = 0.0, Max = 0.0; // f's extremes over the box, attained
    double TrueValue = 0.0;      // max(Max - Reference, Reference - Min)
    double TrueBound = 0.0;      // its proven upper bound
    bool Certified = false;
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

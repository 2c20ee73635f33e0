#include "QAVToolAllocateYield.h"

#include "QAVTasProcessSelector.h"
#include "QAVToolAllocateDiagnosis.h"
#include "QAVToolInterrupt.h"

#include <algorithm>
#include <chrono>
#include <cmath>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Estimator = QAVTasYieldEstimator;

namespace
{
// Without a time limit, the re-solves of what each stack-up holds stop after this many times the
// search's own time, and never before the least.
const double kHeldPerSearch = 20.0, kLeastHeld = 2.0;
} // namespace

void QAVToolAllocateYield::Declare(QAVToolCli& ioCli)
{
  const std::int32_t most = 2147483647;
  ioCli.Int("--max-nodes", _MaxNodes, 1, most,
            "branch-and-bound nodes before the search stops (not solved, with its best selection and gap)");
  ioCli.Real("--time-limit", _TimeLimit, 0.0, 1e9, "seconds before the search stops, likewise (0: no limit)");
  ioCli.Int("--yield", _Samples, 0, most, "simulate N assemblies of the allocation: yield of each stack-up and of all");
  ioCli.Int("--seed", _Seed, 0, most, "seed of the simulation (default 1): the same figures on any number of threads");
  ioCli.Flag("--qmc", _Qmc, "scrambled Sobol points; the interval comes from 16 independent scramblings");
}

void QAVToolAllocateYield::CheckUsage() const
{
  if (_Samples <= 0 && (_Seed || _Qmc))
    throw QAVToolUsageError{std::string(_Seed ? "--seed" : "--qmc") + " follows the simulation: add --yield N"};
}

QAVTasProcessSelector::Options QAVToolAllocateYield::Search() const
{
  QAVTasProcessSelector::Options options;
  options.MaxNodes = _MaxNodes;
  options.TimeLimit = _TimeLimit;
  return options;
}

Result QAVToolAllocateYield::Solve(const Problem& iProblem, const QAVTasProcessSelector::Observer& iObserver) const
{
  const auto start = std::chrono::steady_clock::now();
  QAVTasProcessSelector::Options options = Search();
  options.OnProgress = iObserver;
  Result result = QAVTasProcessSelector(options).Solve(iProblem);
  _Searched = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

std::vector<QAVTasSelectionPrices::Stackup> QAVToolAllocateYield::Held(const Problem& iProblem,
                                                                       const Result& iResult) const
{
  const bool continuous = std::any_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(),
                                      [](const Problem::Dimension& d) { return !d.Fixed && d.Options.empty(); });
  if (continuous)
    return {};
  QAVTasSelectionPrices::Options options;
  options.Search = Search();
  if (options.Search.TimeLimit == 0.0)
    options.Search.TimeLimit = std::max(kLeastHeld, kHeldPerSearch * _Searched);
  // The answer is found: SIGINT or SIGTERM end the re-solves, whose verdicts stay "not known".
  const QAVToolInterrupt interrupt;
  options.Search.OnProgress = [](const QAVTasProcessSelector::Progress&) { return !QAVToolInterrupt::Requested(); };
  return QAVTasSelectionPrices(options).Analyse(iProblem, iResult);
}

// A search stopped by a limit still has its best selection.
bool QAVToolAllocateYield::HasSelection(const Result& iResult)
{
  for (const std::int32_t k : iResult.Processes)
    if (k >= 0)
      return iResult.State != Result::Status::Infeasible;
  return false;
}

std::optional<Estimator::Report> QAVToolAllocateYield::Yield(const Problem& iProblem, const Result& iResult) const
{
  const bool allocated = iResult.State == Result::Status::Optimal || HasSelection(iResult) ||
    QAVToolAllocateDiagnosis::FixedDesign(iProblem);
  if (_Samples <= 0 || !allocated || iResult.Tolerances.size() != iProblem.Dimensions.size())
    return std::nullopt;
  Estimator::Options options;
  options.Samples = _Samples;
  options.Seed = static_cast<std::uint64_t>(_Seed.value_or(1));
  options.Qmc = _Qmc;
  return Estimator(options).Simulate(iProblem, iResult.Tolerances);
}

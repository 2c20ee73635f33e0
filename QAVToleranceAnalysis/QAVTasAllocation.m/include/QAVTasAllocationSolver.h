#ifndef QAVTasAllocationSolver_H
#define QAVTasAllocationSolver_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <string>

// Certified solver of the continuous tolerance-allocation problem (dimensions with options are not
// its business: QAVTasProcessSelector branches on them and hands it table-cost relaxations).
//
// Contract: Solve returns Optimal only with a duality certificate (a lower bound from a
// dual-feasible point, relative gap <= Options::Gap, every limit met to Options::Feasibility
// relative); Infeasible only with a certificate of infeasibility; NotSolved otherwise, with Reason.
// Fixed dimensions keep their tolerance. A problem with defects (QAVTasAllocationProblem::Validate)
// or options out of range (Gap or Feasibility not a finite number > 0, MaxIterations < 1) is
// refused before any work: NotSolved, Reason every defect joined by "; ", every vector empty.
// Solve never throws on a valid problem.
class QAV_TASOPT_API QAVTasAllocationSolver
{
public:
  struct Options
  {
    double Gap = 1e-9;
    double Feasibility = 1e-9;
    std::int32_t MaxIterations = 200;
  };

  QAVTasAllocationSolver() = default;
  explicit QAVTasAllocationSolver(const Options& iOptions) : _Options(iOptions) {}

  QAVTasAllocationResult Solve(const QAVTasAllocationProblem& iProblem) const;

  // The defects of these options, joined by "; " and each named from iPrefix (empty: sound).
  static std::string Defects(const Options& iOptions, const std::string& iPrefix = "Options.");

private:
  friend class QAVTasProcessSearch; // its relaxations are valid by construction

  QAVTasAllocationResult SolveValid(const QAVTasAllocationProblem& iProblem) const;
  QAVTasAllocationResult Analyse(const QAVTasAllocationProblem& iProblem, QAVTasAllocationResult& ioResult) const;

  Options _Options;
};

#endif

#ifndef QAVTasAllocationSolver_H
#define QAVTasAllocationSolver_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>

// Certified solver of the continuous tolerance-allocation problem (dimensions with options are not
// its business: QAVTasProcessSelector branches on them and hands it table-cost relaxations).
//
// Contract: Solve returns Optimal only with a duality certificate (a lower bound from a
// dual-feasible point, relative gap <= Options::Gap, every limit met to Options::Feasibility
// relative); Infeasible only with a certificate of infeasibility; NotSolved otherwise, with Reason.
// Fixed dimensions keep their tolerance. The problem must be valid (QAVTasAllocationReader checks
// files); Solve never throws on a valid problem.
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

private:
  QAVTasAllocationResult Analyse(const QAVTasAllocationProblem& iProblem, QAVTasAllocationResult& ioResult) const;

  Options _Options;
};

#endif

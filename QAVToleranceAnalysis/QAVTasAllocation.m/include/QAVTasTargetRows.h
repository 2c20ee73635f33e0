#ifndef QAVTasTargetRows_H
#define QAVTasTargetRows_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

// The drawing's targets as rows the solver knows, so that an allocation to a Cpk or a yield is
// certified as any other.
//
// Under the normal model a stack-up's sigma_y = sqrt(sum_i (s_i sigma_i)^2), and sigma_i = t_i k_i / 3
// with k_i = 1/cp_i (normal), sqrt 3 (uniform), 3/sqrt 6 (triangular), 3 sigma_i / T_i (a fixed
// dimension with its sigma): an rss row with sensitivities k_i s_i has the value 3 sigma_y.
//   cpk c:   3 c sigma_y <= m, m = min(usl - mu_y, mu_y - lsl)          row limit m / c
//   yield Y: each of the K stack-ups with a limit may fail with probability (1 - Y) / K, both
//            sides together (a union bound, so the joint yield is at least Y): sigma_y <= the
//            largest sigma whose normal mass outside the limits is (1 - Y) / K   row limit 3 sigma
// with mu_y = constant + sum_i s_i mu_i, mu_i the process mean or the zone's centre (a mean shift
// is the mean-shift law's concern).
class QAV_TASOPT_API QAVTasTargetRows
{
public:
  // The stack-ups with a law, as they are (their order kept), then the target rows: a target on a
  // stack-up without a law takes its name, others "<name> (cpk)" and "<name> (yield)". Stack-ups
  // without a law or a target are left out. A problem without targets comes back unchanged.
  static QAVTasAllocationProblem SolverProblem(const QAVTasAllocationProblem& iProblem);

  // mu_y of a stack-up under the process means (or the zones' centres).
  static double Mean(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationProblem::Stackup& iStackup);

  // The largest sigma of a normal with mean iMean whose mass below lsl plus above usl (the limits
  // the stack-up has) is at most iFailure; 0 when the mean is outside, infinite when any sigma will
  // do (one limit and a failure of 1/2 or more).
  static double LargestSigma(const QAVTasAllocationProblem::Stackup& iStackup, double iMean, double iFailure);
};

#endif

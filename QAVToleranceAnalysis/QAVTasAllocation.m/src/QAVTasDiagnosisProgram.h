#ifndef QAVTasDiagnosisProgram_H
#define QAVTasDiagnosisProgram_H

#include "QAVTasAllocationProblem.h"

#include <cstdint>
#include <string>
#include <vector>

// One continuous diagnosis: min sum_j r_j over the free dimensions of a problem without options,
// subject to every row loosened by r_j S_j (S_j given: the limit, or a linear row's scale).
//
// It is an allocation program of the interior-point method: each r_j is a variable w_j = 1 + R - r_j
// in [1, 1 + R] with the table cost R - (w_j - 1) = r_j, and each row g_r(t) <= r_j S_j becomes
// g_r(t) + S_j w_j <= S_j (1 + R), built by the rows themselves from stack-ups that name w_j (a
// linear row split into its two sides), so that it shares whatever scaling they apply. R is twice
// the loosening the start point needs, plus 1, so the start is strictly feasible and no optimum
// reaches w_j = 1. Lengths are first scaled so that the largest free tolerance is of order one.
class QAVTasDiagnosisProgram
{
public:
  struct Answer
  {
    bool Certified = false;
    std::string Reason;
    std::vector<double> T; // every tolerance
    double Upper = 0.0;    // sum of the loosenings T needs
    double Lower = 0.0;    // proven lower bound of the least sum
  };

  static Answer Solve(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iScale, double iGap,
                      std::int32_t iMaxIterations);

private:
  // Solve once its lengths are of order one.
  static Answer SolveInUnits(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iScale, double iGap,
                             std::int32_t iMaxIterations);
};

#endif

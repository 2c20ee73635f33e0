#ifndef QAVTasExactSolver_H
#define QAVTasExactSolver_H

#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <vector>

// Exact solution of the tolerancing problem
//
//   minimise f(X) = sum_i 1/X_i
//   subject to Xinf_i <= X_i <= Xsup_i          (X_i > 0: f is only defined there)
//              Ymin_j <= (W X)_j <= Ymax_j
//
// by a primal-dual interior-point method following the central path (s z = mu, mu falling tenfold
// each time the iterate is close to its centre). Every bound is a row G_r X + s_r = h_r with a
// slack s_r > 0 and a multiplier z_r > 0; the Newton step solves
//
//   (H + G^T D G) dX = -r_d - G^T ((z r_p - r_c) / s),   D = z / s,  H = diag(2 / X_i^3),
//
// r_d = grad f + G^T z, r_p = G X + s - h, r_c = s z - mu. The rows of the X bounds are diagonal,
// so with L = diag(2 / X^3 + z_inf / s_inf + z_sup / s_sup) and d_j = (z_min / s_min + z_max /
// s_max)_j the matrix is L + W^T diag(d) W. Its inverse is taken through the Ny x Ny matrix
// K = I + B B^T, B = diag(d)^(1/2) W L^(-1/2) (Woodbury), factored by a dense Cholesky, and the
// step is refined against the matrix applied directly. A band too narrow to have an interior
// (Ymax - Ymin within 5e-10 relative) is held as an equality with a free multiplier, which the same
// K absorbs (its row of B is W_j L^(-1/2) and its 1 on the diagonal becomes 0).
//
// Optimality is certified by the Lagrange dual of the Y rows: for multipliers lambda >= 0,
// c = W^T (lambda_max - lambda_min) and
//   g(lambda) = sum_i min over [Xinf_i, Xsup_i] of (1/x + c_i x) - lambda_max.Ymax + lambda_min.Ymin
// is a lower bound of f on the feasible set (the inner minimum has a closed form), so
// f(X) - g(lambda) bounds the distance to the optimum. The answer is the first feasible X (the
// minimiser of that inner problem, else the iterate) within the relative gap 1e-9 whose
// complementary slackness and stationarity are within the same target. The same bound proves
// infeasibility: when the box minimum of c.X exceeds lambda_max.Ymax - lambda_min.Ymin, no X in the
// box meets the Y rows.
class QAV_TASOPT_API QAVTasExactSolver
{
public:
  enum class Status
  {
    Optimal,     // X feasible and the relative gap within the target
    Infeasible,  // the bounds admit no X > 0 (or the data hold a NaN)
    NotConverged // no certified answer within the iteration limit
  };

  struct Solution
  {
    std::vector<double> X;
    double Objective = 0.0;
    std::vector<double> LambdaYmin, LambdaYmax; // multipliers of the Y bounds, >= 0
    std::vector<double> LambdaXinf, LambdaXsup; // multipliers of the X bounds, >= 0
    double DualityGap = 0.0;                    // f(X) - g(lambda) >= 0
    double RelativeGap = 0.0;                   // DualityGap / f(X)
    std::int32_t Iterations = 0;
  };

  // Borrows the arrays for the solver's lifetime. W has iNy rows of iNx values.
  QAVTasExactSolver(std::int32_t iNy, std::int32_t iNx, const double* const* ippW, const double* ipYmin,
                    const double* ipYmax, const double* ipXinf, const double* ipXsup);

  // Fills oSolution only when the status is Optimal.
  Status Solve(Solution& oSolution) const;

  // Largest violation of a bound by X, relative to max(1, |bound|): 0 when X is feasible, infinite
  // for a NaN; a negative X_i counts as violating X_i > 0 by its distance to 0.
  double MaxViolation(const double* ipX) const;

private:
  class Run;

  std::int32_t _Ny;
  std::int32_t _Nx;
  const double* const* _ppW;
  const double* _pYmin;
  const double* _pYmax;
  const double* _pXinf;
  const double* _pXsup;
};

#endif

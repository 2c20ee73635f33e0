#ifndef QAVTasAllocationPath_H
#define QAVTasAllocationPath_H

#include "QAVTasAllocationNewton.h"
#include "QAVTasAllocationRows.h"

#include <Eigen/Dense>

#include <cstdint>
#include <vector>

// Primal-dual path following for min f(x) subject to convex h_c(x) <= 0, from a strictly feasible
// x. The constraints h_c are the stack-up rows g_r, the bounds lo - t and t - hi, and, for a table
// cost, its segments' epigraph rows alpha + beta t - z <= 0 with f adding z (z >= every segment's
// line is the table's value, as the table is convex).
//
// With multipliers lambda > 0 and the centring target mu = sigma eta / m' (eta = sum lambda (-h),
// the surrogate gap, m' the constraints with a multiplier, sigma from the predictor: see the .cpp),
// the Newton step on the residuals r_d = grad f + sum lambda grad h and r_c = lambda (-h) - mu
// eliminates the multipliers:
//
//   (hess f + sum lambda hess h + sum (lambda / -h) grad h grad h^T) dx = -(grad f + mu sum grad h / -h)
//   dlambda = -lambda + (mu + lambda grad h.dx) / -h.
//
// A table's z only meets its own t, so it is eliminated per dimension (a 2 x 2 Schur complement
// on H's diagonal) and the matrix stays QAVTasAllocationNewton's. The step keeps lambda > 0
// (fraction to the boundary), x strictly feasible, and shrinks until |r| falls (backtracking).
//
// Phase one finds the strictly feasible start: min s subject to g_r(t) <= s in the box's
// interior. Its extra variable s meets every row, a dense border of H solved by two
// back-substitutions (bordered elimination). It stops once s < 0; at its optimum s > 0 its
// multipliers give the Farkas bound of QAVTasAllocationRows.
class QAVTasAllocationPath
{
public:
  enum class Outcome
  {
    Certified, // phase two: gap reached; phase one: strictly feasible t found, or infeasibility proven
    Stalled,
    Failed
  };

  QAVTasAllocationPath(const QAVTasAllocationRows& iRows, QAVTasAllocationNewton& ioNewton, bool iPhaseOne);

  // t must lie strictly inside the box (phase two: strictly feasible).
  void Start(const std::vector<double>& iT);
  // Phase two: until Cost - LowerBound <= iGap max(1, |Cost|). Phase one: until s < 0 (Feasible)
  // or the Farkas bound is positive (Infeasible).
  Outcome Run(double iGap, std::int32_t iMaxIterations);
  // A certified gap leaves t accurate to about its square root only: a few more steps towards
  // iGap sharpen t and the prices; the better certified of the two points is kept.
  void Polish(double iGap, std::int32_t iIterations);

  std::vector<double> T;      // the free tolerances
  std::vector<double> Lambda; // rows, lower bounds, upper bounds, table segments
  double Cost = 0.0, LowerBound = 0.0;
  bool Feasible = false, Infeasible = false;
  std::int32_t Iterations = 0;

private:
  struct Segment
  {
    std::int32_t Var, Table;
    double Alpha, Beta;
  };

  void Values(const double* ipT, const double* ipZ, double iS, std::vector<double>& oH) const;
  bool StrictlyFeasible(const std::vector<double>& iH) const;
  void Matrix();
  void RightHandSide(double iMu);
  double Predict(double iEta, std::int32_t iActive);
  void Solve();
  void Correct(double iMu);
  double Step(double iMu, double iLeast);
  double Uncorrected(double iMu);
  bool Done(double iGap) const;
  double Residual(double iMu);
  void Certify();
  double Objective(const double* ipT) const;

  const QAVTasAllocationRows& _Rows;
  QAVTasAllocationNewton& _Newton;
  const bool _PhaseOne;
  std::int32_t _N, _R, _M;
  std::vector<Segment> _Segments;
  std::vector<std::int32_t> _TableOf; // table index of each variable, -1 elsewhere
  std::vector<double> _Z, _H, _Grad, _W;
  double _S = 0.0;
  // Newton step and trial point.
  Eigen::VectorXd _Rhs, _Border, _Solved, _Dt;
  double _Hss = 0.0, _Rs = 0.0;
  std::vector<double> _Xi, _ResidualZ, _Dz, _Dlambda, _Hz, _Htz, _Rz, _Gh, _TrialT, _TrialZ, _TrialLambda, _TrialH,
    _Gradient;
  double _Ds = 0.0;
};

#endif

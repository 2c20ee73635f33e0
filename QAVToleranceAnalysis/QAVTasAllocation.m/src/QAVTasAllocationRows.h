#ifndef QAVTasAllocationRows_H
#define QAVTasAllocationRows_H

#include "QAVTasAllocationProblem.h"

#include <cstdint>
#include <string>
#include <vector>

// The allocation problem flattened for the interior-point method: the free dimensions become the
// variables t (fixed ones fold into constants), and every requirement becomes one convex row
//
//   g_r(t) = a.t + f sqrt(sum_k (b_k t_k)^2 + kappa) + c  <=  0.
//
// worst-case: a = |s|, f = 0, c = -T.   rss: a = 0, b = s, f = factor, c = -T.
// mean-shift: a = m|s|, b = (1 - m)s, f = 1, c = -T.   linear: a = s, c = -upper, and a = -s,
// c = lower for its lower side. A fixed dimension adds its a t to c and its (b t)^2 to kappa.
//
// g_r is convex and positively homogeneous in (t, sqrt(kappa)), so for any t' and the unit vector
// u = (b t, sqrt(kappa)) / rho (rho the root at t) Cauchy-Schwarz gives the supporting plane
//
//   g_r(t') >= grad g_r(t).t' + c + f kappa / rho.                                      (1)
//
// Weighting (1) by multipliers lambda >= 0 and adding the cost gives the Lagrangian bound
//
//   cost(t') >= sum_i min over [lo_i, hi_i] of (c_i(x) + G_i x) + sum_r lambda_r (c_r + f kappa / rho)
//
// for every feasible t', with G = sum_r lambda_r grad g_r(t): a lower bound of the optimum that needs
// no accuracy from lambda, only its sign. Each inner minimum is one-dimensional and convex, so it
// has a closed form (the stationary point clamped to the box, or a table's vertex). Without the
// cost, a positive bound proves that no t in the box meets every row (a Farkas certificate).
//
// Everything above is in scaled units, so that a problem reads alike in any unit of length: a
// variable is its tolerance over a typical one (Scale: the geometric mean of its lower bound and the
// largest value its box and the norm rows allow), a row is its stack-up over the stack-up's own
// scale (RowScale: the limit, or for a linear row the largest of its sides and its terms at the
// typical tolerances), and Costs are the dimensions' costs as functions of the scaled variable.
// Costs keep their own units: they do not change with the unit of length.
class QAVTasAllocationRows
{
public:
  // Why the problem cannot be flattened (empty when it can).
  std::string Build(const QAVTasAllocationProblem& iProblem);

  std::int32_t Variables() const { return static_cast<std::int32_t>(Dimension.size()); }
  std::int32_t Rows() const { return static_cast<std::int32_t>(C.size()); }
  double Value(std::int32_t iRow, const double* ipT) const;
  // grad g_r at t, one entry per stored entry of the row (indices Var[Start[r]..Start[r+1])).
  void Gradient(std::int32_t iRow, const double* ipT, double* opGradient) const;
  // The Lagrangian bound above; without the cost, the Farkas bound.
  double LowerBound(const double* ipT, const double* ipLambda, bool iWithCost) const;
  double Root(std::int32_t iRow, const double* ipT) const; // rho, the root of a cone row
  // Multipliers of the bounds that bind (0 elsewhere), from the multipliers last given to
  // LowerBound; indexed like the problem's dimensions, in the problem's units.
  void BoundPrices(const double* ipT, double* opMin, double* opMax) const;
  // Whether the row is met with no slack, to the accuracy of an interior point.
  bool Binds(std::int32_t iRow, const double* ipT) const;

  const QAVTasAllocationProblem* Problem = nullptr;
  std::vector<std::int32_t> Dimension;              // problem index of each variable
  std::vector<double> Scale;                        // t = Scale u for each variable u
  std::vector<double> Lo, Hi;                       // bounds of each variable
  std::vector<QAVTasAllocationProblem::Cost> Costs; // of each variable, as a function of u
  std::vector<std::int32_t> Start, Var;
  std::vector<double> A, B;
  std::vector<double> F, Kappa, C;
  std::vector<std::int32_t> Stackup; // stack-up of each row
  std::vector<double> RowScale;      // of each row: a multiplier lambda prices its stack-up lambda / RowScale
  double FixedCost = 0.0;

private:
  std::string AddVariables(const QAVTasAllocationProblem& iProblem, std::vector<double>& oFixed);
  void ScaleVariables(const QAVTasAllocationProblem& iProblem);
  std::string AddRows(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iFixed);
  double StackupScale(const QAVTasAllocationProblem::Stackup& iS, const std::vector<double>& iFixed) const;
  double LeastTerms(const QAVTasAllocationProblem::Stackup& iS, const std::vector<double>& iFixed) const;

  std::vector<std::int32_t> _VarOf; // variable of each dimension, -1 for a fixed one
  mutable std::vector<double> _G;   // scratch of LowerBound
  mutable std::vector<double> _Grad;
};

#endif

#ifndef QAVTasToleranceModel_H
#define QAVTasToleranceModel_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerTolerancing.h"

#include <cmath>
#include <cstdint>

// The arithmetic of the tolerancing problem, written once for every user: the fitness, both
// reports, the result's X, the Newton refinement's function, the exact solver's check and the
// tool. The model borrows the problem's arrays (W of Ny rows of Nx values, the Y bounds, the X
// domains); a user that needs only W may pass null for the rest.
//
// The stack-up: Y_j = (W X)_j = sum_i W[j][i] X_i, summed from 0.0 in the order of i. The
// multiplier form takes X = 1/s with s_i = cbrt(0.5 (W^T lambda)_i), and so Y_j = sum_i W[j][i]/s_i,
// summed as a quotient (not as W times 1/s, which rounds otherwise).
//
// Feasibility: a value v is inside [lo, hi] when lo - v <= 1e-6 and v - hi <= 1e-6. A NaN
// difference counts as a violation (NaNPolicy::Violates); the two constraint reports alone count it as
// inside (NaNPolicy::Passes), as they always printed it.
class QAVTasToleranceModel
{
public:
  static constexpr double kFeasibility = 1.0e-6;

  enum class NaNPolicy
  {
    Violates,
    Passes
  };

  // The first fault of the data that makes a genetic run meaningless, in the order they are tested.
  enum class DataFault
  {
    None,
    CoefficientNotFinite, // an entry of W is inf or NaN
    YBoundNotFinite,
    YBoundsCrossed, // Ymin_j > Ymax_j
    XBoundNotFinite,
    XBoundsCrossed,   // Xinf_i > Xsup_i
    XBoundNotPositive // Xinf_i <= 0 where 1/X is taken
  };

  QAVTasToleranceModel(std::int32_t iNy, std::int32_t iNx, const double* const* ippW, const double* ipYmin = nullptr,
                       const double* ipYmax = nullptr, const double* ipXinf = nullptr, const double* ipXsup = nullptr)
    : _Ny(iNy), _Nx(iNx), _ppW(ippW), _pYmin(ipYmin), _pYmax(ipYmax), _pXinf(ipXinf), _pXsup(ipXsup)
  {
  }

  // The problem an optimiser holds.
  static QAVTasToleranceModel Of(const QAVTasOptimizerTolerancing& iProblem)
  {
    return QAVTasToleranceModel(iProblem._Ny, iProblem._Nx, iProblem._ppW, iProblem._pYmin, iProblem._pYmax,
                                iProblem._pXinf, iProblem._pXsup);
  }

  static bool Violates(double iValue, double iLow, double iHigh, NaNPolicy iNaN = NaNPolicy::Violates)
  {
    if (iNaN == NaNPolicy::Passes)
      return iLow - iValue > kFeasibility || iValue - iHigh > kFeasibility;
    return !(iLow - iValue <= kFeasibility && iValue - iHigh <= kFeasibility);
  }

  // (W X)_j.
  double StackUp(std::int32_t j, const double* ipX) const
  {
    const double* row = _ppW[j];
    double sum = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      sum += row[i] * ipX[i];
    return sum;
  }

  // sum_i W[j][i] / s_i: (W X)_j for X = 1/s.
  double StackUpOfInverse(std::int32_t j, const double* ipS) const
  {
    const double* row = _ppW[j];
    double sum = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      sum += row[i] / ipS[i];
    return sum;
  }

  // sum_i W[j][i]: the stack-up of unit values.
  double RowSum(std::int32_t j) const
  {
    double sum = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      sum += _ppW[j][i];
    return sum;
  }

  // (W^T lambda)_i: each product taken in double, added in Sum (float for GetValues).
  template <class Sum = double>
  Sum ColumnSum(std::int32_t i, const double* ipLambda) const
  {
    Sum sum = 0;
    for (std::int32_t j = 0; j < _Ny; ++j)
      sum += static_cast<Sum>(_ppW[j][i] * ipLambda[j]);
    return sum;
  }

  // s_i = cbrt(0.5 (W^T lambda)_i): 1 / X_i of the multiplier form.
  template <class Sum = double>
  double MultiplierS(std::int32_t i, const double* ipLambda) const
  {
    return QAVTasSqrt3(0.5 * static_cast<double>(ColumnSum<Sum>(i, ipLambda)));
  }

  // sum_i 1/|X_i|: the objective of the direct form.
  double SumOfInverses(const double* ipX) const
  {
    double sum = 0.0;
    for (std::int32_t i = 0; i < _Nx; ++i)
      sum += 1.0 / std::fabs(ipX[i]);
    return sum;
  }

  // Largest violation of a bound by X, relative to max(1, |bound|): 0 when X is feasible, infinite
  // for a NaN; a negative X_i counts as violating X_i > 0 by its distance to 0. Needs every array.
  double MaxViolation(const double* ipX) const;

  // Needs every array. opValue, when given, takes the place of the faulty value among the values in
  // the data file's order (W by rows, Ymin, Ymax, Xinf, Xsup); of the upper one for crossed bounds.
  DataFault CheckData(bool iDirectForm, std::int64_t* opValue = nullptr) const;
  // The line of the tolerancing report that refuses data with this fault (0 for None).
  static std::int32_t ReportLine(DataFault iFault);

  // The data as an allocation problem: X1..Xn with cost 1/X within [Xinf, Xsup], linear rows
  // Y1..Ym between [Ymin, Ymax] holding the non-zero coefficients. Needs every array.
  QAVTasAllocationProblem AllocationProblem() const;

private:
  DataFault FirstFault(bool iDirectForm, std::int64_t& oAt) const;

  std::int32_t _Ny;
  std::int32_t _Nx;
  const double* const* _ppW;
  const double* _pYmin;
  const double* _pYmax;
  const double* _pXinf;
  const double* _pXsup;
};

#endif

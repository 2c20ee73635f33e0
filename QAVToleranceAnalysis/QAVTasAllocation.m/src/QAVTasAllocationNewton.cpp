// Assembly and factorisation of the Newton matrix H of the header. A row adds, on its own
// variables only, d_r g g^T - e_r w w^T with d_r = lambda_r / -g_r, g = grad g_r, e_r = lambda_r f /
// rho^3 and w = b^2 t; the diagonal part lambda_r f b^2 / rho of its Hessian comes through
// AddDiagonal. In exact arithmetic H is positive definite: the cone row's Hessian is semidefinite
// by Cauchy-Schwarz, the other terms are squares with positive weights, and every lower bound adds
// lambda / -h > 0 to its variable's diagonal. Rounding, or cancellation in the w w^T term, can
// still make a pivot non-positive; Factor then adds a diagonal shift and retries with 1e-14,
// 1e-12, ..., 1e-6 times the largest diagonal entry, so the step it solves for stays the Newton
// step to within that relative perturbation.
#include "QAVTasAllocationNewton.h"

#include <algorithm>
#include <cmath>

void QAVTasAllocationNewton::Analyse(const QAVTasAllocationRows& iRows)
{
  _pRows = &iRows;
  const std::int32_t n = iRows.Variables();
  _Dense = n < kDenseBelow;
  _Offset.assign(1, 0);
  for (std::int32_t r = 0; r < iRows.Rows(); ++r)
  {
    const std::int64_t k = iRows.Start[r + 1] - iRows.Start[r];
    _Offset.push_back(_Offset.back() + k * (k + 1) / 2);
  }
  _Position.resize(static_cast<std::size_t>(_Offset.back()));
  _Diagonal.resize(static_cast<std::size_t>(n));
  if (_Dense)
  {
    _DenseMatrix.setZero(n, n);
    _pValues = _DenseMatrix.data();
  }
  else
  {
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(static_cast<std::size_t>(_Offset.back() + n));
    for (std::int32_t v = 0; v < n; ++v)
      entries.emplace_back(v, v, 0.0);
    for (std::int32_t r = 0; r < iRows.Rows(); ++r)
      for (std::int32_t p = iRows.Start[r]; p < iRows.Start[r + 1]; ++p)
        for (std::int32_t q = iRows.Start[r]; q <= p; ++q)
          entries.emplace_back(std::min(iRows.Var[p], iRows.Var[q]), std::max(iRows.Var[p], iRows.Var[q]), 0.0);
    _Sparse.resize(n, n);
    _Sparse.setFromTriplets(entries.begin(), entries.end());
    _Sparse.makeCompressed();
    _pValues = _Sparse.valuePtr();
  }
  auto position = [&](std::int32_t iRow, std::int32_t iCol) -> std::int64_t
  {
    if (_Dense) // the dense factor reads the lower triangle
      return static_cast<std::int64_t>(iRow) * n + iCol;
    const int* first = _Sparse.innerIndexPtr() + _Sparse.outerIndexPtr()[iCol];
    const int* last = _Sparse.innerIndexPtr() + _Sparse.outerIndexPtr()[iCol + 1];
    return std::lower_bound(first, last, iRow) - _Sparse.innerIndexPtr();
  };
  for (std::int32_t v = 0; v < n; ++v)
    _Diagonal[v] = position(v, v);
  for (std::int32_t r = 0; r < iRows.Rows(); ++r)
  {
    std::int64_t at = _Offset[r];
    for (std::int32_t p = iRows.Start[r]; p < iRows.Start[r + 1]; ++p)
      for (std::int32_t q = iRows.Start[r]; q <= p; ++q)
        _Position[at++] = position(std::min(iRows.Var[p], iRows.Var[q]), std::max(iRows.Var[p], iRows.Var[q]));
  }
  if (!_Dense)
    _Ldlt.analyzePattern(_Sparse);
}

void QAVTasAllocationNewton::Zero()
{
  if (_Dense)
    _DenseMatrix.setZero();
  else
    std::fill(_pValues, _pValues + _Sparse.nonZeros(), 0.0);
}

void QAVTasAllocationNewton::AddRow(std::int32_t iRow, const double* ipG, double iD, const double* ipW, double iE)
{
  const std::int32_t k = _pRows->Start[iRow + 1] - _pRows->Start[iRow];
  const std::int64_t* position = _Position.data() + _Offset[iRow];
  for (std::int32_t p = 0; p < k; ++p)
    for (std::int32_t q = 0; q <= p; ++q)
      _pValues[*position++] += iD * ipG[p] * ipG[q] - iE * ipW[p] * ipW[q];
}

// LLT (dense) or LDLT with every D > 0 (sparse) both certify that the shifted H is positive definite.
bool QAVTasAllocationNewton::Factor()
{
  const std::int64_t size = _Dense ? _DenseMatrix.size() : _Sparse.nonZeros();
  double largest = 0.0;
  for (std::int64_t d : _Diagonal)
    largest = std::max(largest, std::fabs(_pValues[d]));
  _Saved.assign(_pValues, _pValues + size);
  for (double shift = 0.0; shift < 1e-4 * largest || shift == 0.0;
       shift = shift == 0.0 ? 1e-14 * largest : 100.0 * shift)
  {
    std::copy(_Saved.begin(), _Saved.end(), _pValues);
    for (std::int64_t d : _Diagonal)
      _pValues[d] += shift;
    if (_Dense)
    {
      _Llt.compute(_DenseMatrix);
      if (_Llt.info() == Eigen::Success)
        return true;
    }
    else
    {
      _Ldlt.factorize(_Sparse);
      if (_Ldlt.info() == Eigen::Success && _Ldlt.vectorD().minCoeff() > 0.0)
        return true;
    }
    if (!(largest > 0.0))
      return false;
  }
  return false;
}

void QAVTasAllocationNewton::Solve(Eigen::VectorXd& ioRhs) const
{
  if (_Dense)
    _Llt.solveInPlace(ioRhs);
  else
    ioRhs = _Ldlt.solve(ioRhs);
}

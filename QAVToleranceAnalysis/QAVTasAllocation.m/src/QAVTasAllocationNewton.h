#ifndef QAVTasAllocationNewton_H
#define QAVTasAllocationNewton_H

#include "QAVTasAllocationOrdering.h"
#include "QAVTasAllocationRows.h"

#include <Eigen/Dense>
#include <Eigen/SparseCholesky>

#include <cstdint>
#include <vector>

// The Newton matrix of the interior-point method in the space of the free tolerances t:
//
//   H = diag(cost'' + bound and table terms) + sum_r (lambda_r hess g_r + d_r grad g_r grad g_r^T),
//
// with d_r = lambda_r / -g_r. A row's Hessian is f/rho (diag(b^2) - w w^T / rho^2), w = b^2 t, so
// each row adds a dense block on its own few tolerances only: H has the sparsity of the union of
// the rows' cliques (a chained assembly keeps it banded), and the cone and slack variables never
// enter it. The pattern is fixed, so it is analysed once (an elimination order, then
// SimplicialLDLT); below kDenseBelow tolerances a dense LLT is faster. The upper triangle is
// stored, so that in the given order the factorisation reads H without copying it. Each row's block has known
// offsets into the stored values, so assembly allocates nothing.
class QAVTasAllocationNewton
{
public:
  void Analyse(const QAVTasAllocationRows& iRows);
  void Zero();
  void AddDiagonal(std::int32_t iVar, double iValue) { _pValues[_Diagonal[iVar]] += iValue; }
  // Adds d g g^T - e w w^T on the row's tolerances (g and w one entry per stored entry).
  void AddRow(std::int32_t iRow, const double* ipG, double iD, const double* ipW, double iE);
  // Factors H, shifting its diagonal when rounding has made it indefinite; false when that fails.
  bool Factor();
  void Solve(Eigen::VectorXd& ioRhs) const;

private:
  static const std::int32_t kDenseBelow = 300;
  const QAVTasAllocationRows* _pRows = nullptr;
  bool _Dense = false;
  std::vector<std::int64_t> _Offset; // first position of each row's block
  std::vector<std::int64_t> _Position;
  std::vector<std::int64_t> _Diagonal;
  double* _pValues = nullptr;
  Eigen::SparseMatrix<double> _Sparse;
  Eigen::MatrixXd _DenseMatrix;
  std::vector<double> _Saved; // the unshifted values, for a retry
  Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Upper, QAVTasAllocationOrdering> _Ldlt;
  Eigen::LLT<Eigen::MatrixXd, Eigen::Lower> _Llt;
};

#endif

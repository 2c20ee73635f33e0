#ifndef QAVTasAllocationOrdering_H
#define QAVTasAllocationOrdering_H

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCore>

#include <cstdint>
#include <vector>

// The elimination order of the Newton matrix: AMD, unless the given order of the tolerances
// already factors with no more work. Stack-ups of a chained assembly draw on neighbouring
// tolerances, so their given order is a narrow band; AMD then adds fill and scatters the
// factor across memory, and the factorisation grows faster than the problem. Keeping the given
// order also spares permuting the matrix and every right-hand side. An empty permutation means
// the given order.
class QAVTasAllocationOrdering
{
public:
  using Permutation = Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int>;

  // iMatrix holds both triangles.
  template <typename Matrix>
  void operator()(const Matrix& iMatrix, Permutation& oPerm) const
  {
    Eigen::AMDOrdering<int>()(iMatrix, oPerm);
    const std::int32_t n = static_cast<std::int32_t>(iMatrix.cols());
    const int* start = iMatrix.outerIndexPtr();
    const int* row = iMatrix.innerIndexPtr();
    if (Work(n, start, row, nullptr) <= Work(n, start, row, oPerm.indices().data()))
      oPerm.resize(0);
  }

  // The multiplications of a Cholesky factorisation in the order whose k-th pivot is the
  // tolerance ipOrder[k] (the identity when null), from the column counts of the factor.
  static double Work(std::int32_t iN, const int* ipStart, const int* ipRow, const int* ipOrder);
};

#endif

#ifndef QAVTasStackupFunction_H
#define QAVTasStackupFunction_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"
#include "QAVTasWorstCase.h"

#include <cstdint>
#include <vector>

// The assembly value y of a stack-up as a function of the dimensions x (x holds one value per
// dimension of the problem). The analysis sees a stack-up only through this: its value and gradient
// at a point, and its values over a block of simulated points.
class QAV_TASOPT_API QAVTasStackupFunction
{
public:
  virtual ~QAVTasStackupFunction() = default;

  // The dimensions y depends on (indices into the problem's dimensions), each once.
  virtual const std::vector<std::int32_t>& Inputs() const = 0;
  // Whether y = c + sum_i s_i x_i: its moments and worst case are then exact from the gradient.
  virtual bool Linear() const = 0;
  virtual double Value(const double* ipX) const = 0;
  // y at x, and dy/dx_i into opGradient, one per input in the order of Inputs().
  virtual double Gradient(const double* ipX, double* opGradient) const = 0;
  // y of iCount points given dimension by dimension: ipColumns[i][k] is x_i of point k.
  virtual void Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const = 0;
  // y, its gradient and its Hessian (row-major, in the order of Inputs()) at x; 0 for a sum.
  virtual double Hessian(const double* ipX, double* opGradient, double* opHessian) const;
  // The least and greatest y over the box ipLow <= x <= ipHigh (one bound per dimension of the
  // problem); a sum's is exact from its gradient.
  virtual QAVTasWorstCase::Result WorstCase(const double* ipLow, const double* ipHigh) const;
};

// y = Constant + sum_i s_i x_i of a stack-up of the problem (repeated dimensions add up).
class QAV_TASOPT_API QAVTasLinearStackup final : public QAVTasStackupFunction
{
public:
  explicit QAVTasLinearStackup(const QAVTasAllocationProblem::Stackup& iStackup);

  const std::vector<std::int32_t>& Inputs() const override { return _Inputs; }
  bool Linear() const override { return true; }
  double Value(const double* ipX) const override;
  double Gradient(const double* ipX, double* opGradient) const override;
  void Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const override;

private:
  double _Constant;
  std::vector<std::int32_t> _Inputs;
  std::vector<double> _S;
};

#endif

#ifndef QAVTasExpressionStackup_H
#define QAVTasExpressionStackup_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasExpression.h"
#include "QAVTasOptimizerExport.h"
#include "QAVTasStackupFunction.h"
#include "QAVTasWorstCase.h"

// A stack-up whose value is its Function (QAVTasExpression over the problem's dimension names):
// its true value, exact derivatives, and worst case certified by QAVTasWorstCase.
class QAV_TASOPT_API QAVTasExpressionStackup final : public QAVTasStackupFunction
{
public:
  // Throws QAVTasExpression::ParseError when the function is not one of the problem's names.
  QAVTasExpressionStackup(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationProblem::Stackup& iStackup,
                          const QAVTasWorstCase::Settings& iSettings = {});

  const QAVTasExpression& Expression() const { return _F; }
  const std::vector<std::int32_t>& Inputs() const override { return _F.Inputs(); }
  bool Linear() const override { return false; }
  double Value(const double* ipX) const override;
  double Gradient(const double* ipX, double* opGradient) const override;
  void Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const override;
  double Hessian(const double* ipX, double* opGradient, double* opHessian) const override;
  QAVTasWorstCase::Result WorstCase(const double* ipLow, const double* ipHigh) const override;

private:
  // The inputs' values of a point given per dimension.
  const double* Gather(const double* ipX) const;

  QAVTasExpression _F;
  QAVTasWorstCase::Settings _Settings;
};

#endif

#include "QAVTasExpressionStackup.h"

#include "QAVTasScratch.h"

namespace
{
// The expression's own sweeps use slots 0 to 3 while a gathered point is alive.
const int kGatherSlot = 4;
} // namespace

QAVTasExpressionStackup::QAVTasExpressionStackup(const QAVTasAllocationProblem& iProblem,
                                                 const QAVTasAllocationProblem::Stackup& iStackup,
                                                 const QAVTasWorstCase::Settings& iSettings)
  : _F(iStackup.Function, [&iProblem](const std::string& iName) { return iProblem.IndexOf(iName); }),
    _Settings(iSettings)
{
}

const double* QAVTasExpressionStackup::Gather(const double* ipX) const
{
  std::vector<double>& x = QAVTasScratch<double, kGatherSlot>::Get(_F.Inputs().size());
  for (std::size_t k = 0; k < _F.Inputs().size(); ++k)
    x[k] = ipX[_F.Inputs()[k]];
  return x.data();
}

double QAVTasExpressionStackup::Value(const double* ipX) const
{
  return _F.Value(Gather(ipX));
}

double QAVTasExpressionStackup::Gradient(const double* ipX, double* opGradient) const
{
  return _F.Gradient(Gather(ipX), opGradient);
}

double QAVTasExpressionStackup::Hessian(const double* ipX, double* opGradient, double* opHessian) const
{
  return _F.Hessian(Gather(ipX), opGradient, opHessian);
}

void QAVTasExpressionStackup::Values(const double* const* ipColumns, std::int64_t iCount, double* opY) const
{
  std::vector<const double*>& columns = QAVTasScratch<const double*, kGatherSlot>::Get(_F.Inputs().size());
  for (std::size_t k = 0; k < _F.Inputs().size(); ++k)
    columns[k] = ipColumns[_F.Inputs()[k]];
  _F.Values(columns.data(), iCount, opY);
}

QAVTasWorstCase::Result QAVTasExpressionStackup::WorstCase(const double* ipLow, const double* ipHigh) const
{
  std::vector<double> low, high;
  for (const std::int32_t i : _F.Inputs())
    low.push_back(ipLow[i]), high.push_back(ipHigh[i]);
  return QAVTasWorstCase(_Settings).Find(_F, low.data(), high.data());
}

#include "QAVTasNegligiblePrices.h"

#include "QAVTasStackupLaw.h"

#include <algorithm>
#include <cmath>

namespace
{
const double kNegligible = 1e-9; // of the cost

double SizeOf(const QAVTasAllocationProblem::Stackup& iStackup, const std::vector<double>& iT)
{
  double size =
    iStackup.LawOf().Band() ? std::max(std::fabs(iStackup.Lower), std::fabs(iStackup.Upper)) : iStackup.Limit;
  double terms = 0.0;
  for (const auto& [i, s] : iStackup.Sensitivity)
    terms += static_cast<std::size_t>(i) < iT.size() ? std::fabs(s) * iT[i] : 0.0;
  return std::max(size, terms);
}

void Drop(double& ioPrice, double iSize, double iFloor)
{
  if (ioPrice * iSize < iFloor)
    ioPrice = 0.0;
}
} // namespace

void QAVTasDropNegligiblePrices(const QAVTasAllocationProblem& iProblem, QAVTasAllocationResult& ioResult)
{
  const double floor = kNegligible * std::fabs(ioResult.Cost);
  for (std::size_t j = 0; j < ioResult.StackupPrices.size() && j < iProblem.Stackups.size(); ++j)
    Drop(ioResult.StackupPrices[j], SizeOf(iProblem.Stackups[j], ioResult.Tolerances), floor);
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    if (i < ioResult.MinPrices.size())
      Drop(ioResult.MinPrices[i], iProblem.Dimensions[i].Min, floor);
    if (i < ioResult.MaxPrices.size())
      Drop(ioResult.MaxPrices[i], iProblem.Dimensions[i].Max, floor);
  }
}

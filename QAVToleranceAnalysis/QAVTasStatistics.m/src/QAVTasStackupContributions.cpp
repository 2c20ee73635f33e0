#include "QAVTasStackupContributions.h"

#include "QAVTasStackupLaw.h"

#include <algorithm>
#include <cmath>

namespace
{
std::vector<QAVTasStackupContributions::Share>
SharesOf(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationProblem::Stackup& iStackup, const double* ipT)
{
  std::vector<double> percent(iStackup.Sensitivity.size());
  iStackup.LawOf().Shares(iProblem, iStackup, ipT, percent.data());
  std::vector<QAVTasStackupContributions::Share> shares;
  shares.reserve(percent.size());
  for (std::size_t e = 0; e < percent.size(); ++e)
    shares.push_back({iStackup.Sensitivity[e].first, percent[e]});
  return shares;
}

// How much of the room between the band's centre and its nearer edge the value takes up: 0 at the
// centre, 1 on either edge (where the row binds), above 1 outside. An equality band is used whole
// when met to 1e-9 of its size, and beyond that by the relative miss; a band open on one side
// (as the diagnosis makes) has no centre: 0 inside it, the relative miss beyond its edge.
double BandUse(const QAVTasAllocationProblem::Stackup& iStackup, double iValue)
{
  if (!std::isfinite(iStackup.Lower) || !std::isfinite(iStackup.Upper))
  {
    const double miss = std::max(iStackup.Lower - iValue, iValue - iStackup.Upper);
    const double edge = std::isfinite(iStackup.Lower) ? iStackup.Lower : iStackup.Upper;
    return miss > 0.0 ? 1.0 + miss / std::max(1.0, std::fabs(edge)) : 0.0;
  }
  const double centre = 0.5 * (iStackup.Lower + iStackup.Upper), half = 0.5 * (iStackup.Upper - iStackup.Lower);
  const double off = std::fabs(iValue - centre);
  if (half > 0.0)
    return off / half;
  const double size = std::max(1.0, std::fabs(centre));
  return off <= 1e-9 * size ? 1.0 : 1.0 + off / size;
}
} // namespace

QAVTasStackupContributions::QAVTasStackupContributions(const QAVTasAllocationProblem& iProblem, const double* ipT)
{
  Shares.reserve(iProblem.Stackups.size());
  Utilisation.reserve(iProblem.Stackups.size());
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const QAVTasAllocationProblem::Stackup& s = iProblem.Stackups[j];
    Shares.push_back(SharesOf(iProblem, s, ipT));
    const double value = iProblem.StackupValue(j, ipT);
    Utilisation.push_back(s.LawOf().Band() ? BandUse(s, value) : value / s.Limit);
  }
}

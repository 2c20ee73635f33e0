#include "QAVTasStackupContributions.h"

#include <algorithm>
#include <cmath>

namespace
{
using Law = QAVTasAllocationProblem::Law;

// The sum part and the squared root-sum-square part of one sensitivity's term.
void Parts(Law iLaw, double iShift, double iS, double iT, double& oLinear, double& oSquare)
{
  oLinear = 0.0;
  oSquare = 0.0;
  switch (iLaw)
  {
    case Law::WorstCase:
    case Law::Linear:
      oLinear = std::fabs(iS * iT);
      break;
    case Law::Rss:
      oSquare = (iS * iT) * (iS * iT);
      break;
    case Law::MeanShift:
    {
      const double r = (1.0 - iShift) * iS * iT;
      oLinear = iShift * std::fabs(iS) * iT;
      oSquare = r * r;
      break;
    }
  }
}

std::vector<QAVTasStackupContributions::Share>
SharesOf(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationProblem::Stackup& iStackup, const double* ipT)
{
  double linear = 0.0, squares = 0.0, a = 0.0, q = 0.0;
  for (const auto& [i, s] : iStackup.Sensitivity)
  {
    Parts(iStackup.Rule, iProblem.Dimensions[i].MeanShift, s, ipT[i], a, q);
    linear += a;
    squares += q;
  }
  const double root = std::sqrt(squares);
  const double total = linear + root;
  std::vector<QAVTasStackupContributions::Share> shares;
  shares.reserve(iStackup.Sensitivity.size());
  for (const auto& [i, s] : iStackup.Sensitivity)
  {
    Parts(iStackup.Rule, iProblem.Dimensions[i].MeanShift, s, ipT[i], a, q);
    // The root part B is split in proportion to the squares: B * q / B^2.
    const double part = a + (root > 0.0 ? root * (q / squares) : 0.0);
    shares.push_back({i, total > 0.0 ? 100.0 * part / total : 0.0});
  }
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
    Utilisation.push_back(s.Rule == Law::Linear ? BandUse(s, value) : value / s.Limit);
  }
}

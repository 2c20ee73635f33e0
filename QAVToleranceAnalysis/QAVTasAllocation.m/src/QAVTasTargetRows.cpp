#include "QAVTasTargetRows.h"

#include <algorithm>
#include <cmath>

using Problem = QAVTasAllocationProblem;

namespace
{
// Mass of a normal (mean, sigma) below lsl and above usl.
double Outside(const Problem::Stackup& iS, double iMean, double iSigma)
{
  double mass = 0.0;
  if (iS.HasLsl)
    mass += 0.5 * std::erfc((iMean - iS.Lsl) / (iSigma * M_SQRT2));
  if (iS.HasUsl)
    mass += 0.5 * std::erfc((iS.Usl - iMean) / (iSigma * M_SQRT2));
  return mass;
}

// The rss row whose value is 3 sigma_y, with the given limit.
Problem::Stackup SigmaRow(const Problem& iProblem, const Problem::Stackup& iS, const std::string& iName, double iLimit)
{
  Problem::Stackup row;
  row.Name = iName;
  row.Rule = Problem::Law::Rss;
  row.Limit = iLimit;
  for (const auto& [i, s] : iS.Sensitivity)
  {
    const Problem::Dimension& d = iProblem.Dimensions[static_cast<std::size_t>(i)];
    const double t = d.Fixed ? d.Tolerance : 1.0;
    row.Sensitivity.push_back({i, s * 3.0 * d.SigmaAt(t) / t});
  }
  return row;
}

std::size_t WithLimits(const Problem& iProblem)
{
  return static_cast<std::size_t>(std::count_if(iProblem.Stackups.begin(), iProblem.Stackups.end(),
                                                [](const Problem::Stackup& s) { return s.HasLsl || s.HasUsl; }));
}
} // namespace

double QAVTasTargetRows::Mean(const Problem& iProblem, const Problem::Stackup& iStackup)
{
  double y = iStackup.Constant;
  for (const auto& [i, s] : iStackup.Sensitivity)
  {
    const Problem::Dimension& d = iProblem.Dimensions[static_cast<std::size_t>(i)];
    y += s * (d.HasProcessMean ? d.ProcessMean : d.Centre());
  }
  return y;
}

double QAVTasTargetRows::LargestSigma(const Problem::Stackup& iStackup, double iMean, double iFailure)
{
  const double margin =
    std::min(iStackup.HasUsl ? iStackup.Usl - iMean : HUGE_VAL, iStackup.HasLsl ? iMean - iStackup.Lsl : HUGE_VAL);
  if (!(margin > 0.0))
    return 0.0;
  if (!(iStackup.HasLsl && iStackup.HasUsl) && iFailure >= 0.5)
    return HUGE_VAL;
  // The mass outside grows with sigma: bisect, keeping the side that meets the failure.
  double low = 0.0, high = margin;
  while (Outside(iStackup, iMean, high) <= iFailure)
    high *= 2.0;
  for (int k = 0; k < 200 && low < high; ++k)
  {
    const double middle = 0.5 * (low + high);
    if (middle <= low || middle >= high)
      break;
    (Outside(iStackup, iMean, middle) <= iFailure ? low : high) = middle;
  }
  return low;
}

Problem QAVTasTargetRows::SolverProblem(const Problem& iProblem)
{
  Problem solver = iProblem;
  solver.Stackups.clear();
  for (const Problem::Stackup& s : iProblem.Stackups)
    if (s.HasLaw)
      solver.Stackups.push_back(s);
  const double failure = iProblem.Yield > 0.0 ? (1.0 - iProblem.Yield) / static_cast<double>(WithLimits(iProblem)) : 0;
  for (const Problem::Stackup& s : iProblem.Stackups)
  {
    const double mean = Mean(iProblem, s);
    const double margin = std::min(s.HasUsl ? s.Usl - mean : HUGE_VAL, s.HasLsl ? mean - s.Lsl : HUGE_VAL);
    bool named = s.HasLaw;
    if (s.Cpk > 0.0)
    {
      solver.Stackups.push_back(SigmaRow(iProblem, s, named ? s.Name + " (cpk)" : s.Name, margin / s.Cpk));
      named = true;
    }
    const double sigma = failure > 0.0 && (s.HasLsl || s.HasUsl) ? LargestSigma(s, mean, failure) : HUGE_VAL;
    if (sigma < HUGE_VAL)
      solver.Stackups.push_back(SigmaRow(iProblem, s, named ? s.Name + " (yield)" : s.Name, 3.0 * sigma));
  }
  return solver;
}

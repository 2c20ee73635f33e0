#include "QAVToolAllocateCapability.h"

#include "QAVTasAllocationSolver.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVTasStackupLaw.h"

#include <algorithm>
#include <cmath>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Analysis = QAVTasStackupAnalysis;
using Answer = QAVToolAllocateAnswer;

namespace
{
bool HasWindow(const Problem::Stackup& iS)
{
  return iS.HasLsl || iS.HasUsl;
}

// Every tolerance allocated, each > 0.
bool Allocated(const Problem& iProblem, const Result& iResult)
{
  if (iResult.Tolerances.size() != iProblem.Dimensions.size())
    return false;
  for (const double t : iResult.Tolerances)
    if (!(t > 0.0) || !std::isfinite(t))
      return false;
  return iResult.State == Result::Status::Optimal;
}

// The optimal cost of iSolver with the limit of stack-up iRow scaled by each factor (NaN where the
// solver proves nothing).
std::vector<double> CostsAlong(const Problem& iSolver, std::size_t iRow, const std::vector<double>& iFactors)
{
  std::vector<double> costs;
  Problem scaled = iSolver;
  for (const double f : iFactors)
  {
    scaled.Stackups[iRow].Limit = iSolver.Stackups[iRow].Limit * f;
    const Result r = QAVTasAllocationSolver().Solve(scaled);
    costs.push_back(r.State == Result::Status::Optimal ? r.Cost : std::nan(""));
  }
  return costs;
}

// The limit from 0.5 to 2 times its value in equal ratios, the optimal cost at each.
Answer::Curve CurveOf(const Problem& iSolver, std::size_t j, const std::vector<double>& iFactors)
{
  const Problem::Stackup& s = iSolver.Stackups[j];
  const std::vector<double> costs = CostsAlong(iSolver, j, iFactors);
  Answer::Curve curve;
  curve.Stackup = j;
  curve.Low = HUGE_VAL, curve.High = -HUGE_VAL;
  for (std::size_t k = 0; k < iFactors.size(); ++k)
    if (std::isfinite(costs[k]))
    {
      curve.Points.insert(curve.Points.end(), {s.Limit * iFactors[k], costs[k]});
      curve.Low = std::min(curve.Low, costs[k]);
      curve.High = std::max(curve.High, costs[k]);
    }
  return curve;
}
} // namespace

Answer::Capability QAVToolAllocateCapability::Analyse(const Problem& iDrawing, const Result& iResult)
{
  Answer::Capability capability;
  bool window = false;
  for (const Problem::Stackup& s : iDrawing.Stackups)
    window = window || HasWindow(s);
  capability.Applies = window && Allocated(iDrawing, iResult);
  if (!capability.Applies)
    return capability;
  Analysis::Settings settings;
  settings.Samples = kSamples;
  const Analysis::Result analysis = Analysis(settings).Analyse(iDrawing, iResult.Tolerances);
  for (const Analysis::Stackup& s : analysis.Stackups)
    if (s.HasLsl || s.HasUsl)
      capability.Rows.push_back({s.Name, s.Mean, s.Sigma, s.Cp, s.Cpk, s.PpmBelow, s.PpmAbove});
  capability.Samples = analysis.Samples;
  capability.Joint = analysis.Joint;
  capability.Target = iDrawing.Yield > 0.0 ? iDrawing.Yield : 0.0;
  return capability;
}

// The costliest binding stack-ups (a positive price) of a continuous problem, with enough proven
// points to draw.
std::vector<Answer::Curve> QAVToolAllocateCapability::Curves(const Problem& iSolver, const Result& iResult,
                                                             std::size_t& oBinding)
{
  std::vector<Answer::Curve> curves;
  oBinding = 0;
  if (iResult.State != Result::Status::Optimal || iResult.StackupPrices.size() != iSolver.Stackups.size())
    return curves;
  for (const Problem::Dimension& d : iSolver.Dimensions)
    if (!d.Options.empty())
      return curves;
  std::vector<double> factors;
  for (int k = 0; k < kCurvePoints; ++k)
    factors.push_back(std::pow(4.0, static_cast<double>(k) / (kCurvePoints - 1)) * 0.5);
  std::vector<std::pair<double, std::size_t>> binding;
  for (std::size_t j = 0; j < iSolver.Stackups.size(); ++j)
    if (iResult.StackupPrices[j] > 0.0 && !iSolver.Stackups[j].LawOf().Band())
      binding.emplace_back(-iResult.StackupPrices[j] * iSolver.Stackups[j].Limit, j);
  oBinding = binding.size();
  const std::size_t drawn = std::min(binding.size(), kMostCurves);
  std::partial_sort(binding.begin(), binding.begin() + static_cast<std::ptrdiff_t>(drawn), binding.end());
  for (std::size_t k = 0; k < drawn; ++k)
  {
    Answer::Curve curve = CurveOf(iSolver, binding[k].second, factors);
    if (curve.Points.size() >= 4)
      curves.push_back(std::move(curve));
  }
  return curves;
}

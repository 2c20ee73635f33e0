#include "QAVTasAllocationProblem.h"

#include "QAVTasLawTable.h"
#include "QAVTasStackupLaw.h"
#include "QAVTasStackupLaws.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// The segment of a table that holds t: the last one whose left end is <= t (the first below the
// table, the last above it). Tables rise in t, so a binary search finds it: a table of the convex
// envelope of many options is long.
std::size_t SegmentOf(const std::vector<std::pair<double, double>>& iPoints, double iT)
{
  const auto inner = std::upper_bound(iPoints.begin() + 1, iPoints.end() - 1, iT,
                                      [](double t, const std::pair<double, double>& p) { return t < p.first; });
  return static_cast<std::size_t>(inner - (iPoints.begin() + 1));
}

// An excess relative to the scale of what it exceeds (0 when there is none).
double Relative(double iExcess, double iScale)
{
  return iExcess > 0.0 ? iExcess / iScale : 0.0;
}
} // namespace

double QAVTasAllocationProblem::Cost::Value(double iT) const
{
  switch (Model)
  {
    case CostModel::Reciprocal:
      return A + B / iT;
    case CostModel::Power:
      return A + B / std::pow(iT, K);
    case CostModel::Exponential:
      return A + B * std::exp(-M * iT);
    case CostModel::Table:
    {
      if (Points.size() < 2)
        return Points.empty() ? 0.0 : Points[0].second;
      const std::size_t k = SegmentOf(Points, iT);
      const auto& p = Points[k];
      const auto& q = Points[k + 1];
      return p.second + (q.second - p.second) * (iT - p.first) / (q.first - p.first);
    }
    case CostModel::None:
      break;
  }
  return 0.0;
}

double QAVTasAllocationProblem::Cost::Slope(double iT) const
{
  switch (Model)
  {
    case CostModel::Reciprocal:
      return -B / (iT * iT);
    case CostModel::Power:
      return -K * B / std::pow(iT, K + 1.0);
    case CostModel::Exponential:
      return -M * B * std::exp(-M * iT);
    case CostModel::Table:
    {
      if (Points.size() < 2)
        return 0.0;
      const std::size_t k = SegmentOf(Points, iT);
      return (Points[k + 1].second - Points[k].second) / (Points[k + 1].first - Points[k].first);
    }
    case CostModel::None:
      break;
  }
  return 0.0;
}

double QAVTasAllocationProblem::Cost::Curvature(double iT) const
{
  switch (Model)
  {
    case CostModel::Reciprocal:
      return 2.0 * B / (iT * iT * iT);
    case CostModel::Power:
      return K * (K + 1.0) * B / std::pow(iT, K + 2.0);
    case CostModel::Exponential:
      return M * M * B * std::exp(-M * iT);
    case CostModel::Table:
    case CostModel::None:
      break;
  }
  return 0.0;
}

const QAVTasStackupLaw& QAVTasAllocationProblem::Stackup::LawOf() const
{
  const QAVTasStackupLaw* law = QAVTasLawTable::At(Rule);
  return law != nullptr ? *law : QAVTasStackupLaws::Of(Rule); // Of throws
}

double QAVTasAllocationProblem::StackupValue(std::size_t iStackup, const double* ipT) const
{
  const Stackup& s = Stackups[iStackup];
  const QAVTasStackupLaw* law = QAVTasLawTable::At(s.Rule);
  return (law != nullptr ? *law : QAVTasStackupLaws::Of(s.Rule)).Value(*this, s, ipT);
}

double QAVTasAllocationProblem::TotalCost(const double* ipT) const
{
  double total = 0.0;
  for (std::size_t i = 0; i < Dimensions.size(); ++i)
    total += Dimensions[i].CostOf.Value(ipT[i]);
  return total;
}

double QAVTasAllocationProblem::MaxViolation(const double* ipT) const
{
  const double inf = std::numeric_limits<double>::infinity();
  double worst = 0.0;
  for (std::size_t i = 0; i < Dimensions.size(); ++i)
  {
    const Dimension& d = Dimensions[i];
    const double t = ipT[i];
    if (std::isnan(t))
      return inf;
    if (d.Fixed || !d.Options.empty())
      continue;
    worst = std::max({worst, Relative(d.Min - t, std::fabs(d.Min)), Relative(t - d.Max, std::fabs(d.Max))});
  }
  for (std::size_t j = 0; j < Stackups.size(); ++j)
  {
    const Stackup& s = Stackups[j];
    const double v = StackupValue(j, ipT);
    if (std::isnan(v))
      return inf;
    if (!s.LawOf().Band())
    {
      worst = std::max(worst, Relative(v - s.Limit, std::fabs(s.Limit)));
      continue;
    }
    double terms = 0.0; // a side at 0 has no scale of its own: the row's terms give it
    for (const auto& [i, w] : s.Sensitivity)
      terms += std::fabs(w * ipT[i]);
    worst = std::max({worst, Relative(s.Lower - v, std::max(std::fabs(s.Lower), terms)),
                      Relative(v - s.Upper, std::max(std::fabs(s.Upper), terms))});
  }
  return worst;
}

std::int32_t QAVTasAllocationProblem::IndexOf(const std::string& iName) const
{
  for (std::size_t i = 0; i < Dimensions.size(); ++i)
    if (Dimensions[i].Name == iName)
      return static_cast<std::int32_t>(i);
  return -1;
}

double QAVTasAllocationProblem::Dimension::MeanAt(double iT) const
{
  return HasProcessMean ? ProcessMean : Centre() + MeanShift * iT;
}

double QAVTasAllocationProblem::Dimension::SigmaAt(double iT) const
{
  switch (Spread)
  {
    case Distribution::Uniform:
      return iT / std::sqrt(3.0);
    case Distribution::Triangular:
      return iT / std::sqrt(6.0);
    case Distribution::Normal:
      break;
  }
  return Sigma > 0.0 ? Sigma : iT / (3.0 * Cp);
}

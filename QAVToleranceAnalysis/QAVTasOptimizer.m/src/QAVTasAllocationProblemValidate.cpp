// QAVTasAllocationProblem::Validate: the one home of the model's rules; the file reader adds only
// the file's own (structure, keys, names).
#include "QAVTasAllocationProblem.h"

#include <algorithm>
#include <cmath>

namespace
{
using Problem = QAVTasAllocationProblem;

std::string At(const std::string& iPath, std::size_t iIndex)
{
  return iPath + "[" + std::to_string(iIndex) + "]";
}

class DefectList
{
public:
  explicit DefectList(std::vector<std::string>& oList) : _List(oList) {}

  void Add(const std::string& iPath, const std::string& iWhat) { _List.push_back(iPath + ": " + iWhat); }

  // False (and a defect) when the number is NaN or infinite.
  bool Finite(double iValue, const std::string& iPath)
  {
    if (!std::isfinite(iValue))
      Add(iPath, "not a finite number");
    return std::isfinite(iValue);
  }

  void Positive(double iValue, const std::string& iPath)
  {
    if (Finite(iValue, iPath) && iValue <= 0.0)
      Add(iPath, "must be > 0");
  }

  std::size_t Count() const { return _List.size(); }

private:
  std::vector<std::string>& _List;
};

// Slopes of a table must not rise above 0 nor fall as t grows; a relative allowance of 1e-12 keeps
// tables written as straight lines in decimal from being refused for their rounding.
void CheckSlopes(const std::vector<std::pair<double, double>>& iPoints, const std::string& iPath,
                 const std::string& iName, DefectList& ioDefects)
{
  double previous = -HUGE_VAL;
  for (std::size_t k = 0; k + 1 < iPoints.size(); ++k)
  {
    const double slope = (iPoints[k + 1].second - iPoints[k].second) / (iPoints[k + 1].first - iPoints[k].first);
    const double allowance =
      1e-12 * std::max(std::fabs(slope), std::fabs(previous) < HUGE_VAL ? std::fabs(previous) : 0.0);
    const std::string what = "the table of '" + iName + "' ";
    if (!std::isfinite(slope))
      return ioDefects.Add(At(iPath, k + 1), what + "has a slope too steep to represent");
    if (slope > allowance)
      return ioDefects.Add(At(iPath, k + 1), what + "is not non-increasing (its cost rises)");
    if (slope < previous - allowance)
      return ioDefects.Add(At(iPath, k + 1), what + "is not convex (its slope falls)");
    previous = slope;
  }
}

// True when the table is sound enough to compare bounds with.
bool CheckTable(const std::vector<std::pair<double, double>>& iPoints, const std::string& iPath,
                const std::string& iName, DefectList& ioDefects)
{
  const std::size_t before = ioDefects.Count();
  for (std::size_t k = 0; k < iPoints.size(); ++k)
  {
    const std::string at = At(iPath, k);
    if (ioDefects.Finite(iPoints[k].first, At(at, 0)) && iPoints[k].first <= 0.0)
      ioDefects.Add(At(at, 0), "t must be > 0");
    else if (k > 0 && iPoints[k].first <= iPoints[k - 1].first)
      ioDefects.Add(At(at, 0), "t must increase from point to point");
    ioDefects.Finite(iPoints[k].second, At(at, 1));
  }
  if (iPoints.size() < 2)
    ioDefects.Add(iPath, "a table needs at least two points");
  if (ioDefects.Count() == before)
    CheckSlopes(iPoints, iPath, iName, ioDefects);
  return ioDefects.Count() == before;
}

// True when the cost is sound enough to compare bounds with its table.
bool CheckCost(const Problem::Cost& iCost, const std::string& iPath, const std::string& iName, DefectList& ioDefects)
{
  const std::size_t before = ioDefects.Count();
  ioDefects.Finite(iCost.A, iPath + ".a");
  if (ioDefects.Finite(iCost.B, iPath + ".b") && iCost.B < 0.0)
    ioDefects.Add(iPath + ".b", "must be >= 0 (the cost must not rise as the tolerance grows)");
  switch (iCost.Model)
  {
    case Problem::CostModel::None:
    case Problem::CostModel::Reciprocal:
      ioDefects.Finite(iCost.K, iPath + ".k");
      ioDefects.Finite(iCost.M, iPath + ".m");
      break;
    case Problem::CostModel::Power:
      ioDefects.Positive(iCost.K, iPath + ".k");
      ioDefects.Finite(iCost.M, iPath + ".m");
      break;
    case Problem::CostModel::Exponential:
      ioDefects.Finite(iCost.K, iPath + ".k");
      ioDefects.Positive(iCost.M, iPath + ".m");
      break;
    case Problem::CostModel::Table:
      CheckTable(iCost.Points, iPath + ".points", iName, ioDefects);
      break;
    default:
      ioDefects.Add(iPath + ".model", "unknown cost model");
  }
  return ioDefects.Count() == before;
}

void CheckBounds(const Problem::Dimension& iD, bool iTableSound, const std::string& iPath, DefectList& ioDefects)
{
  const bool minFinite = ioDefects.Finite(iD.Min, iPath + ".min");
  if (!ioDefects.Finite(iD.Max, iPath + ".max") || !minFinite)
    return;
  const auto& points = iD.CostOf.Points;
  if (iD.CostOf.Model == Problem::CostModel::Table && iTableSound && iD.Min < points.front().first)
    ioDefects.Add(iPath + ".min", "below the first t of the cost table");
  if (iD.CostOf.Model == Problem::CostModel::Table && iTableSound && iD.Max > points.back().first)
    ioDefects.Add(iPath + ".max", "above the last t of the cost table");
  if (iD.Min <= 0.0)
    ioDefects.Add(iPath + ".min", "must be > 0");
  else if (iD.Min > iD.Max)
    ioDefects.Add(iPath + ".min", "greater than max");
}

void CheckOptions(const Problem::Dimension& iD, const std::string& iPath, DefectList& ioDefects)
{
  if (iD.Fixed)
    ioDefects.Add(iPath + ".options", "a dimension has either a fixed tolerance or options, not both");
  for (std::size_t k = 0; k < iD.Options.size(); ++k)
  {
    const std::string at = At(iPath + ".options", k);
    ioDefects.Positive(iD.Options[k].Tolerance, at + ".tolerance");
    ioDefects.Finite(iD.Options[k].CostValue, at + ".cost");
  }
}

// The drawing's zone and the process: half-widths >= 0, a capability > 0, a sigma >= 0.
void CheckDrawing(const Problem::Dimension& iD, const std::string& iPath, DefectList& ioDefects)
{
  ioDefects.Finite(iD.Nominal, iPath + ".nominal");
  ioDefects.Finite(iD.ProcessMean, iPath + ".process_mean");
  for (const auto& [value, key] :
       {std::make_pair(iD.Plus, ".plus"), std::make_pair(iD.Minus, ".minus"), std::make_pair(iD.Sigma, ".sigma")})
    if (ioDefects.Finite(value, iPath + key) && value < 0.0)
      ioDefects.Add(iPath + key, "must be >= 0");
  ioDefects.Positive(iD.Cp, iPath + ".cp");
}

void CheckDimension(const Problem::Dimension& iD, const std::string& iPath, DefectList& ioDefects)
{
  const bool table = iD.CostOf.Model == Problem::CostModel::Table;
  if (iD.Fixed)
    ioDefects.Positive(iD.Tolerance, iPath + ".tolerance");
  else
    ioDefects.Finite(iD.Tolerance, iPath + ".tolerance");
  if (!iD.Options.empty())
    CheckOptions(iD, iPath, ioDefects);
  const bool sound = CheckCost(iD.CostOf, iPath + ".cost", iD.Name, ioDefects);
  if (iD.Fixed && table && sound && std::isfinite(iD.Tolerance) &&
      (iD.Tolerance < iD.CostOf.Points.front().first || iD.Tolerance > iD.CostOf.Points.back().first))
    ioDefects.Add(iPath + ".tolerance", "outside the t of the cost table");
  if (!iD.Fixed && iD.Options.empty() && iD.CostOf.Model == Problem::CostModel::None)
    ioDefects.Add(iPath + ".cost", "missing (a dimension with bounds needs a cost model)");
  if (!iD.Fixed && iD.Options.empty())
    CheckBounds(iD, sound, iPath, ioDefects);
  else
    ioDefects.Finite(iD.Min, iPath + ".min"), ioDefects.Finite(iD.Max, iPath + ".max");
  if (!(iD.MeanShift >= 0.0 && iD.MeanShift < 1.0))
    ioDefects.Add(iPath + ".mean_shift", "must lie in [0, 1)");
  if (iD.Spread != Problem::Distribution::Normal && iD.Spread != Problem::Distribution::Uniform &&
      iD.Spread != Problem::Distribution::Triangular)
    ioDefects.Add(iPath + ".distribution", "unknown distribution");
  CheckDrawing(iD, iPath, ioDefects);
}

// The drawing's window on the stack-up (a stack-up without a law has only that).
void CheckRequirement(const Problem::Stackup& iS, const std::string& iPath, DefectList& ioDefects)
{
  ioDefects.Finite(iS.Constant, iPath + ".constant");
  const bool lsl = ioDefects.Finite(iS.Lsl, iPath + ".lsl"), usl = ioDefects.Finite(iS.Usl, iPath + ".usl");
  if (lsl && usl && iS.HasLsl && iS.HasUsl && !(iS.Lsl < iS.Usl))
    ioDefects.Add(iPath + ".lsl", "must be below usl");
  if (ioDefects.Finite(iS.Cpk, iPath + ".cpk") && iS.Cpk < 0.0)
    ioDefects.Add(iPath + ".cpk", "must be >= 0");
}

// ioNamedBy[i] holds the last stack-up (plus one) that named dimension i.
void CheckStackup(const Problem& iProblem, std::size_t iStackup, std::vector<std::size_t>& ioNamedBy,
                  DefectList& ioDefects)
{
  const Problem::Stackup& s = iProblem.Stackups[iStackup];
  const std::string path = At("stackups", iStackup);
  const bool linear = s.Rule == Problem::Law::Linear;
  CheckRequirement(s, path, ioDefects);
  if (s.Rule != Problem::Law::WorstCase && s.Rule != Problem::Law::Rss && s.Rule != Problem::Law::MeanShift && !linear)
    ioDefects.Add(path + ".law", "unknown law");
  const bool lowerFinite = ioDefects.Finite(s.Lower, path + ".lower");
  if (ioDefects.Finite(s.Upper, path + ".upper") && lowerFinite && linear && s.HasLaw && s.Lower > s.Upper)
    ioDefects.Add(path + ".lower", "greater than upper");
  if (linear || !s.HasLaw)
    ioDefects.Finite(s.Limit, path + ".limit");
  else
    ioDefects.Positive(s.Limit, path + ".limit");
  if (ioDefects.Finite(s.Factor, path + ".factor") && s.HasLaw && s.Rule == Problem::Law::Rss && s.Factor < 1.0)
    ioDefects.Add(path + ".factor", "must be >= 1");
  const std::size_t n = iProblem.Dimensions.size();
  for (std::size_t k = 0; k < s.Sensitivity.size(); ++k)
  {
    const std::string at = At(path + ".sensitivities", k);
    const auto [i, w] = s.Sensitivity[k];
    ioDefects.Finite(w, at);
    if (i < 0 || static_cast<std::size_t>(i) >= n)
      ioDefects.Add(at,
                    "dimension index " + std::to_string(i) + " out of range (" + std::to_string(n) + " dimensions)");
    else if (ioNamedBy[i] == iStackup + 1)
      ioDefects.Add(at, "names dimension '" + iProblem.Dimensions[i].Name + "' twice");
    else
      ioNamedBy[i] = iStackup + 1;
  }
}
} // namespace

std::vector<std::string> QAVTasAllocationProblem::Validate() const
{
  std::vector<std::string> list;
  DefectList defects(list);
  for (std::size_t i = 0; i < Dimensions.size(); ++i)
    CheckDimension(Dimensions[i], At("dimensions", i), defects);
  std::vector<std::size_t> namedBy(Dimensions.size(), 0);
  for (std::size_t j = 0; j < Stackups.size(); ++j)
    CheckStackup(*this, j, namedBy, defects);
  if (defects.Finite(Yield, "yield") && Yield != 0.0 && !(Yield > 0.0 && Yield < 1.0))
    defects.Add("yield", "must lie in (0, 1)");
  return list;
}

std::string QAVTasAllocationProblem::Defects() const
{
  std::string joined;
  for (const std::string& defect : Validate())
    joined += (joined.empty() ? "" : "; ") + defect;
  return joined;
}

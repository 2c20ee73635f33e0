// QAVTasAllocationProblem::Validate: the one home of the model's rules; the file reader adds only
// the file's own (structure, keys, names).
#include "QAVTasAllocationProblem.h"

#include "QAVTasStackupLaw.h"
#include "QAVTasStackupLaws.h"

#include <algorithm>
#include <cmath>

namespace
{
using Problem = QAVTasAllocationProblem;

// Where a defect lies, as a path in the file's terms ("stackups[2].sensitivities[0]"); spelt out
// only when there is a defect, so that a valid problem costs no strings.
struct Where
{
  const Where* Parent = nullptr;
  const char* Key = nullptr;             // ".key" after the parent (the first item: "key")
  std::size_t Index = std::string::npos; // "[index]" after the key

  Where Member(const char* iKey) const { return {this, iKey}; }
  Where At(std::size_t iIndex) const { return {this, nullptr, iIndex}; }
  std::string Text() const
  {
    std::string text = Parent ? Parent->Text() : std::string();
    if (Key)
      text += (text.empty() ? "" : ".") + std::string(Key);
    return Index == std::string::npos ? text : text + "[" + std::to_string(Index) + "]";
  }
};

class DefectList
{
public:
  explicit DefectList(std::vector<std::string>& oList) : _List(oList) {}

  void Add(const Where& iWhere, const std::string& iWhat) { _List.push_back(iWhere.Text() + ": " + iWhat); }

  // False (and a defect) when the number is NaN or infinite.
  bool Finite(double iValue, const Where& iWhere)
  {
    if (!std::isfinite(iValue))
      Add(iWhere, "not a finite number");
    return std::isfinite(iValue);
  }

  void Positive(double iValue, const Where& iWhere)
  {
    if (Finite(iValue, iWhere) && iValue <= 0.0)
      Add(iWhere, "must be > 0");
  }

  std::size_t Count() const { return _List.size(); }

private:
  std::vector<std::string>& _List;
};

// Slopes of a table must not rise above 0 nor fall as t grows; a relative allowance of 1e-12 keeps
// tables written as straight lines in decimal from being refused for their rounding.
void CheckSlopes(const std::vector<std::pair<double, double>>& iPoints, const Where& iPath, const std::string& iName,
                 DefectList& ioDefects)
{
  double previous = -HUGE_VAL;
  for (std::size_t k = 0; k + 1 < iPoints.size(); ++k)
  {
    const double slope = (iPoints[k + 1].second - iPoints[k].second) / (iPoints[k + 1].first - iPoints[k].first);
    const double allowance =
      1e-12 * std::max(std::fabs(slope), std::fabs(previous) < HUGE_VAL ? std::fabs(previous) : 0.0);
    const char* what = !std::isfinite(slope) ? "has a slope too steep to represent"
      : slope > allowance                    ? "is not non-increasing (its cost rises)"
      : slope < previous - allowance         ? "is not convex (its slope falls)"
                                             : nullptr;
    if (what)
      return ioDefects.Add(iPath.At(k + 1), "the table of '" + iName + "' " + what);
    previous = slope;
  }
}

// True when the table is sound enough to compare bounds with.
bool CheckTable(const std::vector<std::pair<double, double>>& iPoints, const Where& iPath, const std::string& iName,
                DefectList& ioDefects)
{
  const std::size_t before = ioDefects.Count();
  for (std::size_t k = 0; k < iPoints.size(); ++k)
  {
    const Where at = iPath.At(k), t = at.At(0);
    if (ioDefects.Finite(iPoints[k].first, t) && iPoints[k].first <= 0.0)
      ioDefects.Add(t, "t must be > 0");
    else if (k > 0 && iPoints[k].first <= iPoints[k - 1].first)
      ioDefects.Add(t, "t must increase from point to point");
    ioDefects.Finite(iPoints[k].second, at.At(1));
  }
  if (iPoints.size() < 2)
    ioDefects.Add(iPath, "a table needs at least two points");
  if (ioDefects.Count() == before)
    CheckSlopes(iPoints, iPath, iName, ioDefects);
  return ioDefects.Count() == before;
}

// True when the cost is sound enough to compare bounds with its table.
bool CheckCost(const Problem::Cost& iCost, const Where& iPath, const std::string& iName, DefectList& ioDefects)
{
  const std::size_t before = ioDefects.Count();
  ioDefects.Finite(iCost.A, iPath.Member("a"));
  if (ioDefects.Finite(iCost.B, iPath.Member("b")) && iCost.B < 0.0)
    ioDefects.Add(iPath.Member("b"), "must be >= 0 (the cost must not rise as the tolerance grows)");
  switch (iCost.Model)
  {
    case Problem::CostModel::None:
    case Problem::CostModel::Reciprocal:
      ioDefects.Finite(iCost.K, iPath.Member("k"));
      ioDefects.Finite(iCost.M, iPath.Member("m"));
      break;
    case Problem::CostModel::Power:
      ioDefects.Positive(iCost.K, iPath.Member("k"));
      ioDefects.Finite(iCost.M, iPath.Member("m"));
      break;
    case Problem::CostModel::Exponential:
      ioDefects.Finite(iCost.K, iPath.Member("k"));
      ioDefects.Positive(iCost.M, iPath.Member("m"));
      break;
    case Problem::CostModel::Table:
      CheckTable(iCost.Points, iPath.Member("points"), iName, ioDefects);
      break;
    default:
      ioDefects.Add(iPath.Member("model"), "unknown cost model");
  }
  return ioDefects.Count() == before;
}

void CheckBounds(const Problem::Dimension& iD, bool iTableSound, const Where& iPath, DefectList& ioDefects)
{
  const bool minFinite = ioDefects.Finite(iD.Min, iPath.Member("min"));
  if (!ioDefects.Finite(iD.Max, iPath.Member("max")) || !minFinite)
    return;
  const auto& points = iD.CostOf.Points;
  if (iD.CostOf.Model == Problem::CostModel::Table && iTableSound && iD.Min < points.front().first)
    ioDefects.Add(iPath.Member("min"), "below the first t of the cost table");
  if (iD.CostOf.Model == Problem::CostModel::Table && iTableSound && iD.Max > points.back().first)
    ioDefects.Add(iPath.Member("max"), "above the last t of the cost table");
  if (iD.Min <= 0.0)
    ioDefects.Add(iPath.Member("min"), "must be > 0");
  else if (iD.Min > iD.Max)
    ioDefects.Add(iPath.Member("min"), "greater than max");
}

void CheckOptions(const Problem::Dimension& iD, const Where& iPath, DefectList& ioDefects)
{
  if (iD.Fixed)
    ioDefects.Add(iPath.Member("options"), "a dimension has either a fixed tolerance or options, not both");
  for (std::size_t k = 0; k < iD.Options.size(); ++k)
  {
    const Where options = iPath.Member("options"), at = options.At(k);
    ioDefects.Positive(iD.Options[k].Tolerance, at.Member("tolerance"));
    ioDefects.Finite(iD.Options[k].CostValue, at.Member("cost"));
  }
}

// The drawing's zone and the process: half-widths >= 0, a capability > 0, a sigma >= 0.
void CheckDrawing(const Problem::Dimension& iD, const Where& iPath, DefectList& ioDefects)
{
  ioDefects.Finite(iD.Nominal, iPath.Member("nominal"));
  ioDefects.Finite(iD.ProcessMean, iPath.Member("process_mean"));
  for (const auto& [value, key] :
       {std::make_pair(iD.Plus, "plus"), std::make_pair(iD.Minus, "minus"), std::make_pair(iD.Sigma, "sigma")})
    if (ioDefects.Finite(value, iPath.Member(key)) && value < 0.0)
      ioDefects.Add(iPath.Member(key), "must be >= 0");
  ioDefects.Positive(iD.Cp, iPath.Member("cp"));
}

void CheckDimension(const Problem::Dimension& iD, const Where& iPath, DefectList& ioDefects)
{
  const bool table = iD.CostOf.Model == Problem::CostModel::Table;
  if (iD.Fixed)
    ioDefects.Positive(iD.Tolerance, iPath.Member("tolerance"));
  else
    ioDefects.Finite(iD.Tolerance, iPath.Member("tolerance"));
  if (!iD.Options.empty())
    CheckOptions(iD, iPath, ioDefects);
  const bool sound = CheckCost(iD.CostOf, iPath.Member("cost"), iD.Name, ioDefects);
  if (iD.Fixed && table && sound && std::isfinite(iD.Tolerance) &&
      (iD.Tolerance < iD.CostOf.Points.front().first || iD.Tolerance > iD.CostOf.Points.back().first))
    ioDefects.Add(iPath.Member("tolerance"), "outside the t of the cost table");
  if (!iD.Fixed && iD.Options.empty() && iD.CostOf.Model == Problem::CostModel::None)
    ioDefects.Add(iPath.Member("cost"), "missing (a dimension with bounds needs a cost model)");
  if (!iD.Fixed && iD.Options.empty())
    CheckBounds(iD, sound, iPath, ioDefects);
  else
    ioDefects.Finite(iD.Min, iPath.Member("min")), ioDefects.Finite(iD.Max, iPath.Member("max"));
  // A cost is least at the largest tolerance: infinite there, it is infinite everywhere.
  const double least = iD.Fixed ? iD.Tolerance : iD.Max;
  if (sound && iD.Options.empty() && least > 0.0 && std::isfinite(least) && !std::isfinite(iD.CostOf.Value(least)))
    ioDefects.Add(iPath.Member("cost"),
                  iD.Fixed ? "not a finite number at the fixed tolerance"
                           : "not a finite number at max, nor anywhere below it");
  if (!(iD.MeanShift >= 0.0 && iD.MeanShift < 1.0))
    ioDefects.Add(iPath.Member("mean_shift"), "must lie in [0, 1)");
  if (iD.Spread != Problem::Distribution::Normal && iD.Spread != Problem::Distribution::Uniform &&
      iD.Spread != Problem::Distribution::Triangular)
    ioDefects.Add(iPath.Member("distribution"), "unknown distribution");
  CheckDrawing(iD, iPath, ioDefects);
}

// The drawing's window on the stack-up (a stack-up without a law has only that).
void CheckRequirement(const Problem::Stackup& iS, const Where& iPath, DefectList& ioDefects)
{
  ioDefects.Finite(iS.Constant, iPath.Member("constant"));
  const bool lsl = ioDefects.Finite(iS.Lsl, iPath.Member("lsl")), usl = ioDefects.Finite(iS.Usl, iPath.Member("usl"));
  if (lsl && usl && iS.HasLsl && iS.HasUsl && !(iS.Lsl < iS.Usl))
    ioDefects.Add(iPath.Member("lsl"), "must be below usl");
  if (ioDefects.Finite(iS.Cpk, iPath.Member("cpk")) && iS.Cpk < 0.0)
    ioDefects.Add(iPath.Member("cpk"), "must be >= 0");
}

// ioNamedBy[i] holds the last stack-up (plus one) that named dimension i.
void CheckStackup(const Problem& iProblem, std::size_t iStackup, std::vector<std::size_t>& ioNamedBy,
                  DefectList& ioDefects)
{
  const Problem::Stackup& s = iProblem.Stackups[iStackup];
  const Where stackups{nullptr, "stackups"}, path = stackups.At(iStackup);
  // The law says which parameters it takes; each parameter has its rule here.
  const QAVTasStackupLaw* law = QAVTasStackupLaws::Find(s.Rule);
  const bool band = law != nullptr && law->Band(), factor = law != nullptr && law->TakesFactor();
  CheckRequirement(s, path, ioDefects);
  if (law == nullptr)
    ioDefects.Add(path.Member("law"), "unknown law");
  const bool lowerFinite = ioDefects.Finite(s.Lower, path.Member("lower"));
  if (ioDefects.Finite(s.Upper, path.Member("upper")) && lowerFinite && band && s.HasLaw && s.Lower > s.Upper)
    ioDefects.Add(path.Member("lower"), "greater than upper");
  if (band || !s.HasLaw)
    ioDefects.Finite(s.Limit, path.Member("limit"));
  else
    ioDefects.Positive(s.Limit, path.Member("limit"));
  if (ioDefects.Finite(s.Factor, path.Member("factor")) && s.HasLaw && factor && s.Factor < 1.0)
    ioDefects.Add(path.Member("factor"), "must be >= 1");
  const std::size_t n = iProblem.Dimensions.size();
  for (std::size_t k = 0; k < s.Sensitivity.size(); ++k)
  {
    const Where sensitivities = path.Member("sensitivities"), at = sensitivities.At(k);
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
  const Where dimensions{nullptr, "dimensions"};
  for (std::size_t i = 0; i < Dimensions.size(); ++i)
    CheckDimension(Dimensions[i], dimensions.At(i), defects);
  std::vector<std::size_t> namedBy(Dimensions.size(), 0);
  for (std::size_t j = 0; j < Stackups.size(); ++j)
    CheckStackup(*this, j, namedBy, defects);
  const Where yield{nullptr, "yield"};
  if (defects.Finite(Yield, yield) && Yield != 0.0 && !(Yield > 0.0 && Yield < 1.0))
    defects.Add(yield, "must lie in (0, 1)");
  return list;
}

std::string QAVTasAllocationProblem::Defects() const
{
  std::string joined;
  for (const std::string& defect : Validate())
    joined += (joined.empty() ? "" : "; ") + defect;
  return joined;
}

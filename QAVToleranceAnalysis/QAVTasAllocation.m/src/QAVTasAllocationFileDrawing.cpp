// The drawing's keys of the problem file, checked item by item.
#include "QAVTasAllocationFileDrawing.h"

#include "QAVTasStackupLaw.h"

#include "QAVTasJsonItems.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace QAVTasJsonItems;
using Problem = QAVTasAllocationProblem;

namespace
{
std::string Figure(double iValue)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", iValue);
  return text;
}

double NonNegative(const Json& iNode, const std::string& iPath, const char* iKey)
{
  const double value = Number(iNode, iPath, iKey, 0.0);
  if (value < 0.0)
    Refuse(Member(iPath, iKey), "must be >= 0");
  return value;
}

Problem::Distribution SpreadOf(const Json& iNode, const std::string& iPath)
{
  const std::string path = Member(iPath, "distribution");
  const std::string spread = Text(iNode["distribution"], path);
  if (spread == "normal")
    return Problem::Distribution::Normal;
  if (spread == "uniform")
    return Problem::Distribution::Uniform;
  if (spread == "triangular")
    return Problem::Distribution::Triangular;
  Refuse(path, "expected \"normal\", \"uniform\" or \"triangular\"");
}

// y at the tolerance centres and under the process means.
double ValueAt(const Problem& iProblem, const Problem::Stackup& iStackup, bool iMeans)
{
  double y = iStackup.Constant;
  for (const auto& [i, s] : iStackup.Sensitivity)
  {
    const Problem::Dimension& d = iProblem.Dimensions[static_cast<std::size_t>(i)];
    y += s * (iMeans && d.HasProcessMean ? d.ProcessMean : d.Centre());
  }
  return y;
}

// min(usl - y, y - lsl) over the sides given.
double Margin(const Problem::Stackup& iStackup, double iY)
{
  return std::min(iStackup.HasUsl ? iStackup.Usl - iY : HUGE_VAL, iStackup.HasLsl ? iY - iStackup.Lsl : HUGE_VAL);
}
} // namespace

void QAVTasAllocationFileDrawing::ReadZone(const Json& iNode, const std::string& iPath, Problem::Dimension& ioDimension)
{
  if (!iNode.contains("plus") && !iNode.contains("minus"))
    return;
  for (const char* key : {"tolerance", "min", "max", "options"})
    if (iNode.contains(key))
      Refuse(Member(iPath, key), "a dimension with \"plus\"/\"minus\" has no other tolerance");
  ioDimension.Plus = NonNegative(iNode, iPath, "plus");
  ioDimension.Minus = NonNegative(iNode, iPath, "minus");
  if (!(ioDimension.Plus + ioDimension.Minus > 0.0))
    Refuse(Member(iPath, "plus"), "plus + minus must be > 0");
  ioDimension.Fixed = true;
  ioDimension.Tolerance = 0.5 * (ioDimension.Plus + ioDimension.Minus);
  ioDimension.Min = ioDimension.Max = ioDimension.Tolerance;
}

void QAVTasAllocationFileDrawing::ReadProcess(const Json& iNode, const std::string& iPath,
                                              Problem::Dimension& ioDimension)
{
  ioDimension.Nominal = Number(iNode, iPath, "nominal", 0.0);
  if (iNode.contains("distribution"))
    ioDimension.Spread = SpreadOf(iNode, iPath);
  // cp and sigma describe a normal process; a uniform or triangular one fills its zone.
  if (iNode.contains("cp") && iNode.contains("sigma"))
    Refuse(Member(iPath, "sigma"), "give either \"cp\" or \"sigma\"");
  if (iNode.contains("cp"))
    ioDimension.Cp = Positive(iNode, iPath, "cp");
  if (iNode.contains("sigma"))
  {
    if (!ioDimension.Fixed)
      Refuse(Member(iPath, "sigma"), "a sigma needs a fixed tolerance (\"cp\" scales with an allocated one)");
    ioDimension.Sigma = Positive(iNode, iPath, "sigma");
  }
  // The process mean places the process; a mean shift still enters the mean-shift law.
  if (iNode.contains("process_mean"))
  {
    ioDimension.HasProcessMean = true;
    ioDimension.ProcessMean = Number(iNode, iPath, "process_mean");
  }
}

bool QAVTasAllocationFileDrawing::HasWindow(const Json& iNode)
{
  return iNode.contains("lsl") || iNode.contains("usl");
}

void QAVTasAllocationFileDrawing::ReadRequirement(const Json& iNode, const std::string& iPath, const Problem& iProblem,
                                                  Problem::Stackup& ioStackup)
{
  if (ioStackup.Function.empty())
    ioStackup.Constant = Number(iNode, iPath, "constant", 0.0);
  ioStackup.HasLsl = iNode.contains("lsl");
  ioStackup.HasUsl = iNode.contains("usl");
  ioStackup.Lsl = Number(iNode, iPath, "lsl", 0.0);
  ioStackup.Usl = Number(iNode, iPath, "usl", 0.0);
  if (ioStackup.HasLsl && ioStackup.HasUsl && !(ioStackup.Lsl < ioStackup.Usl))
    Refuse(Member(iPath, "lsl"), "must be below usl");
  if (iNode.contains("cpk"))
  {
    if (!HasWindow(iNode))
      Refuse(Member(iPath, "cpk"), "a Cpk target needs \"lsl\" or \"usl\"");
    ioStackup.Cpk = Positive(iNode, iPath, "cpk");
  }
  const bool derived = ioStackup.HasLaw && !ioStackup.LawOf().Band() && !iNode.contains("limit");
  if (derived)
  {
    const double centre = ValueAt(iProblem, ioStackup, false), margin = Margin(ioStackup, centre);
    if (!(margin > 0.0))
      Refuse(iPath,
             "the value at the tolerance centres, " + Figure(centre) +
               ", leaves no room inside [lsl, usl] for a limit");
    ioStackup.Limit = margin;
    ioStackup.LimitFromWindow = true;
  }
  if (ioStackup.Cpk > 0.0 && !(Margin(ioStackup, ValueAt(iProblem, ioStackup, true)) > 0.0))
    Refuse(Member(iPath, "cpk"),
           "the mean of the stack-up, " + Figure(ValueAt(iProblem, ioStackup, true)) +
             ", lies outside [lsl, usl]: no spread meets the target");
}

void QAVTasAllocationFileDrawing::ReadYield(const Json& iRoot, Problem& ioProblem)
{
  if (!iRoot.contains("yield"))
    return;
  ioProblem.Yield = Number(iRoot, "", "yield");
  if (!(ioProblem.Yield > 0.0 && ioProblem.Yield < 1.0))
    Refuse("yield", "must lie in (0, 1)");
  bool any = false;
  for (const Problem::Stackup& s : ioProblem.Stackups)
  {
    if (!s.HasLsl && !s.HasUsl)
      continue;
    any = true;
    if (!(Margin(s, ValueAt(ioProblem, s, true)) > 0.0))
      Refuse("yield", "the mean of stack-up '" + s.Name + "' lies outside [lsl, usl]: no spread meets the target");
  }
  if (!any)
    Refuse("yield", "a yield target needs a stack-up with \"lsl\" or \"usl\"");
}

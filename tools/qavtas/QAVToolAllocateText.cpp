#include "QAVToolAllocateText.h"

#include "QAVToolText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace
{
using Answer = QAVToolAllocateAnswer;
std::string Format(const char* iFormat, double iValue)
{
  return QAVToolText::Format(iFormat, iValue);
}

std::string Padded(const std::string& iText, std::size_t iWidth)
{
  return QAVToolText::Padded(iText, iWidth);
}

std::string Number(double iValue, const char* iFormat = "%.6g")
{
  return QAVToolAllocateText::Number(iValue, iFormat);
}

std::string Line(const char* iFormat, ...)
{
  char buffer[512];
  va_list args;
  va_start(args, iFormat);
  std::vsnprintf(buffer, sizeof buffer, iFormat, args);
  va_end(args);
  return buffer;
}

std::string DimensionTable(const Answer& iAnswer)
{
  std::string text = Line("%-16s %14s %14s  %s\n", "dimension", "tolerance", "cost", "binds");
  for (const Answer::Dimension& d : iAnswer.Dimensions)
    text += Line("%-16s %14.6g %14.6g  ", d.Name.c_str(), d.Tolerance, d.Cost) + d.Binds + "\n";
  return text;
}

std::string StackupTable(const Answer& iAnswer)
{
  std::string text =
    Line("%-16s %-12s %12s %25s %12s %14s\n", "stack-up", "law", "value", "limit", "slack", "shadow price");
  for (const Answer::Stackup& s : iAnswer.Stackups)
  {
    const std::string limit =
      s.Limit.Linear ? Line("[%g, %g]", s.Limit.Lower, s.Limit.Upper) : Line("%g", s.Limit.Limit);
    text += Line("%-16s %-12s %12.6g %25s %12.4g %14.6g\n", s.Name.c_str(), s.LawLine.c_str(), s.Value, limit.c_str(),
                 s.Slack, s.Price);
  }
  return text;
}

std::string WhatBinds(const Answer& iAnswer)
{
  std::string text = "what binds (saving per unit of loosening):\n";
  for (const Answer::Priced& p : iAnswer.Binding)
  {
    const std::string what = p.Of == Answer::Priced::Kind::Stackup
      ? "stack-up " + iAnswer.Stackups[p.Index].Name + " (" + iAnswer.Stackups[p.Index].Side + ")"
      : (p.Of == Answer::Priced::Kind::Min ? "min of " : "max of ") + iAnswer.Dimensions[p.Index].Name;
    text += Line("  %-40s %14.6g\n", what.c_str(), p.Price);
  }
  if (!iAnswer.Binding.empty())
    return text;
  return text +
    (iAnswer.AtCheapest ? "  nothing: every tolerance is at its most economical\n"
                        : "  no tolerance has a price at this selection, but the stack-ups hold some processes\n"
                          "  above their cheapest\n");
}

// The status, and for an optimum its tables, its certificate and what binds.
std::string Solution(const Answer& iAnswer)
{
  std::string text = "status: " + iAnswer.Status;
  if (iAnswer.State == QAVTasAllocationResult::Status::Infeasible)
    text += " (certified: no tolerances meet every requirement)";
  if (iAnswer.State != QAVTasAllocationResult::Status::Optimal)
    return text + (iAnswer.Reason.empty() ? "" : ": " + iAnswer.Reason) + "\n";
  text += " (certified)\n\n" + DimensionTable(iAnswer) + "\n" + StackupTable(iAnswer) + "\n";
  text += Line("total cost %.10g, lower bound %.10g, relative gap %.2g\n\n", iAnswer.Cost, iAnswer.LowerBound,
               iAnswer.RelativeGap);
  return text + WhatBinds(iAnswer);
}

std::string FixedDesign(const Answer& iAnswer)
{
  std::string text = "\nstack-ups at the fixed tolerances\n  " + Padded("stack-up", 21) + Padded("law", 13) +
    Padded("value", 17) + Padded("limit", 27) + "utilisation\n";
  for (const Answer::Stackup& s : iAnswer.Stackups)
    if (s.HasLaw)
      text += "  " + Padded(s.Name, 21) + Padded(s.Law, 13) + Padded(Format("%.10g", s.Value), 17) +
        Padded(QAVToolAllocateText::Limit(s.Limit), 27) + Format("%.1f %%", 100.0 * s.Utilisation) + "\n";
  return text;
}

std::string Loosening(const Answer& iAnswer)
{
  const Answer::Diagnosis& d = iAnswer.Loosening;
  if (!d.Ran)
    return "";
  std::string text = iAnswer.FixedDesign ? FixedDesign(iAnswer) : "";
  if (!d.Solved)
    return text + "\nleast loosening of the limits: not found: " + d.Reason + "\n";
  text += "\nleast loosening of the limits that makes it feasible (a limit T becomes T (1 + r); a linear band\n"
          "widens by r times its scale on both sides)\n  " +
    Padded("stack-up", 21) + Padded("r", 17) + Padded("limit", 27) + "loosened limit\n";
  for (const Answer::LooseningRow& row : d.Rows)
  {
    const Answer::Stackup& s = iAnswer.Stackups[row.Stackup];
    text += "  " + Padded(s.Name, 21) + Padded(Format("%.7g", row.Amount), 17) +
      Padded(QAVToolAllocateText::Limit(s.Limit), 27) + QAVToolAllocateText::Limit(row.Loosened) + "\n";
  }
  text += "  total " + Format("%.10g", d.Total) + ", proven lower bound " + Format("%.10g", d.LowerBound) +
    "\n  in conflict (loosened, or on its limit there):";
  for (const std::size_t j : d.Conflict)
    text += " " + iAnswer.Stackups[j].Name;
  return text + "\n";
}

std::string Held(const Answer& iAnswer)
{
  if (iAnswer.Held.empty())
    return "";
  const auto line = [](const std::string& iName, const std::string& iKeeps, const std::string& iSaving)
  {
    char text[256];
    std::snprintf(text, sizeof text, "  %-20s %-34s %s\n", iName.c_str(), iKeeps.c_str(), iSaving.c_str());
    return std::string(text);
  };
  std::string text = "\nwhat each stack-up holds (re-solved without it, and with its limit 10 % looser):\n" +
    line("stack-up", "keeps a cheaper selection out", "saving at 110 % of the limit");
  for (std::size_t j = 0; j < iAnswer.Held.size(); ++j)
    text += line(iAnswer.Stackups[j].Name, QAVToolAllocateText::Said(iAnswer.Held[j].KeepsCheaperOut),
                 QAVToolAllocateText::Saving(iAnswer.Held[j].Saving));
  return text;
}

std::string Processes(const Answer& iAnswer)
{
  if (!iAnswer.Selected)
    return "";
  std::string text;
  if (iAnswer.State == QAVTasAllocationResult::Status::NotSolved)
    text += "\nbest selection found: cost " + Format("%.10g", iAnswer.Cost) + ", lower bound " +
      Format("%.10g", iAnswer.LowerBound) + ", relative gap " + Format("%.2g", iAnswer.RelativeGap) + "\n";
  text += "\nprocesses\n  " + Padded("dimension", 21) + Padded("process", 21) + "tolerance    cost\n";
  for (const Answer::Dimension& d : iAnswer.Dimensions)
    if (!d.Process.empty())
      text += "  " + Padded(d.Name, 21) + Padded(d.Process, 21) + Padded(Format("%.6g", d.ProcessTolerance), 13) +
        Format("%.6g", d.Cost) + "\n";
  return text;
}

std::string YieldLine(const std::string& iName, const QAVTasYieldEstimator::Estimate& iE)
{
  std::string text = "  " + Padded(iName, 21);
  if (!iE.Defined)
    return text + "undefined: a linear row has no nominal\n";
  return text + Format("%.7f", iE.Yield) + "    [" + Format("%.7f", iE.Lower) + ", " + Format("%.7f", iE.Upper) +
    "]   " +
    (iE.HasExact ? Padded(Format("%.1f", iE.PpmOut), 12) + Format("%.7f", iE.Exact) : Format("%.1f", iE.PpmOut)) + "\n";
}

std::string Yield(const Answer& iAnswer)
{
  if (!iAnswer.Yield)
    return "";
  const QAVTasYieldEstimator::Report& yield = *iAnswer.Yield;
  std::string text = "\nyield (" + std::string(yield.Qmc ? "scrambled Sobol" : "Monte Carlo") + ", " +
    std::to_string(yield.Samples) + " assemblies, seed " + std::to_string(iAnswer.Seed) + ")\n  " +
    Padded("stack-up", 21) + "yield        95 % interval            ppm out     exact\n";
  for (std::size_t j = 0; j < iAnswer.Stackups.size(); ++j)
    text += YieldLine(iAnswer.Stackups[j].Name, yield.Stackups[j]);
  return text + YieldLine("all at once", yield.Joint);
}

std::string Function(const Answer& iAnswer, const Answer::Function& iF)
{
  const Answer::Stackup& s = iAnswer.Stackups[iF.Stackup];
  const QAVTasFunctionAllocation::Check& c = iF.Check;
  std::string text = "  " + s.Name + " = " + iF.Text + "\n    sensitivities at the nominals:";
  for (const auto& [i, w] : iF.Sensitivities)
    text += " " + iAnswer.Dimensions[i].Name + " " + Format("%.8g", w);
  text += "\n    worst case over the box: linear model " + Format("%.8g", iF.LinearValue) + ", true function " +
    Format("%.8g", c.TrueValue) +
    (c.Certified ? " (certified)" : " (NOT certified: up to " + Format("%.8g", c.TrueBound) + ")") + ", range [" +
    Format("%.8g", c.Min) + ", " + Format("%.8g", c.Max) + "] about " + Format("%.8g", c.Reference) + "\n";
  if (c.TrueLaw)
    text += "    limit " + Format("%.8g", s.Limit.Limit) + ", held on the true function; " +
      (c.Tangent ? "the limit of its tangent row " : "the linear model's limit ") + Format("%.8g", c.ModelLimit) + "\n";
  if (iF.Yield.Defined)
    text += "    yield (" + std::to_string(iAnswer.FunctionSamples) + " assemblies): linear model " +
      QAVToolAllocateText::Interval(iF.Yield.Model) + ", true function " +
      QAVToolAllocateText::Interval(iF.Yield.True) + "\n";
  return text;
}

std::string Functions(const Answer& iAnswer)
{
  if (iAnswer.Functions.empty())
    return "";
  std::string text =
    "\nstack-ups given by their function (" + std::to_string(iAnswer.FunctionSolves) + " solves of the linear model)\n";
  for (const Answer::Function& f : iAnswer.Functions)
    text += Function(iAnswer, f);
  if (iAnswer.LocalOptimum)
    text += std::string("  ") + Answer::kLocalOptimum + "\n";
  return text;
}

std::string Capability(const Answer& iAnswer)
{
  const Answer::Capability& c = iAnswer.Capabilities;
  if (!c.Applies)
    return "";
  std::string text = "\ncapability at the allocated tolerances (normal model; ppm simulated where an input is not "
                     "normal)\n  " +
    Padded("stack-up", 21) + Padded("mean", 13) + Padded("sigma", 13) + Padded("Cp", 9) + Padded("Cpk", 9) +
    Padded("ppm below", 13) + "ppm above\n";
  for (const Answer::CapabilityRow& s : c.Rows)
    text += "  " + Padded(s.Name, 21) + Padded(Number(s.Mean), 13) + Padded(Number(s.Sigma), 13) +
      Padded(Number(s.Cp, "%.4g"), 9) + Padded(Number(s.Cpk, "%.4g"), 9) + Padded(Number(s.PpmBelow, "%.4g"), 13) +
      Number(s.PpmAbove, "%.4g") + "\n";
  text += "  joint yield, simulated (" + std::to_string(c.Samples) +
    " assemblies, seed 1): " + Number(c.Joint.Estimate, "%.7f") + " [" + Number(c.Joint.Lower, "%.7f") + ", " +
    Number(c.Joint.Upper, "%.7f") + "]";
  if (c.Target > 0.0)
    text += "; target " + Number(c.Target, "%.7g") + " (met by the model through a union bound)";
  return text + "\n";
}
} // namespace

std::string QAVToolAllocateText::Report(const QAVToolAllocateAnswer& iAnswer)
{
  return Solution(iAnswer) + Loosening(iAnswer) + Held(iAnswer) + Processes(iAnswer) + Yield(iAnswer) +
    Functions(iAnswer) + Capability(iAnswer);
}

std::string QAVToolAllocateText::Limit(const QAVToolAllocateAnswer::Band& iBand)
{
  if (!iBand.Linear)
    return Format("%.7g", iBand.Limit);
  return "[" + Format("%.7g", iBand.Lower) + ", " + Format("%.7g", iBand.Upper) + "]";
}

std::string QAVToolAllocateText::Number(double iValue, const char* iFormat)
{
  if (!std::isfinite(iValue))
    return "-";
  return Format(iFormat, iValue == 0.0 ? 0.0 : iValue);
}

std::string QAVToolAllocateText::Interval(const QAVTasStackupAnalysis::Interval& iY)
{
  return Format("%.7f", iY.Estimate) + " [" + Format("%.7f", iY.Lower) + ", " + Format("%.7f", iY.Upper) + "]";
}

const char* QAVToolAllocateText::Said(QAVTasSelectionPrices::Verdict iVerdict)
{
  using Verdict = QAVTasSelectionPrices::Verdict;
  return iVerdict == Verdict::Yes ? "yes" : iVerdict == Verdict::No ? "no" : "not known";
}

std::string QAVToolAllocateText::Saving(double iValue)
{
  return std::isnan(iValue) ? "not known" : Format("%.6g", iValue);
}

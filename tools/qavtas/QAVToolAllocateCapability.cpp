#include "QAVToolAllocateCapability.h"

#include "QAVToolText.h"

#include "QAVTasAllocationSolver.h"
#include "QAVTasStackupLaw.h"
#include "QAVToolAllocateReport.h"
#include "QAVToolSvgPlot.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Analysis = QAVTasStackupAnalysis;
using Json = nlohmann::ordered_json;

namespace
{
std::string Num(double iValue, const char* iFormat = "%.6g")
{
  if (!std::isfinite(iValue))
    return "-";
  char text[64];
  std::snprintf(text, sizeof text, iFormat, iValue == 0.0 ? 0.0 : iValue);
  return text;
}

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
} // namespace

QAVToolAllocateCapability::QAVToolAllocateCapability(const Problem& iDrawing, const Problem& iSolver,
                                                     const Result& iResult)
  : _Drawing(iDrawing), _Solver(iSolver), _Result(iResult)
{
  bool window = false;
  for (const Problem::Stackup& s : iDrawing.Stackups)
    window = window || HasWindow(s);
  _Applies = window && Allocated(iDrawing, iResult);
  if (!_Applies)
    return;
  Analysis::Settings settings;
  settings.Samples = kSamples;
  _Analysis = Analysis(settings).Analyse(iDrawing, iResult.Tolerances);
}

std::string QAVToolAllocateCapability::Extend(const std::string& iReport) const
{
  return _Applies ? iReport + Text() : iReport;
}

void QAVToolAllocateCapability::ExtendJson(Json& ioAnswer) const
{
  if (!_Applies)
    return;
  Json stackups = Json::object();
  for (const Analysis::Stackup& s : _Analysis.Stackups)
    if (s.HasLsl || s.HasUsl)
      stackups[s.Name] = {{"mean", s.Mean},
                          {"sigma", s.Sigma},
                          {"cp", QAVToolText::Figure(s.Cp)},
                          {"cpk", QAVToolText::Figure(s.Cpk)},
                          {"ppm_below", QAVToolText::Figure(s.PpmBelow)},
                          {"ppm_above", QAVToolText::Figure(s.PpmAbove)}};
  const Json joint = {{"target", _Drawing.Yield > 0.0 ? Json(_Drawing.Yield) : Json(nullptr)},
                      {"yield", _Analysis.Joint.Estimate},
                      {"ci95", {_Analysis.Joint.Lower, _Analysis.Joint.Upper}}};
  ioAnswer["capability"] = {{"samples", _Analysis.Samples}, {"stackups", stackups}, {"joint", joint}};
}

std::string QAVToolAllocateCapability::Text() const
{
  std::string text = "\ncapability at the allocated tolerances (normal model; ppm simulated where an input is not "
                     "normal)\n  " +
    QAVToolText::Padded("stack-up", 21) + QAVToolText::Padded("mean", 13) + QAVToolText::Padded("sigma", 13) +
    QAVToolText::Padded("Cp", 9) + QAVToolText::Padded("Cpk", 9) + QAVToolText::Padded("ppm below", 13) + "ppm above\n";
  for (const Analysis::Stackup& s : _Analysis.Stackups)
    if (s.HasLsl || s.HasUsl)
      text += "  " + QAVToolText::Padded(s.Name, 21) + QAVToolText::Padded(Num(s.Mean), 13) +
        QAVToolText::Padded(Num(s.Sigma), 13) + QAVToolText::Padded(Num(s.Cp, "%.4g"), 9) +
        QAVToolText::Padded(Num(s.Cpk, "%.4g"), 9) + QAVToolText::Padded(Num(s.PpmBelow, "%.4g"), 13) +
        Num(s.PpmAbove, "%.4g") + "\n";
  text += "  joint yield, simulated (" + std::to_string(_Analysis.Samples) +
    " assemblies, seed 1): " + Num(_Analysis.Joint.Estimate, "%.7f") + " [" + Num(_Analysis.Joint.Lower, "%.7f") +
    ", " + Num(_Analysis.Joint.Upper, "%.7f") + "]";
  if (_Drawing.Yield > 0.0)
    text += "; target " + Num(_Drawing.Yield, "%.7g") + " (met by the model through a union bound)";
  return text + "\n";
}

std::string QAVToolAllocateCapability::Html() const
{
  std::ostringstream out;
  if (_Applies)
  {
    out << "<h2>Capability at the allocated tolerances</h2>\n<table class=\"sortable\"><thead><tr><th>stack-up</th>"
           "<th>mean</th><th>sigma</th><th>Cp</th><th>Cpk</th><th>ppm below</th><th>ppm above</th></tr></thead>"
           "<tbody>\n";
    for (const Analysis::Stackup& s : _Analysis.Stackups)
      if (s.HasLsl || s.HasUsl)
        out << "<tr><td>" << QAVToolSvgPlot::Escape(s.Name) << "</td><td>" << Num(s.Mean) << "</td><td>" << Num(s.Sigma)
            << "</td><td>" << Num(s.Cp) << "</td><td>" << Num(s.Cpk) << "</td><td>" << Num(s.PpmBelow) << "</td><td>"
            << Num(s.PpmAbove) << "</td></tr>\n";
    out << "</tbody></table>\n<p>Joint yield, simulated over " << _Analysis.Samples
        << " assemblies: " << Num(_Analysis.Joint.Estimate, "%.7f") << " [" << Num(_Analysis.Joint.Lower, "%.7f")
        << ", " << Num(_Analysis.Joint.Upper, "%.7f") << "]"
        << (_Drawing.Yield > 0.0 ? "; target " + Num(_Drawing.Yield) : std::string()) << ".</p>\n";
  }
  return out.str() + Curves();
}

// Each binding stack-up (a positive price) of a continuous problem: its limit from 0.5 to 2 times
// its value in equal ratios, the optimal cost at each, the current limit marked.
std::string QAVToolAllocateCapability::Curves() const
{
  if (_Result.State != Result::Status::Optimal || _Result.StackupPrices.size() != _Solver.Stackups.size())
    return "";
  for (const Problem::Dimension& d : _Solver.Dimensions)
    if (!d.Options.empty())
      return "";
  std::vector<double> factors;
  for (int k = 0; k < kCurvePoints; ++k)
    factors.push_back(std::pow(4.0, static_cast<double>(k) / (kCurvePoints - 1)) * 0.5);
  std::ostringstream out;
  for (std::size_t j = 0; j < _Solver.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = _Solver.Stackups[j];
    if (!(_Result.StackupPrices[j] > 0.0) || s.LawOf().Band())
      continue;
    const std::vector<double> costs = CostsAlong(_Solver, j, factors);
    std::vector<double> points;
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (std::size_t k = 0; k < factors.size(); ++k)
      if (std::isfinite(costs[k]))
      {
        points.insert(points.end(), {s.Limit * factors[k], costs[k]});
        low = std::min(low, costs[k]);
        high = std::max(high, costs[k]);
      }
    if (points.size() < 4)
      continue;
    const double pad = 0.05 * std::max(high - low, 1e-9 * std::max(1.0, std::fabs(high)));
    QAVToolSvgPlot plot("Trade-off of " + s.Name, {0.5 * s.Limit, 2.0 * s.Limit, "limit"},
                        {low - pad, high + pad, "optimal cost"});
    plot.Note("the optimal cost as the limit of " + s.Name + " goes from 0.5 to 2 times its value");
    plot.Line(points, "#1f77b4");
    plot.LegendLine("optimal cost", "#1f77b4");
    plot.Cross(s.Limit, _Result.Cost, 7, "#d62728");
    plot.LegendCross("current limit", 7, "#d62728");
    if (out.tellp() == 0)
      out << "<h2>Trade-off curves</h2>\n<p>What each binding limit costs: the optimal cost over " << kCurvePoints
          << " limits from half to twice the current one (each certified).</p>\n";
    out << plot.Text();
  }
  return out.str();
}

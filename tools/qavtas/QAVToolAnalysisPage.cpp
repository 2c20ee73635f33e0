#include "QAVToolAnalysisPage.h"

#include "QAVToolText.h"

#include "QAVToolAllocationPage.h"
#include "QAVToolSvgPlot.h"

#include <algorithm>
#include <cmath>
#include <sstream>

using Analysis = QAVTasStackupAnalysis;

namespace
{
std::string Num(double iValue)
{
  return std::isfinite(iValue) ? QAVToolSvgPlot::Num(iValue) : "-";
}

std::string Esc(const std::string& iText)
{
  return QAVToolSvgPlot::Escape(iText);
}

const char* Word(Analysis::Verdict iVerdict)
{
  return iVerdict == Analysis::Verdict::NoRequirement ? "-" : iVerdict == Analysis::Verdict::Met ? "met" : "NOT met";
}

void Vertical(QAVToolSvgPlot& ioPlot, double iX, double iTop, const char* iColour)
{
  ioPlot.Line({iX, 0.0, iX, iTop}, iColour);
}

// The simulation's density as steps, the normal model over it, the limits and the worst case.
std::string Histogram(const Analysis::Stackup& iS, std::int64_t iSamples)
{
  const Analysis::Simulation& mc = iS.Mc;
  const double bins = static_cast<double>(mc.Histogram.size()), width = (mc.HistogramHigh - mc.HistogramLow) / bins;
  std::vector<double> steps;
  double top = 0.0;
  for (std::size_t b = 0; b < mc.Histogram.size(); ++b)
  {
    const double density = static_cast<double>(mc.Histogram[b]) / (static_cast<double>(iSamples) * width);
    const double x = mc.HistogramLow + width * static_cast<double>(b);
    steps.insert(steps.end(), {x, density, x + width, density});
    top = std::max(top, density);
  }
  std::vector<double> model;
  for (int k = 0; k <= 200 && iS.Sigma > 0.0; ++k)
  {
    const double x = mc.HistogramLow + (mc.HistogramHigh - mc.HistogramLow) * k / 200.0, z = (x - iS.Mean) / iS.Sigma;
    model.insert(model.end(), {x, std::exp(-0.5 * z * z) / (iS.Sigma * std::sqrt(2.0 * M_PI))});
    top = std::max(top, model.back());
  }
  top = top > 0.0 ? 1.1 * top : 1.0;
  QAVToolSvgPlot plot("Stack-up " + iS.Name, {mc.HistogramLow, mc.HistogramHigh, "assembly value y"},
                      {0.0, top, "density"});
  plot.Note(std::to_string(iSamples) + " simulated assemblies; Cpk " + Num(iS.Cpk));
  plot.Line(steps, "#1f77b4");
  plot.LegendLine("simulation", "#1f77b4");
  if (!model.empty())
  {
    plot.Line(model, "#ff7f0e");
    plot.LegendLine("normal model", "#ff7f0e");
  }
  Vertical(plot, iS.WorstMin, top, "#2ca02c");
  Vertical(plot, iS.WorstMax, top, "#2ca02c");
  plot.LegendLine("worst case", "#2ca02c");
  if (iS.HasLsl)
    Vertical(plot, iS.Lsl, top, "#d62728");
  if (iS.HasUsl)
    Vertical(plot, iS.Usl, top, "#d62728");
  if (iS.HasLsl || iS.HasUsl)
    plot.LegendLine("LSL, USL", "#d62728");
  return plot.Text();
}

// The contributions as bars, largest share of the variance first, with the cumulative share.
std::string Pareto(const QAVTasAllocationProblem& iProblem, const Analysis::Stackup& iS)
{
  std::vector<Analysis::Contribution> sorted = iS.Contributions;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.VarianceShare > b.VarianceShare; });
  const double row = 22, left = 170, bar = 420, height = 40 + row * static_cast<double>(sorted.size());
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"820\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n<text x=\"10\" y=\"16\">Contributions to the variance of "
      << Esc(iS.Name) << " (bars) and cumulative share (%)</text>\n";
  double cumulative = 0.0;
  for (std::size_t k = 0; k < sorted.size(); ++k)
  {
    const double y = 28 + row * static_cast<double>(k), share = sorted[k].VarianceShare;
    cumulative += share;
    out << "<text x=\"" << left - 8 << "\" y=\"" << y + 14 << "\" text-anchor=\"end\">"
        << Esc(iProblem.Dimensions[static_cast<std::size_t>(sorted[k].Dimension)].Name) << "</text>\n<rect x=\"" << left
        << "\" y=\"" << y + 3 << "\" width=\"" << bar * share << "\" height=\"" << row - 6
        << "\" fill=\"#1f77b4\"/>\n<text x=\"" << left + bar + 10 << "\" y=\"" << y + 14 << "\">" << Num(100.0 * share)
        << " % (" << Num(100.0 * cumulative) << " %)</text>\n";
  }
  out << "</svg>\n";
  return out.str();
}

void Summary(std::ostream& out, const Analysis::Result& iResult)
{
  out << "<h2>Stack-ups</h2>\n";
  QAVToolText::HtmlHead(out,
                        {"stack-up", "LSL", "USL", "nominal", "centre", "worst min", "worst max", "mean", "sigma", "Cp",
                         "Cpk", "ppm below", "ppm above", "worst case", "statistical", "simulated"});
  const double nan = std::nan("");
  for (const Analysis::Stackup& s : iResult.Stackups)
    QAVToolText::HtmlRow(out,
                         {Esc(s.Name), Num(s.HasLsl ? s.Lsl : nan), Num(s.HasUsl ? s.Usl : nan), Num(s.Nominal),
                          Num(s.Centre), Num(s.WorstMin), Num(s.WorstMax), Num(s.Mean), Num(s.Sigma), Num(s.Cp),
                          Num(s.Cpk), Num(s.PpmBelow), Num(s.PpmAbove), Word(s.WorstCase), Word(s.Statistical),
                          Word(s.Simulated)});
  out << "</tbody></table>\n";
  if (iResult.Samples == 0)
    return;
  out << "<h2>Simulation</h2>\n<p>" << iResult.Samples << " assemblies, seed " << iResult.Seed
      << "; yields with 95 % Wilson intervals.</p>\n";
  QAVToolText::HtmlHead(
    out, {"stack-up", "mean", "sigma", "min", "max", "0.135 %", "99.865 %", "yield", "95 % low", "95 % high"});
  for (const Analysis::Stackup& s : iResult.Stackups)
  {
    const Analysis::Simulation& mc = s.Mc;
    const double nan = std::nan("");
    QAVToolText::HtmlRow(out,
                         {Esc(s.Name), Num(mc.Mean), Num(mc.Sigma), Num(mc.Min), Num(mc.Max), Num(mc.P00135),
                          Num(mc.P99865), Num(mc.HasYield ? mc.Yield.Estimate : nan),
                          Num(mc.HasYield ? mc.Yield.Lower : nan), Num(mc.HasYield ? mc.Yield.Upper : nan)});
  }
  if (iResult.HasJoint)
    QAVToolText::HtmlRow(out,
                         {"all at once", "", "", "", "", "", "", Num(iResult.Joint.Estimate), Num(iResult.Joint.Lower),
                          Num(iResult.Joint.Upper)});
  out << "</tbody></table>\n";
}
} // namespace

std::string QAVToolAnalysisPage::Html(const QAVTasAllocationProblem& iProblem, const Analysis::Result& iResult,
                                      const std::string& iTitle, const std::string& iMadeBy)
{
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" << Esc(iTitle)
      << "</title>\n<style>" << QAVToolAllocationPage::Style() << "</style></head><body>\n<h1>" << Esc(iTitle)
      << "</h1>\n<p>" << iProblem.Dimensions.size() << " dimensions, " << iProblem.Stackups.size()
      << " stack-ups.</p>\n";
  Summary(out, iResult);
  for (const Analysis::Stackup& s : iResult.Stackups)
  {
    out << "<h2>" << Esc(s.Name) << "</h2>\n";
    if (s.Mc.Ran && !s.Mc.Histogram.empty())
      out << Histogram(s, iResult.Samples);
    out << Pareto(iProblem, s);
    QAVToolText::HtmlHead(out, {"dimension", "sensitivity", "variance %", "worst case %"});
    for (const Analysis::Contribution& c : s.Contributions)
      QAVToolText::HtmlRow(out,
                           {Esc(iProblem.Dimensions[static_cast<std::size_t>(c.Dimension)].Name), Num(c.Sensitivity),
                            Num(100.0 * c.VarianceShare), Num(100.0 * c.WorstCaseShare)});
    out << "</tbody></table>\n";
  }
  out << "<p><small>Made by <code>" << Esc(iMadeBy) << "</code>.</small></p>\n<script>"
      << QAVToolAllocationPage::Script() << "</script>\n</body></html>\n";
  return out.str();
}

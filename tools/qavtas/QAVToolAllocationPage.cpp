#include "QAVToolAllocationPage.h"

#include "QAVToolText.h"

#include "QAVToolAllocateText.h"
#include "QAVToolAllocationPicture.h"
#include "QAVToolSvgPlot.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace
{
using Answer = QAVToolAllocateAnswer;

const char kStyle[] = R"(body{font-family:sans-serif;margin:2em;color:#222;max-width:60em}
table{border-collapse:collapse;margin:0.5em 0 1.5em}th,td{border:1px solid #ccc;padding:0.25em 0.6em;text-align:right}
th{background:#f2f2f2;cursor:pointer}td:first-child,th:first-child{text-align:left}
.optimal{color:#2ca02c}.bad{color:#d62728}small{color:#666})";

// Clicking a column heading sorts the table's rows by it, numbers as numbers.
const char kScript[] = R"(document.querySelectorAll('table.sortable th').forEach(function(th,col){
th.addEventListener('click',function(){var body=th.closest('table').tBodies[0];
var rows=Array.prototype.slice.call(body.rows);var up=th.dataset.up!=='1';th.dataset.up=up?'1':'0';
rows.sort(function(a,b){var x=a.cells[col].textContent,y=b.cells[col].textContent;
var p=parseFloat(x),q=parseFloat(y);var c=(isNaN(p)||isNaN(q))?x.localeCompare(y):p-q;return up?c:-c;});
rows.forEach(function(r){body.appendChild(r);});});});)";

std::string Num(double iValue)
{
  if (std::isnan(iValue))
    return "-";
  std::ostringstream s;
  s.precision(6);
  s << iValue;
  return s.str();
}

std::string Escape(const std::string& iText)
{
  return QAVToolSvgPlot::Escape(iText);
}

void Dimensions(std::ostream& out, const Answer& iAnswer)
{
  out << "<h2>Dimensions</h2>\n";
  QAVToolText::HtmlHead(out, {"dimension", "tolerance", "min", "max", "cost", "binds"});
  for (const Answer::Dimension& d : iAnswer.Dimensions)
    QAVToolText::HtmlRow(out,
                         {Escape(d.Name), Num(d.Tolerance), d.Continuous ? Num(d.Min) : "-",
                          d.Continuous ? Num(d.Max) : "-", Num(d.Cost), Escape(d.Binds)});
  out << "</tbody></table>\n";
}

void Stackups(std::ostream& out, const Answer& iAnswer)
{
  out << "<h2>Stack-ups</h2>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "law", "value", "limit", "slack", "shadow price", "utilisation %"});
  for (const Answer::Stackup& s : iAnswer.Stackups)
    QAVToolText::HtmlRow(
      out,
      {Escape(s.Name), s.Law, Num(s.Value),
       s.Limit.Linear ? "[" + Num(s.Limit.Lower) + ", " + Num(s.Limit.Upper) + "]" : Num(s.Limit.Limit), Num(s.Slack),
       Num(s.Price), Num(100.0 * s.Utilisation)});
  out << "</tbody></table>\n<h2>Contributions (% of each stack-up)</h2>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "dimension", "share %"});
  for (const Answer::Stackup& s : iAnswer.Stackups)
    for (const Answer::Share& sh : s.Shares)
      QAVToolText::HtmlRow(out, {Escape(s.Name), Escape(iAnswer.Dimensions[sh.Dimension].Name), Num(sh.Percent)});
  out << "</tbody></table>\n";
}

std::string PricedName(const Answer& iAnswer, const Answer::Priced& iP)
{
  switch (iP.Of)
  {
    case Answer::Priced::Kind::Stackup:
      return "stack-up " + iAnswer.Stackups[iP.Index].Name;
    case Answer::Priced::Kind::Min:
      return "lower bound of " + iAnswer.Dimensions[iP.Index].Name;
    case Answer::Priced::Kind::Max:
      break;
  }
  return "upper bound of " + iAnswer.Dimensions[iP.Index].Name;
}

// The requirements and bounds with a positive price, the costliest first.
void WhatBinds(std::ostream& out, const Answer& iAnswer)
{
  out << "<h2>What binds</h2>\n<ol>\n";
  for (const Answer::Priced& p : iAnswer.Prices)
    out << "<li>" << Escape(PricedName(iAnswer, p)) << ": a unit of loosening saves " << Num(p.Price) << "</li>\n";
  out << "</ol>\n";
  if (iAnswer.Prices.empty())
    out << (iAnswer.AtCheapest ? "<p>Nothing binds.</p>\n"
                               : "<p>No tolerance has a price at this selection, but the stack-ups hold some processes "
                                 "above their cheapest.</p>\n");
}

void Loosening(std::ostream& out, const Answer& iAnswer)
{
  if (iAnswer.Loosening.Rows.empty())
    return;
  out << "<h2>Least loosening that makes it feasible</h2>\n<p>A limit T becomes T (1 + r); a linear band widens "
         "by r times its scale on both sides.</p>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "r", "limit", "loosened limit"});
  for (const Answer::LooseningRow& r : iAnswer.Loosening.Rows)
    QAVToolText::HtmlRow(out,
                         {Escape(iAnswer.Stackups[r.Stackup].Name), Num(r.Amount),
                          QAVToolAllocateText::Limit(iAnswer.Stackups[r.Stackup].Limit),
                          QAVToolAllocateText::Limit(r.Loosened)});
  out << "</tbody></table>\n";
}

void Held(std::ostream& out, const Answer& iAnswer)
{
  if (iAnswer.Held.empty())
    return;
  out << "<h2>What each stack-up holds</h2>\n<p>Each stack-up re-solved without it, and with its limit 10 % "
         "looser.</p>\n<table class=\"sortable\"><thead><tr><th>stack-up</th><th>keeps a cheaper selection "
         "out</th><th>saving at 110 % of the limit</th></tr></thead><tbody>\n";
  for (std::size_t j = 0; j < iAnswer.Held.size(); ++j)
    out << "<tr><td>" << Escape(iAnswer.Stackups[j].Name) << "</td><td>"
        << QAVToolAllocateText::Said(iAnswer.Held[j].KeepsCheaperOut) << "</td><td>"
        << QAVToolAllocateText::Saving(iAnswer.Held[j].Saving) << "</td></tr>\n";
  out << "</tbody></table>\n";
}

void Capability(std::ostream& out, const Answer& iAnswer)
{
  const Answer::Capability& c = iAnswer.Capabilities;
  if (!c.Applies)
    return;
  using Text = QAVToolAllocateText;
  out << "<h2>Capability at the allocated tolerances</h2>\n<table class=\"sortable\"><thead><tr><th>stack-up</th>"
         "<th>mean</th><th>sigma</th><th>Cp</th><th>Cpk</th><th>ppm below</th><th>ppm above</th></tr></thead>"
         "<tbody>\n";
  for (const Answer::CapabilityRow& s : c.Rows)
    out << "<tr><td>" << Escape(s.Name) << "</td><td>" << Text::Number(s.Mean) << "</td><td>" << Text::Number(s.Sigma)
        << "</td><td>" << Text::Number(s.Cp) << "</td><td>" << Text::Number(s.Cpk) << "</td><td>"
        << Text::Number(s.PpmBelow) << "</td><td>" << Text::Number(s.PpmAbove) << "</td></tr>\n";
  out << "</tbody></table>\n<p>Joint yield, simulated over " << c.Samples
      << " assemblies: " << Text::Number(c.Joint.Estimate, "%.7f") << " [" << Text::Number(c.Joint.Lower, "%.7f")
      << ", " << Text::Number(c.Joint.Upper, "%.7f") << "]"
      << (c.Target > 0.0 ? "; target " + Text::Number(c.Target) : std::string()) << ".</p>\n";
}

// The optimal cost over the limit of each binding stack-up, the current limit marked.
void Curves(std::ostream& out, const Answer& iAnswer)
{
  for (const Answer::Curve& curve : iAnswer.Curves)
  {
    const Answer::Stackup& s = iAnswer.Stackups[curve.Stackup];
    const double limit = s.Limit.Limit;
    const double pad = 0.05 * std::max(curve.High - curve.Low, 1e-9 * std::max(1.0, std::fabs(curve.High)));
    QAVToolSvgPlot plot("Trade-off of " + s.Name, {0.5 * limit, 2.0 * limit, "limit"},
                        {curve.Low - pad, curve.High + pad, "optimal cost"});
    plot.Note("the optimal cost as the limit of " + s.Name + " goes from 0.5 to 2 times its value");
    plot.Line(curve.Points, "#1f77b4");
    plot.LegendLine("optimal cost", "#1f77b4");
    plot.Cross(limit, iAnswer.Cost, 7, "#d62728");
    plot.LegendCross("current limit", 7, "#d62728");
    if (&curve == &iAnswer.Curves.front())
      out << "<h2>Trade-off curves</h2>\n<p>What each binding limit costs: the optimal cost over "
          << iAnswer.CurvePoints << " limits from half to twice the current one (each certified)"
          << (iAnswer.BindingStackups > iAnswer.Curves.size() ? "; the " + std::to_string(iAnswer.Curves.size()) +
                  " of " + std::to_string(iAnswer.BindingStackups) + " binding limits whose loosening saves most"
                                                              : std::string())
          << ".</p>\n";
    out << plot.Text();
  }
}

void Functions(std::ostream& out, const Answer& iAnswer)
{
  if (iAnswer.Functions.empty())
    return;
  using Text = QAVToolAllocateText;
  out << "<h2>Stack-ups given by their function</h2>\n<p>The worst case over the allocated box on the linear model "
         "(sensitivities at the nominals) and on the true function, certified by interval branch and bound; "
      << iAnswer.FunctionSolves << " solves of the linear model." // the note as a sentence: 't' capitalised
      << (iAnswer.LocalOptimum ? " T" + std::string(Answer::kLocalOptimum + 1) + "." : "")
      << "</p>\n<table class=\"sortable\"><thead><tr><th>stack-up</th><th>function</th>"
         "<th>linear model</th><th>true function</th><th>certified</th><th>limit</th><th>model limit</th>"
         "<th>yield, linear model</th><th>yield, true function</th></tr></thead><tbody>\n";
  for (const Answer::Function& f : iAnswer.Functions)
  {
    const QAVTasFunctionAllocation::Check& c = f.Check;
    const bool yields = f.Yield.Defined;
    out << "<tr><td>" << Escape(iAnswer.Stackups[f.Stackup].Name) << "</td><td><code>" << Escape(f.Text)
        << "</code></td><td>" << QAVToolText::Format("%.8g", f.LinearValue) << "</td><td>"
        << QAVToolText::Format("%.8g", c.TrueValue) << "</td><td>" << (c.Certified ? "yes" : "no") << "</td><td>"
        << (c.TrueLaw ? QAVToolText::Format("%.8g", iAnswer.Stackups[f.Stackup].Limit.Limit) : "-") << "</td><td>"
        << (c.TrueLaw ? QAVToolText::Format("%.8g", c.ModelLimit) : "-") << "</td><td>"
        << (yields ? Text::Interval(f.Yield.Model) : "-") << "</td><td>"
        << (yields ? Text::Interval(f.Yield.True) : "-") << "</td></tr>\n";
  }
  out << "</tbody></table>\n";
}

// Each stack-up with a yield, then all at once.
void Yield(std::ostream& out, const Answer& iAnswer)
{
  if (!iAnswer.Yield)
    return;
  const QAVTasYieldEstimator::Report& yield = *iAnswer.Yield;
  std::ostringstream rows;
  const auto add = [&rows](const std::string& iName, const QAVTasYieldEstimator::Estimate& iE)
  {
    if (iE.Defined)
      QAVToolText::HtmlRow(rows,
                           {Escape(iName), Num(iE.Yield), Num(iE.Lower), Num(iE.Upper), Num(iE.PpmOut),
                            Num(iE.HasExact ? iE.Exact : std::nan(""))});
  };
  for (std::size_t j = 0; j < iAnswer.Stackups.size(); ++j)
    add(iAnswer.Stackups[j].Name, yield.Stackups[j]);
  add("all at once", yield.Joint);
  if (rows.tellp() == 0)
    return;
  out << "<h2>Yield</h2>\n<p>" << yield.Samples << " simulated assemblies ("
      << (yield.Qmc ? "quasi-Monte Carlo" : "Monte Carlo") << "), 95 % confidence intervals.</p>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "yield", "95 % low", "95 % high", "ppm out", "exact"});
  out << rows.str() << "</tbody></table>\n";
}
} // namespace

std::string QAVToolAllocationPage::Html(const QAVToolAllocateAnswer& iAnswer)
{
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" << Escape(iAnswer.Title)
      << "</title>\n<style>" << kStyle << "</style></head><body>\n<h1>" << Escape(iAnswer.Title) << "</h1>\n<p>"
      << iAnswer.Dimensions.size() << " dimensions, " << iAnswer.Stackups.size() << " stack-ups. Status: <b class=\""
      << (iAnswer.State == QAVTasAllocationResult::Status::Optimal ? "optimal" : "bad") << "\">" << iAnswer.Status
      << "</b>" << (iAnswer.Reason.empty() ? "" : " (" + Escape(iAnswer.Reason) + ")") << ".</p>\n"
      << "<h2>Certificate</h2>\n<table><tbody>\n";
  QAVToolText::HtmlRow(out, {"total cost", Num(iAnswer.Cost)});
  QAVToolText::HtmlRow(out, {"proven lower bound", Num(iAnswer.LowerBound)});
  QAVToolText::HtmlRow(out, {"relative gap", Num(iAnswer.RelativeGap)});
  out << "</tbody></table>\n";
  Loosening(out, iAnswer);
  Dimensions(out, iAnswer);
  Stackups(out, iAnswer);
  WhatBinds(out, iAnswer);
  Held(out, iAnswer);
  Capability(out, iAnswer);
  Curves(out, iAnswer);
  Functions(out, iAnswer);
  out << "<h2>Picture</h2>\n" << QAVToolAllocationPicture::Svg(iAnswer);
  Yield(out, iAnswer);
  out << "<p><small>Made by <code>" << Escape(iAnswer.CommandLine) << "</code>, " << Escape(iAnswer.Version)
      << ".</small></p>\n<script>" << kScript << "</script>\n</body></html>\n";
  return out.str();
}

const char* QAVToolAllocationPage::Style()
{
  return kStyle;
}

const char* QAVToolAllocationPage::Script()
{
  return kScript;
}

#include "QAVToolAllocationPage.h"

#include "QAVToolText.h"

#include "QAVTasAllocationFile.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasStackupContributions.h"
#include "QAVTasStackupLaw.h"
#include "QAVToolAllocateReport.h"
#include "QAVToolAllocationPicture.h"
#include "QAVToolSvgPlot.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace
{
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

double At(const std::vector<double>& iValues, std::size_t i)
{
  return i < iValues.size() ? iValues[i] : std::nan("");
}

void Dimensions(std::ostream& out, const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult)
{
  out << "<h2>Dimensions</h2>\n";
  QAVToolText::HtmlHead(out, {"dimension", "tolerance", "min", "max", "cost", "binds"});
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const auto& d = iProblem.Dimensions[i];
    const double t = At(iResult.Tolerances, i);
    const std::string binds = QAVToolAllocationBinds(iProblem, iResult, i);
    const bool free = !d.Fixed && d.Options.empty();
    QAVToolText::HtmlRow(out,
                         {QAVToolSvgPlot::Escape(d.Name), Num(t), free ? Num(d.Min) : "-", free ? Num(d.Max) : "-",
                          Num(QAVToolAllocationCost(iProblem, iResult, i)), QAVToolSvgPlot::Escape(binds)});
  }
  out << "</tbody></table>\n";
}

void Stackups(std::ostream& out, const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult)
{
  const QAVTasStackupContributions k(iProblem, iResult.Tolerances.data());
  out << "<h2>Stack-ups</h2>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "law", "value", "limit", "slack", "shadow price", "utilisation %"});
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const auto& s = iProblem.Stackups[j];
    const double v = iProblem.StackupValue(j, iResult.Tolerances.data());
    const bool linear = s.LawOf().Band();
    const double slack = linear ? std::min(v - s.Lower, s.Upper - v) : s.Limit - v;
    QAVToolText::HtmlRow(out,
                         {QAVToolSvgPlot::Escape(s.Name), QAVTasAllocationFile::LawName(s.Rule), Num(v),
                          linear ? "[" + Num(s.Lower) + ", " + Num(s.Upper) + "]" : Num(s.Limit), Num(slack),
                          Num(At(iResult.StackupPrices, j)), Num(100.0 * k.Utilisation[j])});
  }
  out << "</tbody></table>\n<h2>Contributions (% of each stack-up)</h2>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "dimension", "share %"});
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    for (const auto& sh : k.Shares[j])
      QAVToolText::HtmlRow(out,
                           {QAVToolSvgPlot::Escape(iProblem.Stackups[j].Name),
                            QAVToolSvgPlot::Escape(iProblem.Dimensions[sh.Dimension].Name), Num(sh.Percent)});
  out << "</tbody></table>\n";
}

// The requirements and bounds with a positive price, the costliest first.
void WhatBinds(std::ostream& out, const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult)
{
  std::vector<std::pair<double, std::string>> items;
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    if (At(iResult.StackupPrices, j) > 0)
      items.push_back({iResult.StackupPrices[j], "stack-up " + iProblem.Stackups[j].Name});
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    if (At(iResult.MinPrices, i) > 0)
      items.push_back({iResult.MinPrices[i], "lower bound of " + iProblem.Dimensions[i].Name});
    if (At(iResult.MaxPrices, i) > 0)
      items.push_back({iResult.MaxPrices[i], "upper bound of " + iProblem.Dimensions[i].Name});
  }
  std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  out << "<h2>What binds</h2>\n<ol>\n";
  for (const auto& [price, what] : items)
    out << "<li>" << QAVToolSvgPlot::Escape(what) << ": a unit of loosening saves " << Num(price) << "</li>\n";
  out << "</ol>\n";
  if (items.empty())
    out << (QAVTasSelectionPrices::AtCheapest(iProblem, iResult)
              ? "<p>Nothing binds.</p>\n"
              : "<p>No tolerance has a price at this selection, but the stack-ups hold some processes above "
                "their cheapest.</p>\n");
}

void Loosening(std::ostream& out, const QAVToolAllocateAnswer& iAnswer)
{
  const std::vector<QAVToolAllocateDiagnosis::Row> rows = iAnswer.Diagnosis.Rows();
  if (rows.empty())
    return;
  out << "<h2>Least loosening that makes it feasible</h2>\n<p>A limit T becomes T (1 + r); a linear band widens "
         "by r times its scale on both sides.</p>\n";
  QAVToolText::HtmlHead(out, {"stack-up", "r", "limit", "loosened limit"});
  for (const auto& r : rows)
    QAVToolText::HtmlRow(out, {QAVToolSvgPlot::Escape(r.Name), Num(r.Amount), r.Limit, r.Loosened});
  out << "</tbody></table>\n";
}

// Each stack-up with a yield, then all at once.
void Yield(std::ostream& out, const QAVToolAllocateAnswer& iAnswer)
{
  if (!iAnswer.Yield)
    return;
  const QAVTasYieldEstimator::Report& yield = *iAnswer.Yield;
  std::ostringstream rows;
  const auto add = [&rows](const std::string& iName, const QAVTasYieldEstimator::Estimate& iE)
  {
    if (iE.Defined)
      QAVToolText::HtmlRow(rows,
                           {QAVToolSvgPlot::Escape(iName), Num(iE.Yield), Num(iE.Lower), Num(iE.Upper), Num(iE.PpmOut),
                            Num(iE.HasExact ? iE.Exact : std::nan(""))});
  };
  for (std::size_t j = 0; j < iAnswer.Problem.Stackups.size(); ++j)
    add(iAnswer.Problem.Stackups[j].Name, yield.Stackups[j]);
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
  const QAVTasAllocationProblem& iProblem = iAnswer.Problem;
  const QAVTasAllocationResult& iResult = iAnswer.Result;
  const QAVToolAllocateAnswer::Labels& names = iAnswer.Names;
  std::ostringstream out;
  const char* status = QAVToolAllocationStatusName(iResult.State);
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>"
      << QAVToolSvgPlot::Escape(names.Title) << "</title>\n<style>" << kStyle << "</style></head><body>\n<h1>"
      << QAVToolSvgPlot::Escape(names.Title) << "</h1>\n<p>" << iProblem.Dimensions.size() << " dimensions, "
      << iProblem.Stackups.size() << " stack-ups. Status: <b class=\""
      << (iResult.State == QAVTasAllocationResult::Status::Optimal ? "optimal" : "bad") << "\">" << status << "</b>"
      << (iResult.Reason.empty() ? "" : " (" + QAVToolSvgPlot::Escape(iResult.Reason) + ")") << ".</p>\n"
      << "<h2>Certificate</h2>\n<table><tbody>\n";
  QAVToolText::HtmlRow(out, {"total cost", Num(iResult.Cost)});
  QAVToolText::HtmlRow(out, {"proven lower bound", Num(iResult.LowerBound)});
  QAVToolText::HtmlRow(out, {"relative gap", Num(iResult.RelativeGap)});
  out << "</tbody></table>\n";
  Loosening(out, iAnswer);
  Dimensions(out, iProblem, iResult);
  Stackups(out, iProblem, iResult);
  WhatBinds(out, iProblem, iResult);
  out << QAVToolSelectionHtml(iProblem, iAnswer.Held) << iAnswer.Capability.Html() << iAnswer.Functions.Html();
  out << "<h2>Picture</h2>\n" << QAVToolAllocationPicture::Svg(iAnswer);
  Yield(out, iAnswer);
  out << "<p><small>Made by <code>" << QAVToolSvgPlot::Escape(names.CommandLine) << "</code>, "
      << QAVToolSvgPlot::Escape(names.Version) << ".</small></p>\n<script>" << kScript << "</script>\n</body></html>\n";
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

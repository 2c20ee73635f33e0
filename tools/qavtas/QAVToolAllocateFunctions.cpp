#include "QAVToolAllocateFunctions.h"

#include "QAVToolText.h"

#include "QAVToolSvgPlot.h"

#include <cstdio>

using Json = nlohmann::ordered_json;

namespace
{
std::string Interval(const QAVTasStackupAnalysis::Interval& iY)
{
  return QAVToolText::Format("%.7f", iY.Estimate) + " [" + QAVToolText::Format("%.7f", iY.Lower) + ", " +
    QAVToolText::Format("%.7f", iY.Upper) + "]";
}
} // namespace

QAVToolAllocateFunctions::QAVToolAllocateFunctions(const QAVTasAllocationProblem& iProblem,
                                                   const QAVTasFunctionAllocation::Result& iResult)
  : _Problem(iProblem), _Result(iResult)
{
  for (const QAVTasAllocationProblem::Stackup& s : iProblem.Stackups)
    _Any = _Any || !s.Function.empty();
  if (_Any && !iResult.Checks.empty())
    _Yields = QAVTasFunctionAllocation().Yields(iProblem, iResult.Answer.Tolerances, kSamples, 1);
}

std::string QAVToolAllocateFunctions::Extend(const std::string& iReport) const
{
  if (!_Any || _Result.Checks.empty())
    return iReport;
  std::string text = iReport + "\nstack-ups given by their function (" + std::to_string(_Result.Rounds) +
    " solves of the linear model)\n";
  for (std::size_t j = 0; j < _Problem.Stackups.size(); ++j)
  {
    const QAVTasAllocationProblem::Stackup& s = _Problem.Stackups[j];
    const QAVTasFunctionAllocation::Check& c = _Result.Checks[j];
    if (s.Function.empty())
      continue;
    text += "  " + s.Name + " = " + s.Function + "\n    sensitivities at the nominals:";
    for (const auto& [i, w] : s.Sensitivity)
      text += " " + _Problem.Dimensions[static_cast<std::size_t>(i)].Name + " " + QAVToolText::Format("%.8g", w);
    text += "\n    worst case over the box: linear model " + QAVToolText::Format("%.8g", c.ModelValue) +
      ", true function " + QAVToolText::Format("%.8g", c.TrueValue) +
      (c.Certified ? " (certified)" : " (NOT certified: up to " + QAVToolText::Format("%.8g", c.TrueBound) + ")") +
      ", range [" + QAVToolText::Format("%.8g", c.Min) + ", " + QAVToolText::Format("%.8g", c.Max) + "] about " +
      QAVToolText::Format("%.8g", c.Reference) + "\n";
    if (c.TrueLaw)
      text += "    limit " + QAVToolText::Format("%.8g", s.Limit) +
        ", held on the true function; the linear model's limit " + QAVToolText::Format("%.8g", c.ModelLimit) + "\n";
    if (j < _Yields.size() && _Yields[j].Defined)
      text += "    yield (" + std::to_string(kSamples) + " assemblies): linear model " + Interval(_Yields[j].Model) +
        ", true function " + Interval(_Yields[j].True) + "\n";
  }
  return text;
}

void QAVToolAllocateFunctions::ExtendJson(Json& ioAnswer) const
{
  if (!_Any || _Result.Checks.empty())
    return;
  Json functions = Json::object();
  for (std::size_t j = 0; j < _Problem.Stackups.size(); ++j)
  {
    const QAVTasAllocationProblem::Stackup& s = _Problem.Stackups[j];
    const QAVTasFunctionAllocation::Check& c = _Result.Checks[j];
    if (s.Function.empty())
      continue;
    Json sensitivities = Json::object();
    for (const auto& [i, w] : s.Sensitivity)
      sensitivities[_Problem.Dimensions[static_cast<std::size_t>(i)].Name] = w;
    Json item = {{"function", s.Function},    {"sensitivities", sensitivities}, {"reference", c.Reference},
                 {"range", {c.Min, c.Max}},   {"linear_value", c.ModelValue},   {"true_value", c.TrueValue},
                 {"true_bound", c.TrueBound}, {"certified", c.Certified}};
    if (c.TrueLaw)
      item["limit"] = s.Limit, item["model_limit"] = c.ModelLimit;
    if (j < _Yields.size() && _Yields[j].Defined)
    {
      const auto& y = _Yields[j];
      item["yield"] = {{"samples", kSamples},
                       {"model", y.Model.Estimate},
                       {"model_ci95", {y.Model.Lower, y.Model.Upper}},
                       {"true", y.True.Estimate},
                       {"true_ci95", {y.True.Lower, y.True.Upper}}};
    }
    functions[s.Name] = item;
  }
  ioAnswer["functions"] = functions;
  ioAnswer["function_solves"] = _Result.Rounds;
}

std::string QAVToolAllocateFunctions::Html() const
{
  if (!_Any || _Result.Checks.empty())
    return {};
  std::string html = "<h2>Stack-ups given by their function</h2>\n<p>The worst case over the allocated box on the "
                     "linear model (sensitivities at the nominals) and on the true function, certified by interval "
                     "branch and bound; " +
    std::to_string(_Result.Rounds) +
    " solves of the linear model.</p>\n<table class=\"sortable\"><thead><tr><th>stack-up</th><th>function</th>"
    "<th>linear model</th><th>true function</th><th>certified</th><th>limit</th><th>model limit</th>"
    "<th>yield, linear model</th><th>yield, true function</th></tr></thead><tbody>\n";
  for (std::size_t j = 0; j < _Problem.Stackups.size(); ++j)
  {
    const QAVTasAllocationProblem::Stackup& s = _Problem.Stackups[j];
    const QAVTasFunctionAllocation::Check& c = _Result.Checks[j];
    if (s.Function.empty())
      continue;
    const bool yields = j < _Yields.size() && _Yields[j].Defined;
    html += "<tr><td>" + QAVToolSvgPlot::Escape(s.Name) + "</td><td><code>" + QAVToolSvgPlot::Escape(s.Function) +
      "</code></td><td>" + QAVToolText::Format("%.8g", c.ModelValue) + "</td><td>" +
      QAVToolText::Format("%.8g", c.TrueValue) + "</td><td>" + (c.Certified ? "yes" : "no") + "</td><td>" +
      (c.TrueLaw ? QAVToolText::Format("%.8g", s.Limit) : "-") + "</td><td>" +
      (c.TrueLaw ? QAVToolText::Format("%.8g", c.ModelLimit) : "-") + "</td><td>" +
      (yields ? Interval(_Yields[j].Model) : "-") + "</td><td>" + (yields ? Interval(_Yields[j].True) : "-") +
      "</td></tr>\n";
  }
  return html + "</tbody></table>\n";
}

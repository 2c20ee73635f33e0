#include "QAVToolAllocateSelection.h"

#include "QAVToolSvgPlot.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

using Json = nlohmann::ordered_json;
using Verdict = QAVTasSelectionPrices::Verdict;

namespace
{
const char* Said(Verdict iVerdict)
{
  return iVerdict == Verdict::Yes ? "yes" : iVerdict == Verdict::No ? "no" : "not known";
}

std::string Number(double iValue)
{
  if (std::isnan(iValue))
    return "not known";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", iValue);
  return text;
}

std::string Line(const std::string& iName, const std::string& iKeeps, const std::string& iSaving)
{
  char text[256];
  std::snprintf(text, sizeof text, "  %-20s %-34s %s\n", iName.c_str(), iKeeps.c_str(), iSaving.c_str());
  return text;
}

std::string Text(const QAVTasAllocationProblem& iProblem, const QAVToolSelectionHeld& iHeld)
{
  std::string text = "\nwhat each stack-up holds (re-solved without it, and with its limit 10 % looser):\n" +
    Line("stack-up", "keeps a cheaper selection out", "saving at 110 % of the limit");
  for (std::size_t j = 0; j < iHeld.size(); ++j)
    text += Line(iProblem.Stackups[j].Name, Said(iHeld[j].KeepsCheaperOut), Number(iHeld[j].Saving));
  return text;
}

} // namespace

std::string QAVToolAddSelection(const std::string& iReport, const QAVTasAllocationProblem& iProblem,
                                const QAVToolSelectionHeld& iHeld)
{
  return iHeld.empty() ? iReport : iReport + Text(iProblem, iHeld);
}

// The answer's stack-ups come in the problem's order: walking both at once finds each node without
// looking its name up (an ordered object's lookup is linear).
void QAVToolAddSelectionJson(Json& ioAnswer, const QAVTasAllocationProblem& iProblem, const QAVToolSelectionHeld& iHeld)
{
  if (iHeld.empty())
    return;
  std::size_t j = 0;
  for (auto& [name, node] : ioAnswer["stackups"].get_ref<Json::object_t&>())
  {
    while (j < iHeld.size() && iProblem.Stackups[j].Name != name)
      ++j;
    if (j == iHeld.size())
      return;
    const Verdict keeps = iHeld[j].KeepsCheaperOut;
    node["keeps_cheaper_out"] = keeps == Verdict::Unknown ? Json(nullptr) : Json(keeps == Verdict::Yes);
    node["saving_at_110pct"] = std::isnan(iHeld[j].Saving) ? Json(nullptr) : Json(iHeld[j].Saving);
  }
}

std::string QAVToolSelectionHtml(const QAVTasAllocationProblem& iProblem, const QAVToolSelectionHeld& iHeld)
{
  if (iHeld.empty())
    return "";
  std::string html = "<h2>What each stack-up holds</h2>\n<p>Each stack-up re-solved without it, and with its limit "
                     "10 % looser.</p>\n<table class=\"sortable\"><thead><tr><th>stack-up</th><th>keeps a cheaper "
                     "selection out</th><th>saving at 110 % of the limit</th></tr></thead><tbody>\n";
  for (std::size_t j = 0; j < iHeld.size(); ++j)
    html += "<tr><td>" + QAVToolSvgPlot::Escape(iProblem.Stackups[j].Name) + "</td><td>" +
      Said(iHeld[j].KeepsCheaperOut) + "</td><td>" + Number(iHeld[j].Saving) + "</td></tr>\n";
  return html + "</tbody></table>\n";
}

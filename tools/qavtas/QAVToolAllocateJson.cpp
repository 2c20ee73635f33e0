#include "QAVToolAllocateJson.h"

#include "QAVToolText.h"

#include <cmath>
#include <utility>

namespace
{
using Answer = QAVToolAllocateAnswer;
using Json = nlohmann::ordered_json;
using Status = QAVTasAllocationResult::Status;

void Append(Json& ioObject, const std::string& iKey, Json iValue)
{
  QAVToolAllocateJson::Append(ioObject, iKey, std::move(iValue));
}

Json Tolerances(const Answer& iAnswer)
{
  Json tolerances = Json::object();
  for (const Answer::Dimension& d : iAnswer.Dimensions)
    Append(tolerances, d.Name, d.Tolerance);
  return tolerances;
}

// A stack-up's law, value and limit (a band: its lower and upper end).
Json Requirement(const Answer::Stackup& iS)
{
  Json node = {{"law", iS.Law}, {"value", iS.Value}};
  if (iS.Limit.Linear)
  {
    node["lower"] = iS.Limit.Lower;
    node["upper"] = iS.Limit.Upper;
  }
  else
    node["limit"] = iS.Limit.Limit;
  return node;
}

// The stack-ups of an optimum, with what each holds of a pure selection.
Json Stackups(const Answer& iAnswer)
{
  using Verdict = QAVTasSelectionPrices::Verdict;
  Json stackups = Json::object();
  for (std::size_t j = 0; j < iAnswer.Stackups.size(); ++j)
  {
    Json node = Requirement(iAnswer.Stackups[j]);
    node["shadow_price"] = iAnswer.Stackups[j].Price;
    if (j < iAnswer.Held.size())
    {
      const Verdict keeps = iAnswer.Held[j].KeepsCheaperOut;
      node["keeps_cheaper_out"] = keeps == Verdict::Unknown ? Json(nullptr) : Json(keeps == Verdict::Yes);
      node["saving_at_110pct"] = std::isnan(iAnswer.Held[j].Saving) ? Json(nullptr) : Json(iAnswer.Held[j].Saving);
    }
    Append(stackups, iAnswer.Stackups[j].Name, std::move(node));
  }
  return stackups;
}

// Each stack-up's contributors in percent of its value, and the share of its limit it uses.
void AddContributions(const Answer& iAnswer, Json& ioJson)
{
  Json shares = Json::object(), used = Json::object();
  for (const Answer::Stackup& s : iAnswer.Stackups)
  {
    Json node = Json::object();
    for (const Answer::Share& share : s.Shares)
      Append(node, iAnswer.Dimensions[share.Dimension].Name, share.Percent);
    Append(shares, s.Name, std::move(node));
    Append(used, s.Name, s.Utilisation);
  }
  ioJson["contributions"] = std::move(shares);
  ioJson["utilisation"] = std::move(used);
}

Json Solution(const Answer& iAnswer)
{
  Json json = {{"status", iAnswer.Status}};
  if (iAnswer.State != Status::Optimal)
  {
    json["reason"] = iAnswer.Reason;
    return json;
  }
  json["cost"] = iAnswer.Cost;
  json["lower_bound"] = iAnswer.LowerBound;
  json["relative_gap"] = iAnswer.RelativeGap;
  json["iterations"] = iAnswer.Iterations;
  json["tolerances"] = Tolerances(iAnswer);
  json["stackups"] = Stackups(iAnswer);
  AddContributions(iAnswer, json);
  return json;
}

// A design whose tolerances are all fixed: its stack-ups at them.
Json FixedStackups(const Answer& iAnswer)
{
  Json stackups = Json::object();
  for (const Answer::Stackup& s : iAnswer.Stackups)
    if (s.HasLaw)
    {
      Json node = Requirement(s);
      node["utilisation"] = s.Utilisation;
      Append(stackups, s.Name, std::move(node));
    }
  return stackups;
}

void AddLoosening(const Answer& iAnswer, Json& ioJson)
{
  const Answer::Diagnosis& d = iAnswer.Loosening;
  if (!d.Ran)
    return;
  if (iAnswer.FixedDesign)
  {
    ioJson["tolerances"] = Tolerances(iAnswer);
    ioJson["stackups"] = FixedStackups(iAnswer);
  }
  if (!d.Solved)
  {
    ioJson["relaxation"] = nullptr;
    ioJson["relaxation_reason"] = d.Reason;
    return;
  }
  Json relaxation = Json::object();
  for (const Answer::LooseningRow& row : d.Rows)
    Append(relaxation, iAnswer.Stackups[row.Stackup].Name, row.Amount);
  ioJson["relaxation"] = std::move(relaxation);
  Json conflict = Json::array();
  for (const std::size_t j : d.Conflict)
    conflict.push_back(iAnswer.Stackups[j].Name);
  ioJson["conflict"] = std::move(conflict);
}

Json Function(const Answer& iAnswer, const Answer::Function& iF)
{
  const QAVTasFunctionAllocation::Check& c = iF.Check;
  Json sensitivities = Json::object();
  for (const auto& [i, w] : iF.Sensitivities)
    sensitivities[iAnswer.Dimensions[i].Name] = w;
  Json item = {{"function", iF.Text},       {"sensitivities", sensitivities}, {"reference", c.Reference},
               {"range", {c.Min, c.Max}},   {"linear_value", iF.LinearValue}, {"true_value", c.TrueValue},
               {"true_bound", c.TrueBound}, {"certified", c.Certified}};
  if (c.TrueLaw)
    item["limit"] = iAnswer.Stackups[iF.Stackup].Limit.Limit, item["model_limit"] = c.ModelLimit,
    item["tangent"] = c.Tangent;
  if (iF.Yield.Defined)
    item["yield"] = {{"samples", iAnswer.FunctionSamples},
                     {"model", iF.Yield.Model.Estimate},
                     {"model_ci95", {iF.Yield.Model.Lower, iF.Yield.Model.Upper}},
                     {"true", iF.Yield.True.Estimate},
                     {"true_ci95", {iF.Yield.True.Lower, iF.Yield.True.Upper}}};
  return item;
}

void AddFunctions(const Answer& iAnswer, Json& ioJson)
{
  if (iAnswer.Functions.empty())
    return;
  Json functions = Json::object();
  for (const Answer::Function& f : iAnswer.Functions)
    functions[iAnswer.Stackups[f.Stackup].Name] = Function(iAnswer, f);
  ioJson["functions"] = functions;
  ioJson["function_solves"] = iAnswer.FunctionSolves;
}

// The selection of an unfinished search comes with its cost and certificate.
void AddProcesses(const Answer& iAnswer, Json& ioJson)
{
  if (!iAnswer.Selected)
    return;
  if (iAnswer.State != Status::Optimal)
  {
    ioJson["cost"] = iAnswer.Cost;
    ioJson["lower_bound"] = iAnswer.LowerBound;
    ioJson["relative_gap"] = iAnswer.RelativeGap;
    ioJson["tolerances"] = Tolerances(iAnswer);
  }
  Json processes = Json::object();
  for (const Answer::Dimension& d : iAnswer.Dimensions)
    if (!d.Process.empty())
      Append(processes, d.Name, d.Process);
  ioJson["processes"] = std::move(processes);
  ioJson["nodes"] = iAnswer.Nodes;
}

Json Figures(const QAVTasYieldEstimator::Estimate& iE)
{
  if (!iE.Defined)
    return {{"yield", nullptr}, {"note", "undefined for a linear row"}};
  Json figures = {{"yield", iE.Yield}, {"ci95", {iE.Lower, iE.Upper}}, {"ppm_out", iE.PpmOut}};
  if (iE.HasExact)
    figures["exact"] = iE.Exact;
  return figures;
}

void AddYield(const Answer& iAnswer, Json& ioJson)
{
  if (!iAnswer.Yield)
    return;
  const QAVTasYieldEstimator::Estimate& joint = iAnswer.Yield->Joint;
  Json yield = {{"joint", joint.Defined ? Json(joint.Yield) : Json(nullptr)}};
  const Json figures = Figures(joint);
  for (const auto& [key, value] : figures.items())
    if (key != "yield")
      yield[key] = value;
  yield["samples"] = iAnswer.Yield->Samples;
  yield["method"] = iAnswer.Yield->Qmc ? "qmc" : "mc";
  Json stackups = Json::object();
  for (std::size_t j = 0; j < iAnswer.Stackups.size(); ++j)
    Append(stackups, iAnswer.Stackups[j].Name, Figures(iAnswer.Yield->Stackups[j]));
  yield["stackups"] = std::move(stackups);
  ioJson["method"] = yield["method"];
  ioJson["yield"] = std::move(yield);
}

void AddCapability(const Answer& iAnswer, Json& ioJson)
{
  const Answer::Capability& c = iAnswer.Capabilities;
  if (!c.Applies)
    return;
  Json stackups = Json::object();
  for (const Answer::CapabilityRow& s : c.Rows)
    stackups[s.Name] = {{"mean", s.Mean},
                        {"sigma", s.Sigma},
                        {"cp", QAVToolText::Figure(s.Cp)},
                        {"cpk", QAVToolText::Figure(s.Cpk)},
                        {"ppm_below", QAVToolText::Figure(s.PpmBelow)},
                        {"ppm_above", QAVToolText::Figure(s.PpmAbove)}};
  const Json joint = {{"target", c.Target > 0.0 ? Json(c.Target) : Json(nullptr)},
                      {"yield", c.Joint.Estimate},
                      {"ci95", {c.Joint.Lower, c.Joint.Upper}}};
  ioJson["capability"] = {{"samples", c.Samples}, {"stackups", stackups}, {"joint", joint}};
}
} // namespace

std::string QAVToolAllocateJson::Text(const QAVToolAllocateAnswer& iAnswer)
{
  Json json = Solution(iAnswer);
  AddLoosening(iAnswer, json);
  AddFunctions(iAnswer, json);
  AddProcesses(iAnswer, json);
  AddYield(iAnswer, json);
  AddCapability(iAnswer, json);
  return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void QAVToolAllocateJson::Append(nlohmann::ordered_json& ioObject, const std::string& iKey,
                                 nlohmann::ordered_json iValue)
{
  ioObject.get_ref<nlohmann::ordered_json::object_t&>().emplace_back(iKey, std::move(iValue));
}

// QAVTasAllocationFile::Write and the names of the laws: the problem file of a problem, in the order a reader expects.
#include "QAVTasAllocationFile.h"

#include "QAVTasStackupLaw.h"
#include "QAVTasStackupLaws.h"

#include <nlohmann/json.hpp>

namespace
{
using Json = nlohmann::ordered_json;
using Problem = QAVTasAllocationProblem;

Json CostOf(const Problem::Cost& iCost)
{
  switch (iCost.Model)
  {
    case Problem::CostModel::Reciprocal:
      return {{"model", "reciprocal"}, {"a", iCost.A}, {"b", iCost.B}};
    case Problem::CostModel::Power:
      return {{"model", "power"}, {"a", iCost.A}, {"b", iCost.B}, {"k", iCost.K}};
    case Problem::CostModel::Exponential:
      return {{"model", "exponential"}, {"a", iCost.A}, {"b", iCost.B}, {"m", iCost.M}};
    case Problem::CostModel::Table:
    {
      Json points = Json::array();
      for (const auto& [t, cost] : iCost.Points)
        points.push_back({t, cost});
      return {{"model", "table"}, {"points", points}};
    }
    case Problem::CostModel::None:
      break;
  }
  return nullptr;
}

Json DimensionOf(const Problem::Dimension& iDimension)
{
  Json node = {{"name", iDimension.Name}};
  if (iDimension.Nominal != 0.0)
    node["nominal"] = iDimension.Nominal;
  if (iDimension.Plus + iDimension.Minus > 0.0)
  {
    node["plus"] = iDimension.Plus;
    node["minus"] = iDimension.Minus;
  }
  else if (iDimension.Fixed)
    node["tolerance"] = iDimension.Tolerance;
  else if (!iDimension.Options.empty())
  {
    node["options"] = Json::array();
    for (const Problem::Option& option : iDimension.Options)
    {
      node["options"].push_back({{"tolerance", option.Tolerance}, {"cost", option.CostValue}});
      if (!option.Process.empty())
        node["options"].back()["process"] = option.Process;
    }
  }
  else
  {
    node["min"] = iDimension.Min;
    node["max"] = iDimension.Max;
  }
  if (iDimension.CostOf.Model != Problem::CostModel::None)
    node["cost"] = CostOf(iDimension.CostOf);
  if (iDimension.MeanShift != 0.0)
    node["mean_shift"] = iDimension.MeanShift;
  if (iDimension.Spread != Problem::Distribution::Normal)
    node["distribution"] = iDimension.Spread == Problem::Distribution::Uniform ? "uniform" : "triangular";
  if (iDimension.Sigma > 0.0)
    node["sigma"] = iDimension.Sigma;
  else if (iDimension.Cp != 1.0)
    node["cp"] = iDimension.Cp;
  if (iDimension.HasProcessMean)
    node["process_mean"] = iDimension.ProcessMean;
  return node;
}

Json StackupOf(const Problem& iProblem, const Problem::Stackup& iStackup)
{
  Json node = {{"name", iStackup.Name}};
  if (iStackup.HasLaw)
    node["law"] = QAVTasAllocationFile::LawName(iStackup.Rule);
  const QAVTasStackupLaw* law = QAVTasStackupLaws::Find(iStackup.Rule);
  const bool limit = iStackup.HasLaw && !iStackup.LimitFromWindow;
  if (limit && law != nullptr && law->Band())
  {
    node["lower"] = iStackup.Lower;
    node["upper"] = iStackup.Upper;
  }
  else if (limit)
    node["limit"] = iStackup.Limit;
  if (iStackup.HasLaw && law != nullptr && law->TakesFactor() && iStackup.Factor != 1.0)
    node["factor"] = iStackup.Factor;
  if (iStackup.Constant != 0.0 && iStackup.Function.empty())
    node["constant"] = iStackup.Constant;
  if (iStackup.HasLsl)
    node["lsl"] = iStackup.Lsl;
  if (iStackup.HasUsl)
    node["usl"] = iStackup.Usl;
  if (iStackup.Cpk > 0.0)
    node["cpk"] = iStackup.Cpk;
  Json sensitivities = Json::object();
  for (const auto& [index, s] : iStackup.Sensitivity)
    sensitivities[iProblem.Dimensions[static_cast<std::size_t>(index)].Name] = s;
  if (!iStackup.Function.empty())
    node["function"] = iStackup.Function;
  // A function's sensitivities are derived from it: a note, to show the linear model used.
  node[iStackup.Function.empty() ? "sensitivities" : "x-sensitivities"] = sensitivities;
  return node;
}
} // namespace

// One item a line, so that a problem of a thousand dimensions stays a file to read.
std::string QAVTasAllocationFile::Write(const QAVTasAllocationProblem& iProblem)
{
  const auto line = [](const Json& iItem) { return iItem.dump(-1, ' ', false, Json::error_handler_t::replace); };
  std::string text = "{\n  \"format\": \"" + std::string(kFormat) + "\",\n  \"dimensions\": [";
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
    text += (i == 0 ? "\n    " : ",\n    ") + line(DimensionOf(iProblem.Dimensions[i]));
  text += "\n  ],\n  \"stackups\": [";
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    text += (j == 0 ? "\n    " : ",\n    ") + line(StackupOf(iProblem, iProblem.Stackups[j]));
  text += "\n  ]";
  if (iProblem.Yield > 0.0)
    text += ",\n  \"yield\": " + line(Json(iProblem.Yield));
  return text + "\n}\n";
}

const char* QAVTasAllocationFile::LawName(QAVTasAllocationProblem::Law iLaw)
{
  const QAVTasStackupLaw* law = QAVTasStackupLaws::Find(iLaw);
  return law != nullptr ? law->Name() : "";
}

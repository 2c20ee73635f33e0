#include "QAVToolAllocateDiagnosis.h"

#include "QAVToolText.h"

#include "QAVTasAllocationFile.h"
#include "QAVTasStackupContributions.h"
#include "QAVTasStackupLaw.h"
#include "QAVToolAllocateReport.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace
{
using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Json = nlohmann::ordered_json;

} // namespace

QAVToolAllocateDiagnosis::QAVToolAllocateDiagnosis(const Problem& iProblem, const Result& iResult, double iTimeLimit)
  : _Problem(iProblem), _Result(iResult)
{
  QAVTasAllocationDiagnosis::Options options;
  options.TimeLimit = iTimeLimit;
  if (iResult.State == Result::Status::Infeasible)
    _Report =
      std::make_unique<QAVTasAllocationDiagnosis::Report>(QAVTasAllocationDiagnosis(options).Diagnose(iProblem));
}

bool QAVToolAllocateDiagnosis::FixedDesign(const Problem& iProblem)
{
  for (const Problem::Dimension& d : iProblem.Dimensions)
    if (!d.Fixed)
      return false;
  return true;
}

std::string QAVToolAllocateDiagnosis::LimitOf(std::size_t iStackup, double iR) const
{
  const Problem::Stackup& s = _Problem.Stackups[iStackup];
  const double amount = iR * QAVTasAllocationDiagnosis::Scale(_Problem, iStackup);
  if (!s.LawOf().Band())
    return QAVToolText::Format("%.7g", s.Limit + amount);
  return "[" + QAVToolText::Format("%.7g", s.Lower - amount) + ", " + QAVToolText::Format("%.7g", s.Upper + amount) +
    "]";
}

std::vector<QAVToolAllocateDiagnosis::Row> QAVToolAllocateDiagnosis::Rows() const
{
  std::vector<Row> rows;
  if (!_Report || !_Report->Solved)
    return rows;
  for (std::size_t j = 0; j < _Problem.Stackups.size(); ++j)
    if (_Report->Loosening[j] > 0.0)
      rows.push_back(
        {_Problem.Stackups[j].Name, _Report->Loosening[j], LimitOf(j, 0.0), LimitOf(j, _Report->Loosening[j])});
  return rows;
}

std::string QAVToolAllocateDiagnosis::Extend(const std::string& iReport) const
{
  return _Report ? iReport + Text() : iReport;
}

std::string QAVToolAllocateDiagnosis::Text() const
{
  std::string text;
  if (FixedDesign(_Problem))
  {
    const QAVTasStackupContributions k(_Problem, _Result.Tolerances.data());
    text += "\nstack-ups at the fixed tolerances\n  " + QAVToolText::Padded("stack-up", 21) +
      QAVToolText::Padded("law", 13) + QAVToolText::Padded("value", 17) + QAVToolText::Padded("limit", 27) +
      "utilisation\n";
    for (std::size_t j = 0; j < _Problem.Stackups.size(); ++j)
    {
      const Problem::Stackup& s = _Problem.Stackups[j];
      if (!s.HasLaw)
        continue;
      text += "  " + QAVToolText::Padded(s.Name, 21) + QAVToolText::Padded(QAVTasAllocationFile::LawName(s.Rule), 13) +
        QAVToolText::Padded(QAVToolText::Format("%.10g", _Result.StackupValues[j]), 17) +
        QAVToolText::Padded(LimitOf(j, 0.0), 27) + QAVToolText::Format("%.1f %%", 100.0 * k.Utilisation[j]) + "\n";
    }
  }
  if (!_Report->Solved)
    return text + "\nleast loosening of the limits: not found: " + _Report->Reason + "\n";
  text += "\nleast loosening of the limits that makes it feasible (a limit T becomes T (1 + r); a linear band\n"
          "widens by r times its scale on both sides)\n  " +
    QAVToolText::Padded("stack-up", 21) + QAVToolText::Padded("r", 17) + QAVToolText::Padded("limit", 27) +
    "loosened limit\n";
  for (const Row& row : Rows())
    text += "  " + QAVToolText::Padded(row.Name, 21) +
      QAVToolText::Padded(QAVToolText::Format("%.7g", row.Amount), 17) + QAVToolText::Padded(row.Limit, 27) +
      row.Loosened + "\n";
  text += "  total " + QAVToolText::Format("%.10g", _Report->Total) + ", proven lower bound " +
    QAVToolText::Format("%.10g", _Report->LowerBound) + "\n  in conflict (loosened, or on its limit there):";
  for (const std::int32_t j : _Report->Conflict)
    text += " " + _Problem.Stackups[j].Name;
  return text + "\n";
}

void QAVToolAllocateDiagnosis::ExtendJson(::Json& ioAnswer) const
{
  if (!_Report)
    return;
  ::Json& answer = ioAnswer;
  if (FixedDesign(_Problem))
  {
    const QAVTasStackupContributions k(_Problem, _Result.Tolerances.data());
    answer["tolerances"] = QAVToolAllocationTolerances(_Problem, _Result);
    ::Json stackups = ::Json::object();
    for (std::size_t j = 0; j < _Problem.Stackups.size(); ++j)
    {
      const Problem::Stackup& s = _Problem.Stackups[j];
      if (!s.HasLaw)
        continue;
      ::Json node = ::Json::object();
      node["law"] = QAVTasAllocationFile::LawName(s.Rule);
      node["value"] = _Result.StackupValues[j];
      if (s.LawOf().Band())
        node["lower"] = s.Lower, node["upper"] = s.Upper;
      else
        node["limit"] = s.Limit;
      node["utilisation"] = k.Utilisation[j];
      QAVToolJsonAppend(stackups, s.Name, std::move(node));
    }
    answer["stackups"] = std::move(stackups);
  }
  if (_Report->Solved)
  {
    ::Json relaxation = ::Json::object();
    for (const Row& row : Rows())
      QAVToolJsonAppend(relaxation, row.Name, row.Amount);
    answer["relaxation"] = std::move(relaxation);
    ::Json conflict = ::Json::array();
    for (const std::int32_t j : _Report->Conflict)
      conflict.push_back(_Problem.Stackups[j].Name);
    answer["conflict"] = std::move(conflict);
  }
  else
  {
    answer["relaxation"] = nullptr;
    answer["relaxation_reason"] = _Report->Reason;
  }
}

#include "QAVToolAnalysisReport.h"

#include "QAVToolText.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>

using Analysis = QAVTasStackupAnalysis;
using Json = nlohmann::ordered_json;

namespace
{
std::string Num(double iValue, const char* iFormat = "%.6g")
{
  if (!std::isfinite(iValue))
    return std::isnan(iValue) ? "-" : iValue > 0 ? "inf" : "-inf";
  char text[64];
  std::snprintf(text, sizeof text, iFormat, iValue == 0.0 ? 0.0 : iValue);
  return text;
}

const char* Word(Analysis::Verdict iVerdict)
{
  switch (iVerdict)
  {
    case Analysis::Verdict::Met:
      return "met";
    case Analysis::Verdict::NotMet:
      return "NOT met";
    case Analysis::Verdict::NoRequirement:
      break;
  }
  return "no limit";
}

Json Meets(Analysis::Verdict iVerdict)
{
  return iVerdict == Analysis::Verdict::NoRequirement ? Json(nullptr) : Json(iVerdict == Analysis::Verdict::Met);
}

std::string Requirement(const Analysis::Stackup& iS)
{
  if (iS.HasLsl && iS.HasUsl)
    return "[" + Num(iS.Lsl) + ", " + Num(iS.Usl) + "]";
  return iS.HasLsl ? ">= " + Num(iS.Lsl) : iS.HasUsl ? "<= " + Num(iS.Usl) : "none";
}

void TextOf(std::ostream& out, const QAVTasAllocationProblem& iProblem, const Analysis::Stackup& iS, bool iSimulated)
{
  out << "stack-up " << iS.Name << "   requirement " << Requirement(iS) << "\n";
  out << "  nominal " << Num(iS.Nominal) << "   at the tolerance centres " << Num(iS.Centre) << "\n";
  out << "  worst case    [" << Num(iS.WorstMin) << ", " << Num(iS.WorstMax) << "]   " << Word(iS.WorstCase);
  if (iS.Nonlinear)
    out << (iS.WorstCaseCertified    ? "   (true function, certified)"
              : !iS.WorstCaseDefined ? "   (true function, NOT defined everywhere in the box)"
                                     : "   (true function, NOT certified: gap " + Num(iS.WorstCaseGap) + ")");
  out << "\n";
  out << "  statistical   mean " << Num(iS.Mean) << "   sigma " << Num(iS.Sigma) << "   Cp " << Num(iS.Cp, "%.4g")
      << "   Cpk " << Num(iS.Cpk, "%.4g") << "   ppm below " << Num(iS.PpmBelow, "%.4g") << "   above "
      << Num(iS.PpmAbove, "%.4g") << (iS.PpmExact ? " (exact)" : " (simulated)") << "   " << Word(iS.Statistical)
      << "\n";
  if (iS.Nonlinear)
    out << "  second order  mean " << Num(iS.Mean2) << "   sigma " << Num(iS.Sigma2) << "\n";
  if (iSimulated)
  {
    const Analysis::Simulation& mc = iS.Mc;
    out << "  simulated     mean " << Num(mc.Mean) << "   sigma " << Num(mc.Sigma) << "   range [" << Num(mc.Min)
        << ", " << Num(mc.Max) << "]   0.135 % " << Num(mc.P00135) << "   99.865 % " << Num(mc.P99865);
    if (mc.HasYield)
      out << "\n                yield " << Num(mc.Yield.Estimate, "%.7f") << " [" << Num(mc.Yield.Lower, "%.7f") << ", "
          << Num(mc.Yield.Upper, "%.7f") << "]";
    out << "   " << Word(iS.Simulated) << "\n";
  }
  out << "  " << QAVToolText::Padded("dimension", 21) << QAVToolText::Padded("sensitivity", 13)
      << QAVToolText::Padded("variance %", 13) << "worst case %\n";
  for (const Analysis::Contribution& c : iS.Contributions)
    out << "  " << QAVToolText::Padded(iProblem.Dimensions[static_cast<std::size_t>(c.Dimension)].Name, 21)
        << QAVToolText::Padded(Num(c.Sensitivity), 13) << QAVToolText::Padded(Num(100.0 * c.VarianceShare, "%.2f"), 13)
        << Num(100.0 * c.WorstCaseShare, "%.2f") << "\n";
}
} // namespace

std::string QAVToolAnalysisText(const QAVTasAllocationProblem& iProblem, const Analysis::Result& iResult)
{
  std::ostringstream out;
  const bool simulated = iResult.Samples > 0;
  out << "stack-up analysis";
  if (simulated)
    out << " (Monte Carlo, " << iResult.Samples << " assemblies, seed " << iResult.Seed << ")";
  out << "\n";
  for (const Analysis::Stackup& s : iResult.Stackups)
  {
    out << "\n";
    TextOf(out, iProblem, s, simulated);
  }
  if (iResult.HasJoint)
    out << "\nall stack-ups at once: yield " << Num(iResult.Joint.Estimate, "%.7f") << " ["
        << Num(iResult.Joint.Lower, "%.7f") << ", " << Num(iResult.Joint.Upper, "%.7f") << "]\n";
  return out.str();
}

std::string QAVToolAnalysisJson(const QAVTasAllocationProblem& iProblem, const Analysis::Result& iResult)
{
  Json stackups = Json::object();
  for (const Analysis::Stackup& s : iResult.Stackups)
  {
    Json contributions = Json::object();
    for (const Analysis::Contribution& c : s.Contributions)
      contributions[iProblem.Dimensions[static_cast<std::size_t>(c.Dimension)].Name] = {
        {"sensitivity", c.Sensitivity}, {"variance_share", c.VarianceShare}, {"worst_case_share", c.WorstCaseShare}};
    const Analysis::Simulation& mc = s.Mc;
    const Json mcFigures = !mc.Ran ? Json(nullptr)
                                   : Json{{"mean", mc.Mean},
                                          {"sigma", mc.Sigma},
                                          {"min", mc.Min},
                                          {"max", mc.Max},
                                          {"p00135", mc.P00135},
                                          {"p99865", mc.P99865},
                                          {"yield", mc.HasYield ? Json(mc.Yield.Estimate) : Json(nullptr)},
                                          {"ci95", mc.HasYield ? Json{mc.Yield.Lower, mc.Yield.Upper} : Json(nullptr)}};
    stackups[s.Name] = {
      {"nominal", s.Nominal},
      {"centre", s.Centre},
      {"worst_case", {s.WorstMin, s.WorstMax}},
      {"worst_case_certified", s.WorstCaseCertified},
      {"worst_case_gap", s.WorstCaseGap},
      {"worst_case_defined", s.WorstCaseDefined},
      {"mean", s.Mean},
      {"sigma", s.Sigma},
      {"second_order", {{"mean", s.Mean2}, {"sigma", s.Sigma2}}},
      {"cp", QAVToolText::Figure(s.Cp)},
      {"cpk", QAVToolText::Figure(s.Cpk)},
      {"ppm_below", QAVToolText::Figure(s.PpmBelow)},
      {"ppm_above", QAVToolText::Figure(s.PpmAbove)},
      {"meets",
       {{"worst_case", Meets(s.WorstCase)}, {"statistical", Meets(s.Statistical)}, {"simulated", Meets(s.Simulated)}}},
      {"mc", mcFigures},
      {"contributions", contributions}};
    const std::string& function = iProblem.Stackups[static_cast<std::size_t>(&s - iResult.Stackups.data())].Function;
    if (!function.empty())
      stackups[s.Name]["function"] = function;
  }
  const Json joint = iResult.HasJoint
    ? Json{{"yield", iResult.Joint.Estimate}, {"ci95", {iResult.Joint.Lower, iResult.Joint.Upper}}}
    : Json{{"yield", nullptr}, {"ci95", nullptr}};
  const Json answer = {{"samples", iResult.Samples}, {"seed", iResult.Seed}, {"stackups", stackups}, {"joint", joint}};
  return answer.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string QAVToolAnalysisCsv(const QAVTasAllocationProblem& iProblem, const Analysis::Result& iResult)
{
  const auto cell = [](double iValue) { return std::isfinite(iValue) ? Num(iValue, "%.10g") : std::string(); };
  const auto verdict = [](Analysis::Verdict iV) {
    return iV == Analysis::Verdict::NoRequirement ? "" : iV == Analysis::Verdict::Met ? "yes" : "no";
  };
  const auto quoted = [](const std::string& iText)
  {
    std::string q = "\"";
    for (const char c : iText)
      q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  std::ostringstream out;
  out << "stackup,dimension,sensitivity,variance_share,worst_case_share,nominal,centre,worst_case_min,worst_case_max,"
         "mean,sigma,cp,cpk,ppm_below,ppm_above,mc_mean,mc_sigma,mc_min,mc_max,p00135,p99865,yield,yield_low,"
         "yield_high,meets_worst_case,meets_statistical,meets_simulated\n";
  for (const Analysis::Stackup& s : iResult.Stackups)
  {
    const Analysis::Simulation& mc = s.Mc;
    const double nan = std::nan("");
    const auto ran = [&](double iValue) { return cell(mc.Ran ? iValue : nan); };
    const auto yield = [&](double iValue) { return cell(mc.Ran && mc.HasYield ? iValue : nan); };
    for (const Analysis::Contribution& c : s.Contributions)
      out << quoted(s.Name) << ',' << quoted(iProblem.Dimensions[static_cast<std::size_t>(c.Dimension)].Name) << ','
          << cell(c.Sensitivity) << ',' << cell(c.VarianceShare) << ',' << cell(c.WorstCaseShare) << ','
          << cell(s.Nominal) << ',' << cell(s.Centre) << ',' << cell(s.WorstMin) << ',' << cell(s.WorstMax) << ','
          << cell(s.Mean) << ',' << cell(s.Sigma) << ',' << cell(s.Cp) << ',' << cell(s.Cpk) << ',' << cell(s.PpmBelow)
          << ',' << cell(s.PpmAbove) << ',' << ran(mc.Mean) << ',' << ran(mc.Sigma) << ',' << ran(mc.Min) << ','
          << ran(mc.Max) << ',' << ran(mc.P00135) << ',' << ran(mc.P99865) << ',' << yield(mc.Yield.Estimate) << ','
          << yield(mc.Yield.Lower) << ',' << yield(mc.Yield.Upper) << ',' << verdict(s.WorstCase) << ','
          << verdict(s.Statistical) << ',' << verdict(s.Simulated) << '\n';
  }
  return out.str();
}

#include "QAVTasFunctionAllocation.h"

#include "QAVTasStackupLaw.h"

#include "QAVTasExpressionStackup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

using Problem = QAVTasAllocationProblem;
using Allocation = QAVTasFunctionAllocation;
using Status = QAVTasAllocationResult::Status;

namespace
{
bool TrueLaw(const Problem::Stackup& iS)
{
  return !iS.Function.empty() && iS.HasLaw && iS.LawOf().EveryPart();
}

std::string Figure(double iX)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", iX);
  return text;
}

// Whether the model's row is the tangent the check found, to 1e-6 of its largest slope.
bool Tangential(const Allocation::Check& iC, const Problem::Stackup& iRow)
{
  if (iC.Slopes.empty())
    return true; // no tangent to follow: the limit alone is moved
  if (iC.Slopes.size() != iRow.Sensitivity.size())
    return false;
  double largest = 0.0;
  for (const auto& slope : iC.Slopes)
    largest = std::max(largest, slope.second);
  for (std::size_t k = 0; k < iC.Slopes.size(); ++k)
    if (iC.Slopes[k].first != iRow.Sensitivity[k].first ||
        !(std::fabs(iC.Slopes[k].second - std::fabs(iRow.Sensitivity[k].second)) <= 1e-6 * largest))
      return false;
  return true;
}

// Whether the check needs another round: its bound breaks the limit, or it binds in the model with
// room left on the true function or on a row that is not yet the true function's tangent.
bool Unsettled(const Allocation::Check& iC, const Problem::Stackup& iRow, double iLimit, double iTolerance)
{
  if (!iC.TrueLaw)
    return false;
  const bool broken = iC.TrueBound > iLimit * (1.0 + iTolerance);
  const bool binding = iC.ModelValue >= iC.ModelLimit * (1.0 - 1e-7);
  return broken || (binding && (iC.TrueBound < iLimit * (1.0 - iTolerance) || !Tangential(iC, iRow)));
}

// The row sum_i g_i t_i <= T - W(t_k) + sum_i g_i t_k,i: W's tangent at the answer, held to T.
bool UseTangent(const Allocation::Check& iC, const std::vector<double>& iT, double iLimit, Problem::Stackup& ioRow)
{
  double along = 0.0;
  for (const auto& [i, g] : iC.Slopes)
    along += g * iT[static_cast<std::size_t>(i)];
  const double limit = iLimit - iC.TrueBound + along;
  if (iC.Slopes.empty() || !(limit > 0.0) || !std::isfinite(limit))
    return false;
  ioRow.Sensitivity = iC.Slopes;
  ioRow.Limit = limit;
  return true;
}

// dW/dt_i at the extreme of the side that decides W (iR's ArgMax or ArgMin, in the order of the
// function's inputs), the other dimensions at their centres: +-df/dx_i by the end of its range x*_i sits on,
// none inside. Empty when a slope is not finite or has the wrong sign (x* is no extreme there).
std::vector<std::pair<std::int32_t, double>> SlopesAt(const QAVTasExpressionStackup& iF,
                                                      const QAVTasWorstCase::Result& iR, double iReference,
                                                      const std::vector<double>& iLow, const std::vector<double>& iHigh)
{
  const bool upper = iR.Max - iReference >= iReference - iR.Min;
  const std::vector<double>& at = upper ? iR.ArgMax : iR.ArgMin;
  const std::vector<std::int32_t>& inputs = iF.Inputs();
  if (at.size() != inputs.size())
    return {};
  std::vector<double> x(iLow.size()), g(inputs.size());
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] = 0.5 * (iLow[i] + iHigh[i]);
  for (std::size_t k = 0; k < inputs.size(); ++k)
    x[static_cast<std::size_t>(inputs[k])] = at[k];
  iF.Gradient(x.data(), g.data());
  double largest = 0.0;
  for (const double d : g)
    largest = std::max(largest, std::fabs(d));
  std::vector<std::pair<std::int32_t, double>> slopes;
  for (std::size_t k = 0; k < inputs.size(); ++k)
  {
    const auto i = static_cast<std::size_t>(inputs[k]);
    const double width = iHigh[i] - iLow[i];
    const double end = at[k] >= iHigh[i] - 1e-9 * width ? 1.0 : at[k] <= iLow[i] + 1e-9 * width ? -1.0 : 0.0;
    const double slope = (upper ? 1.0 : -1.0) * end * g[k];
    if (!std::isfinite(slope) || slope < -1e-9 * largest)
      return {};
    if (slope > 1e-9 * largest)
      slopes.emplace_back(inputs[k], slope);
  }
  return slopes;
}

bool Met(const std::vector<Allocation::Check>& iChecks, const Problem& iProblem, double iTolerance)
{
  for (std::size_t j = 0; j < iChecks.size(); ++j)
    if (iChecks[j].TrueLaw && iChecks[j].TrueBound > iProblem.Stackups[j].Limit * (1.0 + iTolerance))
      return false;
  return true;
}

// The model limit for the next solve: a secant step through the last two (model limit, true bound)
// pairs when their slope is sound, else the plain step by the discrepancy.
double NextLimit(double iModelLimit, double iBound, double iLimit, std::pair<double, double>& ioPrevious)
{
  const auto [lastLimit, lastBound] = ioPrevious;
  ioPrevious = {iModelLimit, iBound};
  const double slope = (iModelLimit - lastLimit) / (iBound - lastBound);
  const bool sound = lastBound >= 0.0 && std::isfinite(slope) && slope > 0.1 && slope < 10.0;
  return iModelLimit + (sound ? slope : 1.0) * (iLimit - iBound);
}

void UseTrueValues(const std::vector<Allocation::Check>& iChecks, QAVTasAllocationResult& ioAnswer)
{
  for (std::size_t j = 0; j < iChecks.size() && j < ioAnswer.StackupValues.size(); ++j)
    if (iChecks[j].TrueLaw)
      ioAnswer.StackupValues[j] = iChecks[j].TrueValue;
}
} // namespace

QAVTasWorstCase::Settings QAVTasFunctionAllocation::Tight()
{
  QAVTasWorstCase::Settings settings;
  settings.RelativeTolerance = 1e-12;
  // Each round proves a worst case; a function that resists is answered by its bound, sooner.
  settings.MaxNodes = 200000;
  settings.MaxSeconds = 5.0;
  return settings;
}

std::vector<Allocation::Check> QAVTasFunctionAllocation::Checks(const Problem& iProblem,
                                                                const std::vector<double>& iT) const
{
  std::vector<Check> checks(iProblem.Stackups.size());
  std::vector<double> low, high, x0;
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const Problem::Dimension& d = iProblem.Dimensions[i];
    low.push_back(d.Centre() - iT[i]), high.push_back(d.Centre() + iT[i]), x0.push_back(d.Nominal);
  }
  for (std::size_t j = 0; j < checks.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    Check& c = checks[j];
    c.ModelValue = iProblem.StackupValue(j, iT.data());
    c.ModelLimit = s.Limit;
    c.Function = !s.Function.empty();
    c.TrueLaw = TrueLaw(s);
    if (!c.Function)
      continue;
    const QAVTasExpressionStackup f(iProblem, s, _Settings.WorstCase);
    const QAVTasWorstCase::Result r = f.WorstCase(low.data(), high.data());
    c.Reference = f.Value(x0.data());
    c.Min = r.Min, c.Max = r.Max;
    c.TrueValue = std::max(r.Max - c.Reference, c.Reference - r.Min);
    c.TrueBound = std::max(r.UpperBound - c.Reference, c.Reference - r.LowerBound);
    c.Certified = r.Certified;
    if (c.TrueLaw)
      c.Slopes = SlopesAt(f, r, c.Reference, low, high);
  }
  return checks;
}

Allocation::Result QAVTasFunctionAllocation::Solve(const Problem& iProblem, const Solver& iSolver) const
{
  Result result, best, last;
  bool haveBest = false;
  Problem model = iProblem;
  const double tolerance = _Settings.RelativeTolerance;
  std::vector<std::pair<double, double>> previous(model.Stackups.size(), {0.0, -1.0});
  std::vector<char> tangent(model.Stackups.size(), 0);
  for (result.Rounds = 1;; ++result.Rounds)
  {
    result.Answer = iSolver(model);
    if (result.Answer.State != Status::Optimal)
      break;
    result.Checks = Checks(model, result.Answer.Tolerances);
    for (std::size_t j = 0; j < tangent.size(); ++j)
      result.Checks[j].Tangent = tangent[j] != 0;
    UseTrueValues(result.Checks, result.Answer);
    last = result;
    const bool met = Met(result.Checks, iProblem, tolerance);
    if (met)
      best = result, haveBest = true;
    std::string why;
    for (std::size_t j = 0; j < model.Stackups.size(); ++j)
    {
      const double limit = iProblem.Stackups[j].Limit;
      if (!Unsettled(result.Checks[j], model.Stackups[j], limit, tolerance))
        continue;
      // A row once a tangent stays one when only its limit moves on.
      const bool touched = UseTangent(result.Checks[j], result.Answer.Tolerances, limit, model.Stackups[j]);
      tangent[j] = tangent[j] || touched;
      if (!touched)
        model.Stackups[j].Limit = NextLimit(model.Stackups[j].Limit, result.Checks[j].TrueBound, limit, previous[j]);
      if (why.empty())
        why = "the true worst case of stack-up '" + model.Stackups[j].Name + "' is " +
          Figure(result.Checks[j].TrueBound) + " against its limit " + Figure(limit);
      if (!(model.Stackups[j].Limit > 0.0))
        why += ", and no positive limit of the linear model brings it down";
    }
    if (why.empty())
      return result;
    if (result.Rounds >= _Settings.MaxRounds || why.find("no positive") != std::string::npos)
    {
      Result out = haveBest ? best : result;
      out.Rounds = result.Rounds;
      out.Answer.State = Status::NotSolved;
      out.Answer.Reason = why + " after " + std::to_string(result.Rounds) + " solves of the linear model" +
        (haveBest ? "; the answer given meets every true limit" : "");
      return out;
    }
  }
  if (result.Rounds > 1)
  {
    const std::string was = result.Answer.Reason;
    Result out = haveBest ? best : last;
    out.Rounds = result.Rounds;
    out.Answer.State = Status::NotSolved;
    out.Answer.Reason = "the linear model with its limits tightened to the true worst case has no answer" +
      (was.empty() ? std::string() : " (" + was + ")");
    return out;
  }
  return result;
}

std::vector<Allocation::Yield> QAVTasFunctionAllocation::Yields(const Problem& iProblem, const std::vector<double>& iT,
                                                                std::int64_t iSamples, std::uint64_t iSeed) const
{
  std::vector<Yield> yields(iProblem.Stackups.size());
  Problem drawn;
  drawn.Dimensions = iProblem.Dimensions;
  for (std::size_t i = 0; i < drawn.Dimensions.size(); ++i)
  {
    Problem::Dimension& d = drawn.Dimensions[i];
    d.Fixed = true, d.Tolerance = iT[i], d.Options.clear();
  }
  std::vector<std::size_t> kept;
  std::vector<std::unique_ptr<QAVTasStackupFunction>> owned;
  std::vector<const QAVTasStackupFunction*> linear, exact;
  std::vector<double> x0;
  for (const Problem::Dimension& d : iProblem.Dimensions)
    x0.push_back(d.Nominal);
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    if (s.Function.empty() || !s.HasLaw || s.LawOf().Band())
      continue;
    Problem::Stackup window = s;
    owned.push_back(std::make_unique<QAVTasLinearStackup>(s));
    linear.push_back(owned.back().get());
    owned.push_back(std::make_unique<QAVTasExpressionStackup>(iProblem, s));
    exact.push_back(owned.back().get());
    const double y0 = exact.back()->Value(x0.data());
    window.HasLsl = window.HasUsl = true;
    window.Lsl = y0 - s.Limit, window.Usl = y0 + s.Limit;
    drawn.Stackups.push_back(window);
    kept.push_back(j);
  }
  if (kept.empty() || iSamples <= 0)
    return yields;
  QAVTasStackupAnalysis::Settings settings;
  settings.Samples = iSamples;
  settings.Seed = iSeed;
  const QAVTasStackupAnalysis analysis(settings);
  const QAVTasStackupAnalysis::Result model = analysis.Analyse(drawn, iT, linear);
  const QAVTasStackupAnalysis::Result truth = analysis.Analyse(drawn, iT, exact);
  for (std::size_t k = 0; k < kept.size(); ++k)
    yields[kept[k]] = {true, model.Stackups[k].Mc.Yield, truth.Stackups[k].Mc.Yield};
  return yields;
}

#include "QAVTasStackupAnalysis.h"

#include "QAVTasExpressionStackup.h"
#include "QAVTasStackupSimulation.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

using Problem = QAVTasAllocationProblem;
using Analysis = QAVTasStackupAnalysis;

namespace
{
const double kNaN = std::nan("");

// The dimensions at tolerances t: nominal, centre and mean points, spreads.
struct Points
{
  std::vector<double> Nominal, Centre, Mean, Sigma, T, Kurtosis;
  std::vector<bool> Normal;

  Points(const Problem& iProblem, const std::vector<double>& iT) : T(iT)
  {
    for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
    {
      const Problem::Dimension& d = iProblem.Dimensions[i];
      Nominal.push_back(d.Nominal);
      Centre.push_back(d.Centre());
      Mean.push_back(d.MeanAt(iT[i]));
      Sigma.push_back(d.SigmaAt(iT[i]));
      Normal.push_back(d.Spread == Problem::Distribution::Normal);
      Kurtosis.push_back(d.Spread == Problem::Distribution::Normal      ? 3.0
                           : d.Spread == Problem::Distribution::Uniform ? 1.8
                                                                        : 2.4);
    }
  }
};

// Probability that a normal (mean, sigma) falls below x; a point mass when sigma is 0.
double NormalBelow(double iX, double iMean, double iSigma)
{
  if (!(iSigma > 0.0))
    return iMean < iX ? 1.0 : 0.0;
  return 0.5 * std::erfc((iMean - iX) / (iSigma * M_SQRT2));
}

Analysis::Verdict VerdictOf(bool iRequirement, bool iMet)
{
  return !iRequirement ? Analysis::Verdict::NoRequirement : iMet ? Analysis::Verdict::Met : Analysis::Verdict::NotMet;
}

// Whether [iLow, iHigh] lies inside the stack-up's limits.
bool Inside(const Analysis::Stackup& iS, double iLow, double iHigh)
{
  return (!iS.HasLsl || iLow >= iS.Lsl) && (!iS.HasUsl || iHigh <= iS.Usl);
}

void Capability(Analysis::Stackup& ioS)
{
  const double sigma = ioS.Sigma;
  ioS.Cp = ioS.HasLsl && ioS.HasUsl ? (ioS.Usl - ioS.Lsl) / (6.0 * sigma) : kNaN;
  const double margin =
    std::min(ioS.HasUsl ? ioS.Usl - ioS.Mean : HUGE_VAL, ioS.HasLsl ? ioS.Mean - ioS.Lsl : HUGE_VAL);
  ioS.Cpk = ioS.HasLsl || ioS.HasUsl ? margin / (3.0 * sigma) : kNaN;
  ioS.Statistical = VerdictOf(ioS.HasLsl || ioS.HasUsl, ioS.Cpk >= 1.0);
}

// The function's extremes over the tolerance box, certified or with the gap left.
void TrueWorstCase(const QAVTasStackupFunction& iF, const Points& iP, Analysis::Stackup& ioS)
{
  std::vector<double> low(iP.Centre), high(iP.Centre);
  for (std::size_t i = 0; i < low.size(); ++i)
    low[i] -= iP.T[i], high[i] += iP.T[i];
  const QAVTasWorstCase::Result r = iF.WorstCase(low.data(), high.data());
  ioS.Nonlinear = true;
  ioS.WorstMin = r.Min, ioS.WorstMax = r.Max;
  ioS.WorstCaseCertified = r.Certified;
  ioS.WorstCaseGap = r.Gap;
  ioS.WorstCaseDefined = !r.Undefined;
}

// Mean and sigma of the second-order Taylor model about the means.
void SecondOrder(const QAVTasStackupFunction& iF, const Points& iP, Analysis::Stackup& ioS)
{
  const std::vector<std::int32_t>& inputs = iF.Inputs();
  const std::size_t n = inputs.size();
  std::vector<double> g(n), h(n * n);
  const double y = iF.Hessian(iP.Mean.data(), g.data(), h.data());
  double shift = 0.0, variance = 0.0;
  for (std::size_t k = 0; k < n; ++k)
  {
    const double sk = iP.Sigma[inputs[k]], hkk = h[k * n + k];
    shift += 0.5 * hkk * sk * sk;
    variance += g[k] * g[k] * sk * sk + 0.25 * hkk * hkk * (iP.Kurtosis[inputs[k]] - 1.0) * std::pow(sk, 4);
    for (std::size_t j = 0; j < n; ++j)
      if (j != k)
        variance += 0.5 * h[k * n + j] * h[k * n + j] * sk * sk * iP.Sigma[inputs[j]] * iP.Sigma[inputs[j]];
  }
  ioS.Mean2 = y + shift;
  ioS.Sigma2 = std::sqrt(variance);
}

// The model's figures of one stack-up: values, worst case, moments, capability, contributions.
Analysis::Stackup Model(const Problem::Stackup& iStackup, const QAVTasStackupFunction& iF, const Points& iP)
{
  Analysis::Stackup s;
  s.Name = iStackup.Name;
  s.HasLsl = iStackup.HasLsl;
  s.HasUsl = iStackup.HasUsl;
  s.Lsl = iStackup.Lsl;
  s.Usl = iStackup.Usl;
  s.CpkTarget = iStackup.Cpk;
  const std::vector<std::int32_t>& inputs = iF.Inputs();
  std::vector<double> g(inputs.size());
  s.Nominal = iF.Value(iP.Nominal.data());
  s.Centre = iF.Gradient(iP.Centre.data(), g.data());
  double width = 0.0;
  for (std::size_t k = 0; k < inputs.size(); ++k)
    width += std::fabs(g[k]) * iP.T[inputs[k]];
  s.WorstMin = s.Centre - width;
  s.WorstMax = s.Centre + width;
  if (!iF.Linear())
    TrueWorstCase(iF, iP, s);
  std::vector<double> wcShare(inputs.size());
  for (std::size_t k = 0; k < inputs.size(); ++k)
    wcShare[k] = width > 0.0 ? std::fabs(g[k]) * iP.T[inputs[k]] / width : 0.0;
  s.Mean = iF.Gradient(iP.Mean.data(), g.data());
  double variance = 0.0;
  bool normal = iF.Linear();
  for (std::size_t k = 0; k < inputs.size(); ++k)
  {
    const double term = g[k] * iP.Sigma[inputs[k]];
    variance += term * term;
    normal = normal && (g[k] == 0.0 || iP.Normal[inputs[k]]);
  }
  s.Sigma = std::sqrt(variance);
  s.Mean2 = s.Mean, s.Sigma2 = s.Sigma;
  if (!iF.Linear())
    SecondOrder(iF, iP, s);
  for (std::size_t k = 0; k < inputs.size(); ++k)
  {
    const double term = g[k] * iP.Sigma[inputs[k]];
    s.Contributions.push_back({inputs[k], g[k], variance > 0.0 ? term * term / variance : 0.0, wcShare[k]});
  }
  Capability(s);
  s.WorstCase = VerdictOf(s.HasLsl || s.HasUsl, Inside(s, s.WorstMin, s.WorstMax));
  s.PpmExact = normal;
  s.PpmBelow = s.HasLsl && normal ? 1e6 * NormalBelow(s.Lsl, s.Mean, s.Sigma) : kNaN;
  s.PpmAbove = s.HasUsl && normal ? 1e6 * NormalBelow(-s.Usl, -s.Mean, s.Sigma) : kNaN;
  return s;
}

// What the simulation draws and where each stack-up's histogram lies.
QAVTasStackupSimulation::Draws DrawsOf(const Problem& iProblem, const Points& iP)
{
  QAVTasStackupSimulation::Draws draws;
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const Problem::Distribution spread = iProblem.Dimensions[i].Spread;
    draws.Spread.push_back(spread);
    draws.Mean.push_back(iP.Mean[i]);
    draws.Scale.push_back(spread == Problem::Distribution::Normal ? iP.Sigma[i] : iP.T[i]);
  }
  return draws;
}

QAVTasStackupSimulation::Target TargetOf(const Analysis::Stackup& iS, const QAVTasStackupFunction& iF)
{
  QAVTasStackupSimulation::Target t;
  t.Function = &iF;
  t.HasLsl = iS.HasLsl;
  t.HasUsl = iS.HasUsl;
  t.Lsl = iS.Lsl;
  t.Usl = iS.Usl;
  t.Reference = iS.Mean;
  t.Low = std::min(iS.WorstMin, iS.Mean - 4.5 * iS.Sigma);
  t.High = std::max(iS.WorstMax, iS.Mean + 4.5 * iS.Sigma);
  t.Low = iS.HasLsl ? std::min(t.Low, iS.Lsl) : t.Low;
  t.High = iS.HasUsl ? std::max(t.High, iS.Usl) : t.High;
  const double margin = 0.02 * std::max(t.High - t.Low, 1e-12 * std::max(1.0, std::fabs(t.Low)));
  t.Low -= margin;
  t.High += margin;
  return t;
}

// The simulated figures that the model lacks: ppm when not exact, the simulated verdict.
void Simulated(std::int64_t iN, Analysis::Stackup& ioS)
{
  const Analysis::Simulation& mc = ioS.Mc;
  if (!ioS.PpmExact)
  {
    ioS.PpmBelow = ioS.HasLsl ? 1e6 * static_cast<double>(mc.Below) / static_cast<double>(iN) : kNaN;
    ioS.PpmAbove = ioS.HasUsl ? 1e6 * static_cast<double>(mc.Above) / static_cast<double>(iN) : kNaN;
  }
  ioS.Simulated = VerdictOf(ioS.HasLsl || ioS.HasUsl, Inside(ioS, mc.P00135, mc.P99865));
}
} // namespace

Analysis::Result QAVTasStackupAnalysis::Analyse(const Problem& iProblem, const std::vector<double>& iTolerances) const
{
  std::vector<std::unique_ptr<QAVTasStackupFunction>> owned;
  std::vector<const QAVTasStackupFunction*> functions;
  for (const Problem::Stackup& s : iProblem.Stackups)
  {
    if (s.Function.empty())
      owned.push_back(std::make_unique<QAVTasLinearStackup>(s));
    else
      owned.push_back(std::make_unique<QAVTasExpressionStackup>(iProblem, s));
    functions.push_back(owned.back().get());
  }
  return Analyse(iProblem, iTolerances, functions);
}

Analysis::Result QAVTasStackupAnalysis::Analyse(const Problem& iProblem, const std::vector<double>& iTolerances,
                                                const std::vector<const QAVTasStackupFunction*>& iFunctions) const
{
  if (iTolerances.size() != iProblem.Dimensions.size() || iFunctions.size() != iProblem.Stackups.size() ||
      _Settings.Samples < 0)
    throw std::invalid_argument("stack-up analysis: one tolerance per dimension, one function per stack-up");
  for (const double t : iTolerances)
    if (!(t > 0.0) || !std::isfinite(t))
      throw std::invalid_argument("stack-up analysis: every tolerance must be > 0");
  const Points points(iProblem, iTolerances);
  Result result;
  result.Samples = _Settings.Samples;
  result.Seed = _Settings.Seed;
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    result.Stackups.push_back(Model(iProblem.Stackups[j], *iFunctions[j], points));
  if (_Settings.Samples == 0 || result.Stackups.empty())
    return result;
  std::vector<QAVTasStackupSimulation::Target> targets;
  for (std::size_t j = 0; j < result.Stackups.size(); ++j)
    targets.push_back(TargetOf(result.Stackups[j], *iFunctions[j]));
  QAVTasStackupSimulation::Run(DrawsOf(iProblem, points), targets, _Settings, result);
  for (Stackup& s : result.Stackups)
    Simulated(_Settings.Samples, s);
  return result;
}

std::vector<double> QAVTasStackupAnalysis::FixedTolerances(const Problem& iProblem, std::int32_t& oFree)
{
  std::vector<double> t;
  oFree = -1;
  for (std::size_t i = 0; i < iProblem.Dimensions.size(); ++i)
  {
    const Problem::Dimension& d = iProblem.Dimensions[i];
    if (!d.Fixed && oFree < 0)
      oFree = static_cast<std::int32_t>(i);
    t.push_back(d.Fixed ? d.Tolerance : 0.0);
  }
  return t;
}

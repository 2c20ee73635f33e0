#ifndef QAVTasStackupAnalysis_H
#define QAVTasStackupAnalysis_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"
#include "QAVTasStackupFunction.h"

#include <cstdint>
#include <string>
#include <vector>

// Stack-up analysis of a problem at given tolerances, in the drawing's terms.
//
// Dimension i at tolerance t_i (the half-width of its zone, centre c_i = nominal + (plus - minus)/2)
// lies in [c_i - t_i, c_i + t_i]; it is made with mean mu_i (its process mean, else c_i + m_i t_i)
// and standard deviation sigma_i (normal: t_i / (3 cp_i) or its sigma; uniform t_i / sqrt 3;
// triangular t_i / sqrt 6), uniform and triangular spreads on [mu_i - t_i, mu_i + t_i].
//
// Per stack-up y = f(x) (QAVTasStackupFunction; the problem's sum constant + sum s_i x_i unless
// others are given): y at the nominals and at the centres; the worst case c_y -+ sum |g_i| t_i with
// g the gradient at the centres; the statistical model mu_y = f(mu), sigma_y^2 = sum (g_i sigma_i)^2,
// g at the means (exact for a sum); for a function, its certified worst case over the box and the
// second-order moments mu_y = f(mu) + 1/2 sum H_ii sigma_i^2, sigma_y^2 = sum g_i^2 sigma_i^2 +
// 1/4 sum H_ii^2 (k_i - 1) sigma_i^4 + 1/2 sum_{i != j} H_ij^2 sigma_i^2 sigma_j^2 (k_i the
// kurtosis of input i: 3 normal, 1.8 uniform, 2.4 triangular); Cp = (usl - lsl) / (6 sigma_y), Cpk = min(usl - mu_y, mu_y -
// lsl) / (3 sigma_y) over the limits given; ppm below lsl and above usl, exact (erfc) for a sum of
// normal inputs, else from the simulation. Contributions per input: its sensitivity g_i, its share
// (g_i sigma_i)^2 / sigma_y^2 of the variance and |g_i| t_i / sum |g_k| t_k of the worst-case width.
// Verdicts: the requirement is met by the worst case when [min, max] lies inside the limits, by the
// model when mu_y -+ 3 sigma_y does (Cpk >= 1), by the simulation when its 0.135 % and 99.865 %
// points do.
//
// Monte Carlo: Samples assemblies drawn in blocks, each block from its own stream seeded from
// (Seed, block) (QAVTasSampleBlocks), all stack-ups from the same assemblies: mean, sigma, min, max,
// the 0.135 % and 99.865 % points (linear interpolation between order statistics at (N - 1) p, from
// the exact smallest and largest samples kept while drawing, nothing sorted in full), the yield with
// Wilson's 95 % interval, and the joint yield over every stack-up with a limit. Sums are made block
// by block and added in block order, so a seed gives the same figures on any number of threads.
class QAV_TASOPT_API QAVTasStackupAnalysis
{
public:
  struct Settings
  {
    std::int64_t Samples = 1000000; // 0: the model only
    std::uint64_t Seed = 1;
    std::int32_t Threads = 0;       // 0: one per hardware thread
    std::int32_t HistogramBins = 0; // bins of each simulated stack-up's histogram (0: none)
  };

  enum class Verdict
  {
    NoRequirement,
    Met,
    NotMet
  };

  struct Contribution
  {
    std::int32_t Dimension = 0;
    double Sensitivity = 0.0, VarianceShare = 0.0, WorstCaseShare = 0.0; // shares in [0, 1]
  };

  struct Interval
  {
    double Estimate = 0.0, Lower = 0.0, Upper = 0.0;
  };

  struct Simulation
  {
    bool Ran = false;
    double Mean = 0.0, Sigma = 0.0, Min = 0.0, Max = 0.0, P00135 = 0.0, P99865 = 0.0;
    std::int64_t Below = 0, Above = 0;              // samples below lsl, above usl
    bool HasYield = false;                          // the stack-up has a limit
    Interval Yield;                                 // with Wilson's 95 % interval
    double HistogramLow = 0.0, HistogramHigh = 0.0; // equal bins; samples outside count in the end bins
    std::vector<std::int64_t> Histogram;
  };

  struct Stackup
  {
    std::string Name;
    bool HasLsl = false, HasUsl = false;
    double Lsl = 0.0, Usl = 0.0, CpkTarget = 0.0;
    double Nominal = 0.0, Centre = 0.0, WorstMin = 0.0, WorstMax = 0.0;
    double Mean = 0.0, Sigma = 0.0;
    // A function stack-up: the worst case is the true function's over the tolerance box, certified
    // or with the gap left; Mean2 and Sigma2 are the second-order moments (with the Hessian at the
    // means); for a sum they equal Mean and Sigma and the worst case is exact.
    bool Nonlinear = false, WorstCaseCertified = true, WorstCaseDefined = true; // defined: everywhere in the box
    double WorstCaseGap = 0.0, Mean2 = 0.0, Sigma2 = 0.0;
    double Cp = 0.0, Cpk = 0.0;            // NaN when a limit they need is missing
    double PpmBelow = 0.0, PpmAbove = 0.0; // NaN without the limit, or neither exact nor simulated
    bool PpmExact = false;
    Verdict WorstCase = Verdict::NoRequirement, Statistical = Verdict::NoRequirement,
            Simulated = Verdict::NoRequirement;
    Simulation Mc;
    std::vector<Contribution> Contributions; // in the order of the function's inputs
  };

  struct Result
  {
    std::vector<Stackup> Stackups;
    std::int64_t Samples = 0;
    std::uint64_t Seed = 0;
    bool HasJoint = false; // a simulation ran and some stack-up has a limit
    Interval Joint;
  };

  QAVTasStackupAnalysis() = default;
  explicit QAVTasStackupAnalysis(const Settings& iSettings) : _Settings(iSettings) {}

  // iTolerances: one per dimension. Throws std::invalid_argument when the sizes disagree, a
  // tolerance is not > 0 or Samples < 0.
  Result Analyse(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iTolerances) const;
  // The same with the stack-ups' functions given, one per stack-up of the problem.
  Result Analyse(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iTolerances,
                 const std::vector<const QAVTasStackupFunction*>& iFunctions) const;

  // The tolerances of a problem whose every dimension is fixed; the index of the first that is not
  // in oFree (-1 when all are).
  static std::vector<double> FixedTolerances(const QAVTasAllocationProblem& iProblem, std::int32_t& oFree);

private:
  Settings _Settings;
};

#endif

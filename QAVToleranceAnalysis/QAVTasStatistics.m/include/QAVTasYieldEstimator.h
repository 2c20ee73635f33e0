#ifndef QAVTasYieldEstimator_H
#define QAVTasYieldEstimator_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <vector>

// Yield of an allocation: the fraction of assemblies that meet their requirements when every
// dimension deviates at random within its tolerance.
//
// Dimension i with tolerance t_i deviates from the centre of its zone by dev_i = m_i t_i + e_i, m_i
// its mean shift (or its process mean less the centre), and e_i normal with sigma = t_i / (3 cp_i)
// or its given sigma (Distribution::Normal), or uniform or triangular on [-t_i, t_i]. Stack-up j deviates
// by Y_j = sum_i s_ij dev_i and is met when |Y_j| <= T_j, its limit; a stack-up given by its
// function f_j (Stackup::Function) deviates by Y_j = f_j(centre + dev) - f_j(x0), x0 the nominals,
// the deviation its worst-case law bounds. A linear row has no nominal to
// deviate from: its yield is undefined (Estimate::Defined false) and it is left out of the joint
// yield, the fraction of assemblies that meet every other stack-up at once.
//
// Monte Carlo: p = k / N with Wilson's 95 % interval
//   (p + z^2/2N -+ z sqrt(p(1-p)/N + z^2/4N^2)) / (1 + z^2/N),  z = 1.959964.
// Quasi-Monte Carlo: R independent scramblings of a Sobol sequence (QAVTasSobolSequence), N/R points
// each; the estimate is k / N and the interval mean -+ t_{R-1, 0.975} s / sqrt(R), s the standard
// deviation of the R scrambled estimates, clipped to [0, 1].
// Uniforms u in (0, 1) become normals through the inverse normal distribution (Wichura's AS 241,
// accurate to about 1e-16), the same for both methods.
//
// Exact values: a sum whose inputs are all normal is normal, with mean mu = sum_i s_ij m_i t_i
// and variance sum_i (s_ij t_i / 3)^2, so its yield is Phi((T - mu)/sigma) - Phi((-T - mu)/sigma).
// The joint yield is exact when every defined stack-up is and no two share a dimension (a product).
//
// Reproducible: samples come in blocks of BlockSize, each with its own stream seeded from (Seed,
// block) (QMC: each scrambling from (Seed, scrambling)), and counts are integers, so a seed gives
// the same figures whatever the thread count.
class QAV_TASOPT_API QAVTasYieldEstimator
{
public:
  struct Options
  {
    std::int64_t Samples = 1000000;
    std::uint64_t Seed = 1;
    bool Qmc = false;
    std::int32_t Scramblings = 16; // QMC only, >= 2
    std::int32_t Threads = 0;      // 0: one per hardware thread
  };

  struct Estimate
  {
    bool Defined = false;
    double Yield = 0.0, Lower = 0.0, Upper = 0.0; // estimate and its 95 % interval
    double PpmOut = 0.0;                          // parts per million out of tolerance
    bool HasExact = false;
    double Exact = 0.0;
  };

  struct Report
  {
    Estimate Joint;
    std::vector<Estimate> Stackups;
    std::int64_t Samples = 0;
    bool Qmc = false;
  };

  static constexpr std::int64_t BlockSize = 1024;

  QAVTasYieldEstimator() = default;
  explicit QAVTasYieldEstimator(const Options& iOptions) : _Options(iOptions) {}

  // iTolerances holds one tolerance per dimension (an allocation's); throws std::invalid_argument
  // when it does not, when one is negative or not finite, when Samples < 1 or Scramblings < 2 with
  // Qmc, or when the problem has defects (the message: QAVTasAllocationProblem::Defects).
  Report Simulate(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iTolerances) const;

  // The standard normal quantile Phi^-1(p), 0 < p < 1.
  static double NormalQuantile(double iP);

private:
  Options _Options;
};

#endif

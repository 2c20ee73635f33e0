#include "QAVTasYieldEstimator.h"

#include "QAVTasRandomStream.h"
#include "QAVTasSobolSequence.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <thread>

using Problem = QAVTasAllocationProblem;
using Estimator = QAVTasYieldEstimator;

namespace
{
const double kZ = 1.959963984540054; // Phi^-1(0.975)
const std::int64_t kBlock = Estimator::BlockSize;

// Horner's scheme, coefficients from the constant term up.
double Polynomial(const double (&iC)[8], double iX)
{
  double v = iC[7];
  for (int k = 6; k >= 0; --k)
    v = v * iX + iC[k];
  return v;
}

// Wichura's AS 241: a rational function of q^2 in the centre, of sqrt(-log(min(p, 1-p))) in the tails.
const double ka[8] = {3.3871328727963666080e0,  1.3314166789178437745e+2, 1.9715909503065514427e+3,
                      1.3731693765509461125e+4, 4.5921953931549871457e+4, 6.7265770927008700853e+4,
                      3.3430575583588128105e+4, 2.5090809287301226727e+3};
const double kb[8] = {1.0,
                      4.2313330701600911252e+1,
                      6.8718700749205790830e+2,
                      5.3941960214247511077e+3,
                      2.1213794301586595867e+4,
                      3.9307895800092710610e+4,
                      2.8729085735721942674e+4,
                      5.2264952788528545610e+3};
const double kc[8] = {1.42343711074968357734e0,  4.63033784615654529590e0, 5.76949722146069140550e0,
                      3.64784832476320460504e0,  1.27045825245236838258e0, 2.41780725177450611770e-1,
                      2.27238449892691845833e-2, 7.74545014278341407640e-4};
const double kd[8] = {1.0,
                      2.05319162663775882187e0,
                      1.67638483018380384940e0,
                      6.89767334985100004550e-1,
                      1.48103976427480074590e-1,
                      1.51986665636164571966e-2,
                      5.47593808499534494600e-4,
                      1.05075007164441684324e-9};
const double ke[8] = {6.65790464350110377720e0,  5.46378491116411436990e0,  1.78482653991729133580e0,
                      2.96560571828504891230e-1, 2.65321895265761230930e-2, 1.24266094738807843860e-3,
                      2.71155556874348757815e-5, 2.01033439929228813265e-7};
const double kf[8] = {1.0,
                      5.99832206555887937690e-1,
                      1.36929880922735805310e-1,
                      1.48753612908506148525e-2,
                      7.86869131145613259100e-4,
                      1.84631831751005468180e-5,
                      1.42151175831644588870e-7,
                      2.04426310338993978564e-15};

double CentralQuantile(double iQ)
{
  const double r = 0.180625 - iQ * iQ;
  return iQ * Polynomial(ka, r) / Polynomial(kb, r);
}

double TailQuantile(double iP)
{
  const double q = iP - 0.5, r = std::sqrt(-std::log(q < 0.0 ? iP : 1.0 - iP));
  const double x =
    r <= 5.0 ? Polynomial(kc, r - 1.6) / Polynomial(kd, r - 1.6) : Polynomial(ke, r - 5.0) / Polynomial(kf, r - 5.0);
  return q < 0.0 ? -x : x;
}

// Normal deviates mean + scale Phi^-1(u): the centre for all (a loop without branches, which the
// compiler vectorises), then the tails, about 15 % of the draws.
void NormalDeviates(const double* ipU, std::int64_t iCount, double iMean, double iScale, double* opDev)
{
  for (std::int64_t k = 0; k < iCount; ++k)
    opDev[k] = CentralQuantile(ipU[k] - 0.5);
  for (std::int64_t k = 0; k < iCount; ++k)
    if (std::fabs(ipU[k] - 0.5) > 0.425)
      opDev[k] = TailQuantile(ipU[k]);
  for (std::int64_t k = 0; k < iCount; ++k)
    opDev[k] = iMean + iScale * opDev[k];
}

// The stack-ups that have a yield, over the dimensions they draw.
struct Model
{
  std::vector<std::int32_t> Drawn;                                // problem dimensions drawn, in order
  std::vector<double> Mean, Scale;                                // per drawn dimension
  std::vector<bool> Normal;                                       // per drawn dimension
  std::vector<std::size_t> Stackup;                               // per row: its stack-up
  std::vector<double> Limit;                                      // per row
  std::vector<std::vector<std::pair<std::size_t, double>>> Terms; // per row: (drawn index, s_ij)

  Model(const Problem& iProblem, const std::vector<double>& iT)
  {
    std::vector<std::int32_t> drawnOf(iProblem.Dimensions.size(), -1);
    for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    {
      const auto& s = iProblem.Stackups[j];
      if (s.Rule == Problem::Law::Linear)
        continue;
      Stackup.push_back(j);
      Limit.push_back(s.Limit);
      Terms.emplace_back();
      for (const auto& [i, w] : s.Sensitivity)
      {
        if (drawnOf[i] < 0)
        {
          const auto& d = iProblem.Dimensions[i];
          const bool normal = d.Spread == Problem::Distribution::Normal;
          drawnOf[i] = static_cast<std::int32_t>(Drawn.size());
          Drawn.push_back(i);
          Mean.push_back(d.MeanShift * iT[i]);
          Scale.push_back(normal ? iT[i] / 3.0 : iT[i]);
          Normal.push_back(normal);
        }
        Terms.back().push_back({static_cast<std::size_t>(drawnOf[i]), w});
      }
    }
  }

  // Yield of a row when all its inputs are normal.
  bool Exact(std::size_t iRow, double& oYield) const
  {
    double mu = 0.0, variance = 0.0;
    for (const auto& [d, w] : Terms[iRow])
    {
      if (!Normal[d])
        return false;
      mu += w * Mean[d];
      variance += (w * Scale[d]) * (w * Scale[d]);
    }
    const double sigma = std::sqrt(variance), limit = Limit[iRow];
    if (!(sigma > 0.0))
      oYield = std::fabs(mu) <= limit ? 1.0 : 0.0;
    else
      oYield = 0.5 * (std::erfc(-(limit - mu) / (sigma * M_SQRT2)) - std::erfc(-(-limit - mu) / (sigma * M_SQRT2)));
    return true;
  }
};

// A thread's buffers: the deviations of a block, drawn index by drawn index, and a row's sums.
class Sampler
{
public:
  explicit Sampler(const Model& iModel)
    : _Model(iModel), _Dev(iModel.Drawn.size() * kBlock), _U(kBlock), _Y(kBlock), _Joint(kBlock)
  {
  }

  // Counts met samples per row, then jointly, into ioCounts (rows + 1 entries).
  template <class Uniforms>
  void Block(std::int64_t iCount, Uniforms&& iFill, std::int64_t* ioCounts)
  {
    for (std::size_t d = 0; d < _Model.Drawn.size(); ++d)
    {
      double* dev = &_Dev[d * kBlock];
      iFill(d, _U.data());
      const double mean = _Model.Mean[d], scale = _Model.Scale[d];
      if (_Model.Normal[d])
        NormalDeviates(_U.data(), iCount, mean, scale, dev);
      else
        for (std::int64_t k = 0; k < iCount; ++k)
          dev[k] = mean + scale * (2.0 * _U[k] - 1.0);
    }
    std::fill(_Joint.begin(), _Joint.begin() + iCount, 1);
    for (std::size_t r = 0; r < _Model.Terms.size(); ++r)
    {
      std::fill(_Y.begin(), _Y.begin() + iCount, 0.0);
      for (const auto& [d, w] : _Model.Terms[r])
      {
        const double* dev = &_Dev[d * kBlock];
        for (std::int64_t k = 0; k < iCount; ++k)
          _Y[k] += w * dev[k];
      }
      const double limit = _Model.Limit[r];
      std::int64_t met = 0;
      for (std::int64_t k = 0; k < iCount; ++k)
      {
        const unsigned char in = std::fabs(_Y[k]) <= limit;
        met += in;
        _Joint[k] &= in;
      }
      ioCounts[r] += met;
    }
    std::int64_t joint = 0;
    for (std::int64_t k = 0; k < iCount; ++k)
      joint += _Joint[k];
    ioCounts[_Model.Terms.size()] += joint;
  }

private:
  const Model& _Model;
  std::vector<double> _Dev, _U, _Y;
  std::vector<unsigned char> _Joint;
};

double StudentQuantile975(std::int32_t iDf)
{
  static const double kTable[] = {12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306, 2.262, 2.228,
                                  2.201,  2.179, 2.160, 2.145, 2.131, 2.120, 2.110, 2.101, 2.093, 2.086,
                                  2.080,  2.074, 2.069, 2.064, 2.060, 2.056, 2.052, 2.048, 2.045, 2.042};
  if (iDf <= 30)
    return kTable[iDf - 1];
  // Cornish-Fisher expansion about the normal quantile.
  const double z = kZ, n = iDf;
  return z + (z * z * z + z) / (4.0 * n) + (5.0 * std::pow(z, 5) + 16.0 * z * z * z + 3.0 * z) / (96.0 * n * n);
}

void Wilson(std::int64_t iMet, std::int64_t iN, Estimator::Estimate& oE)
{
  const double n = static_cast<double>(iN), p = iMet / n, z2 = kZ * kZ;
  const double centre = (p + z2 / (2.0 * n)) / (1.0 + z2 / n);
  const double half = kZ * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n)) / (1.0 + z2 / n);
  oE.Yield = p;
  oE.Lower = std::max(0.0, centre - half);
  oE.Upper = std::min(1.0, centre + half);
}

void Replicated(const std::vector<double>& iShares, std::int64_t iMet, std::int64_t iN, Estimator::Estimate& oE)
{
  const double r = static_cast<double>(iShares.size());
  double mean = 0.0, squares = 0.0;
  for (const double p : iShares)
    mean += p / r;
  for (const double p : iShares)
    squares += (p - mean) * (p - mean);
  const double half =
    StudentQuantile975(static_cast<std::int32_t>(iShares.size()) - 1) * std::sqrt(squares / (r - 1.0)) / std::sqrt(r);
  oE.Yield = static_cast<double>(iMet) / static_cast<double>(iN);
  oE.Lower = std::max(0.0, oE.Yield - half);
  oE.Upper = std::min(1.0, oE.Yield + half);
}
} // namespace

double QAVTasYieldEstimator::NormalQuantile(double iP)
{
  const double q = iP - 0.5;
  return std::fabs(q) <= 0.425 ? CentralQuantile(q) : TailQuantile(iP);
}

QAVTasYieldEstimator::Report QAVTasYieldEstimator::Simulate(const QAVTasAllocationProblem& iProblem,
                                                            const std::vector<double>& iTolerances) const
{
  const Options& o = _Options;
  if (iTolerances.size() != iProblem.Dimensions.size() || o.Samples < 1 || (o.Qmc && o.Scramblings < 2))
    throw std::invalid_argument("yield: one tolerance per dimension, at least one sample, two scramblings");
  const Model model(iProblem, iTolerances);
  const std::size_t rows = model.Terms.size(), width = rows + 1;

  // Jobs: blocks of one stream (MC), or blocks of each scrambling's share of the points (QMC),
  // numbered replicate by replicate; each thread counts into its own totals per replicate.
  const std::int64_t replicates = o.Qmc ? o.Scramblings : 1;
  const auto shareOf = [&](std::int64_t r) { return o.Samples / replicates + (r < o.Samples % replicates ? 1 : 0); };
  const std::int64_t blocksPer = (shareOf(0) + kBlock - 1) / kBlock, jobs = blocksPer * replicates;
  const QAVTasSobolSequence sobol(o.Qmc ? model.Drawn.size() : 0);
  std::vector<QAVTasSobolSequence::Scrambling> scramblings;
  for (std::int64_t r = 0; o.Qmc && r < replicates; ++r)
    scramblings.push_back(sobol.Scramble(o.Seed, static_cast<std::uint64_t>(r)));

  const std::size_t threads = static_cast<std::size_t>(std::max<std::int64_t>(
    1, std::min<std::int64_t>(jobs, o.Threads > 0 ? o.Threads : std::thread::hardware_concurrency())));
  std::vector<std::vector<std::int64_t>> counts(threads, std::vector<std::int64_t>(replicates * width, 0));
  std::atomic<std::int64_t> next{0};
  const auto work = [&](std::vector<std::int64_t>& ioCounts)
  {
    Sampler sampler(model);
    for (std::int64_t k; (k = next++) < jobs;)
    {
      const std::int64_t r = k / blocksPer, first = (k % blocksPer) * kBlock;
      const std::int64_t count = std::min(kBlock, shareOf(r) - first);
      if (count <= 0)
        continue;
      std::int64_t* out = &ioCounts[r * width];
      if (o.Qmc)
      {
        const auto& s = scramblings[r];
        sampler.Block(
          count, [&](std::size_t d, double* u) { QAVTasSobolSequence::Fill(s, d, first, count, u); }, out);
        continue;
      }
      QAVTasRandomStream stream(o.Seed, static_cast<std::uint64_t>(k));
      sampler.Block(
        count,
        [&](std::size_t, double* u)
        {
          for (std::int64_t i = 0; i < count; ++i)
            u[i] = stream.Uniform();
        },
        out);
    }
  };
  std::vector<std::thread> pool;
  try
  {
    for (std::size_t t = 1; t < threads; ++t)
      pool.emplace_back(work, std::ref(counts[t]));
  }
  catch (const std::system_error&)
  {
    // Fewer threads than asked for: the figures do not depend on how many.
  }
  work(counts[0]);
  for (auto& t : pool)
    t.join();

  // Totals per replicate, then the figures.
  std::vector<std::int64_t> met(replicates * width, 0), drawn(replicates, 0);
  for (std::int64_t r = 0; r < replicates; ++r)
    drawn[r] = shareOf(r);
  for (const auto& perThread : counts)
    for (std::size_t c = 0; c < met.size(); ++c)
      met[c] += perThread[c];
  const auto figure = [&](std::size_t c, Estimate& e)
  {
    std::int64_t total = 0;
    std::vector<double> shares;
    for (std::int64_t r = 0; r < replicates; ++r)
    {
      total += met[r * width + c];
      shares.push_back(static_cast<double>(met[r * width + c]) / static_cast<double>(drawn[r]));
    }
    if (o.Qmc)
      Replicated(shares, total, o.Samples, e);
    else
      Wilson(total, o.Samples, e);
    e.Defined = true;
    e.PpmOut = 1e6 * (1.0 - e.Yield);
  };

  Report report;
  report.Samples = o.Samples;
  report.Qmc = o.Qmc;
  report.Stackups.resize(iProblem.Stackups.size());
  figure(rows, report.Joint);
  report.Joint.Defined = rows > 0;
  report.Joint.HasExact = true;
  report.Joint.Exact = 1.0;
  std::vector<int> uses(model.Drawn.size(), 0);
  for (std::size_t r = 0; r < rows; ++r)
  {
    Estimate& e = report.Stackups[model.Stackup[r]];
    figure(r, e);
    e.HasExact = model.Exact(r, e.Exact);
    report.Joint.HasExact = report.Joint.HasExact && e.HasExact;
    report.Joint.Exact *= e.Exact;
    for (const auto& term : model.Terms[r])
      report.Joint.HasExact = report.Joint.HasExact && uses[term.first]++ == 0;
  }
  if (!report.Joint.HasExact)
    report.Joint.Exact = 0.0;
  return report;
}

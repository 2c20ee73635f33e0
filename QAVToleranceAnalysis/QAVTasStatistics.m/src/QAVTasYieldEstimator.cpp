#include "QAVTasYieldEstimator.h"

#include "QAVTasExpressionStackup.h"
#include "QAVTasStackupLaw.h"

#include "QAVTasRandomStream.h"
#include "QAVTasSampleBlocks.h"
#include "QAVTasSobolSequence.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>

using Problem = QAVTasAllocationProblem;
using Estimator = QAVTasYieldEstimator;

namespace
{
const double kZ = QAVTasSampleBlocks::kZ975;
const std::int64_t kBlock = Estimator::BlockSize;

// The stack-ups that have a yield, over the dimensions they draw.
struct Model
{
  std::vector<std::int32_t> Drawn;                                // problem dimensions drawn, in order
  std::vector<double> Mean, Scale, Centre;                        // per drawn dimension
  std::vector<Problem::Distribution> Spread;                      // per drawn dimension
  std::vector<std::size_t> Stackup;                               // per row: its stack-up
  std::vector<double> Limit;                                      // per row
  std::vector<std::vector<std::pair<std::size_t, double>>> Terms; // per row: (drawn index, s_ij)
  std::vector<std::unique_ptr<QAVTasExpressionStackup>> Function; // per row: its function, or none
  std::vector<double> Reference;                                  // per row: its function at x0
  std::size_t Dimensions = 0;

  Model(const Problem& iProblem, const std::vector<double>& iT)
    : Dimensions(iProblem.Dimensions.size()), _DrawnOf(Dimensions, -1)
  {
    std::vector<double> x0;
    for (const Problem::Dimension& d : iProblem.Dimensions)
      x0.push_back(d.Nominal);
    for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
    {
      const auto& s = iProblem.Stackups[j];
      double halfWidth = 0.0;
      if (!s.LawOf().YieldWindow(s, halfWidth))
        continue;
      Stackup.push_back(j);
      Limit.push_back(halfWidth);
      Terms.emplace_back();
      Function.emplace_back();
      Reference.push_back(0.0);
      if (!s.Function.empty())
      {
        Function.back() = std::make_unique<QAVTasExpressionStackup>(iProblem, s);
        Reference.back() = Function.back()->Value(x0.data());
        for (const std::int32_t i : Function.back()->Inputs())
          Draw(iProblem, iT, i);
        continue;
      }
      for (const auto& [i, w] : s.Sensitivity)
        Terms.back().push_back({Draw(iProblem, iT, i), w});
    }
  }

  bool HasFunctions() const
  {
    return std::any_of(Function.begin(), Function.end(), [](const auto& f) { return f != nullptr; });
  }

  // Yield of a row when all its inputs are normal.
  bool Exact(std::size_t iRow, double& oYield) const
  {
    if (Function[iRow])
      return false;
    double mu = 0.0, variance = 0.0;
    for (const auto& [d, w] : Terms[iRow])
    {
      if (Spread[d] != Problem::Distribution::Normal)
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

private:
  // The drawn index of dimension i, drawn now if it was not yet.
  std::size_t Draw(const Problem& iProblem, const std::vector<double>& iT, std::int32_t i)
  {
    if (_DrawnOf[i] < 0)
    {
      const auto& d = iProblem.Dimensions[i];
      const bool normal = d.Spread == Problem::Distribution::Normal;
      // Deviations from the centre of the zone; a normal scale is a sigma, the others a half-width.
      _DrawnOf[i] = static_cast<std::int32_t>(Drawn.size());
      Drawn.push_back(i);
      Mean.push_back(d.MeanAt(iT[i]) - d.Centre());
      Scale.push_back(normal ? d.SigmaAt(iT[i]) : iT[i]);
      Centre.push_back(d.Centre());
      Spread.push_back(d.Spread);
    }
    return static_cast<std::size_t>(_DrawnOf[i]);
  }

  std::vector<std::int32_t> _DrawnOf;
};

// A thread's buffers: the deviations of a block, drawn index by drawn index, and a row's sums.
class Sampler
{
public:
  explicit Sampler(const Model& iModel)
    : _Model(iModel), _Dev(iModel.Drawn.size() * kBlock), _U(kBlock), _Y(kBlock), _Joint(kBlock)
  {
    if (!iModel.HasFunctions())
      return;
    _X.resize(_Dev.size());
    _Columns.assign(iModel.Dimensions, nullptr);
    for (std::size_t d = 0; d < iModel.Drawn.size(); ++d)
      _Columns[static_cast<std::size_t>(iModel.Drawn[d])] = &_X[d * kBlock];
  }

  // Counts met samples per row, then jointly, into ioCounts (rows + 1 entries).
  template <class Uniforms>
  void Block(std::int64_t iCount, Uniforms&& iFill, std::int64_t* ioCounts)
  {
    for (std::size_t d = 0; d < _Model.Drawn.size(); ++d)
    {
      double* dev = &_Dev[d * kBlock];
      iFill(d, _U.data());
      QAVTasSampleBlocks::Deviates(_Model.Spread[d], _U.data(), iCount, _Model.Mean[d], _Model.Scale[d], dev);
      if (!_X.empty())
        for (std::int64_t k = 0; k < iCount; ++k)
          _X[d * kBlock + k] = _Model.Centre[d] + dev[k];
    }
    std::fill(_Joint.begin(), _Joint.begin() + iCount, 1);
    for (std::size_t r = 0; r < _Model.Terms.size(); ++r)
    {
      Deviations(r, iCount);
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
  // Y of row r for the block: its sum of terms, or its function less its value at the nominals.
  void Deviations(std::size_t iRow, std::int64_t iCount)
  {
    if (const QAVTasExpressionStackup* f = _Model.Function[iRow].get())
    {
      f->Values(_Columns.data(), iCount, _Y.data());
      for (std::int64_t k = 0; k < iCount; ++k)
        _Y[k] -= _Model.Reference[iRow];
      return;
    }
    std::fill(_Y.begin(), _Y.begin() + iCount, 0.0);
    for (const auto& [d, w] : _Model.Terms[iRow])
    {
      const double* dev = &_Dev[d * kBlock];
      for (std::int64_t k = 0; k < iCount; ++k)
        _Y[k] += w * dev[k];
    }
  }

  const Model& _Model;
  std::vector<double> _Dev, _U, _Y, _X; // _X: centre + deviation, when a row is a function
  std::vector<const double*> _Columns;  // per problem dimension: its column of _X
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
  const QAVTasSampleBlocks::Interval w = QAVTasSampleBlocks::Wilson(iMet, iN);
  oE.Yield = w.Estimate;
  oE.Lower = w.Lower;
  oE.Upper = w.Upper;
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
  return QAVTasSampleBlocks::NormalQuantile(iP);
}

QAVTasYieldEstimator::Report QAVTasYieldEstimator::Simulate(const QAVTasAllocationProblem& iProblem,
                                                            const std::vector<double>& iTolerances) const
{
  const Options& o = _Options;
  if (iTolerances.size() != iProblem.Dimensions.size() || o.Samples < 1 || (o.Qmc && o.Scramblings < 2))
    throw std::invalid_argument("yield: one tolerance per dimension, at least one sample, two scramblings");
  const std::string defects = iProblem.Defects();
  if (!defects.empty())
    throw std::invalid_argument(defects);
  for (std::size_t i = 0; i < iTolerances.size(); ++i)
    if (!(std::isfinite(iTolerances[i]) && iTolerances[i] >= 0.0))
      throw std::invalid_argument("yield: the tolerance of dimension " + std::to_string(i) +
                                  " is not a finite number >= 0");
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

  const std::size_t threads = QAVTasSampleBlocks::ThreadsFor(jobs, o.Threads);
  std::vector<std::vector<std::int64_t>> counts(threads, std::vector<std::int64_t>(replicates * width, 0));
  std::atomic<std::int64_t> next{0};
  const auto work = [&](std::size_t iThread)
  {
    std::vector<std::int64_t>& ioCounts = counts[iThread];
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
        count, [&](std::size_t, double* u) { QAVTasSampleBlocks::Uniforms(stream, count, u); }, out);
    }
  };
  QAVTasSampleBlocks::OnThreads(threads, work);

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

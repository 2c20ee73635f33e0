#include "QAVTasStackupSimulation.h"

#include "QAVTasSampleBlocks.h"
#include "QAVTasTailBuffer.h"

#include <algorithm>
#include <atomic>
#include <cmath>

using Analysis = QAVTasStackupAnalysis;
using namespace QAVTasStackupSimulation;

namespace
{
const std::int64_t kBlock = QAVTasSampleBlocks::kBlock;
const std::int64_t kBlocksPerJob = 16; // a job's sums are kept apart, to be added in job order
const double kTail = 0.00135;
const std::size_t kLanes = 4;

// What one job adds to a stack-up's figures.
struct Sums
{
  double Shifted = 0.0, Squares = 0.0; // of y - reference
  double Min = HUGE_VAL, Max = -HUGE_VAL;
};

// A thread's counts and tails, per stack-up.
struct Tally
{
  std::vector<std::int64_t> Below, Above, Histogram;
  std::int64_t Joint = 0;
  std::vector<QAVTasTailBuffer> Low, High; // High keeps -y

  Tally(std::size_t iTargets, std::size_t iBins, std::size_t iKeep)
    : Below(iTargets, 0), Above(iTargets, 0), Histogram(iTargets * iBins * kLanes, 0),
      Low(iTargets, QAVTasTailBuffer(iKeep)), High(iTargets, QAVTasTailBuffer(iKeep))
  {
  }
};

// A thread's buffers for a block: the dimensions' columns, a stack-up's values, the joint flags.
class Sampler
{
public:
  Sampler(const Draws& iDraws, const std::vector<Target>& iTargets, std::size_t iBins)
    : _Draws(iDraws), _Targets(iTargets), _Bins(iBins), _X(iDraws.Mean.size() * kBlock), _Columns(iDraws.Mean.size()),
      _U(kBlock), _Y(kBlock), _Met(kBlock)
  {
    for (std::size_t i = 0; i < _Columns.size(); ++i)
      _Columns[i] = &_X[i * kBlock];
  }

  void Block(std::uint64_t iSeed, std::int64_t iBlock, std::int64_t iCount, Tally& ioTally, Sums* opSums)
  {
    QAVTasRandomStream stream(iSeed, static_cast<std::uint64_t>(iBlock));
    for (std::size_t i = 0; i < _Columns.size(); ++i)
    {
      QAVTasSampleBlocks::Uniforms(stream, iCount, _U.data());
      QAVTasSampleBlocks::Deviates(_Draws.Spread[i], _U.data(), iCount, _Draws.Mean[i], _Draws.Scale[i],
                                   &_X[i * kBlock]);
    }
    std::fill(_Met.begin(), _Met.begin() + iCount, 1);
    for (std::size_t r = 0; r < _Targets.size(); ++r)
    {
      _Targets[r].Function->Values(_Columns.data(), iCount, _Y.data());
      Tallies(r, iCount, ioTally, opSums[r]);
    }
    for (std::int64_t k = 0; k < iCount; ++k)
      ioTally.Joint += _Met[k];
  }

private:
  void Tallies(std::size_t iTarget, std::int64_t iCount, Tally& ioTally, Sums& ioSums)
  {
    const Target& t = _Targets[iTarget];
    const double lsl = t.HasLsl ? t.Lsl : -HUGE_VAL, usl = t.HasUsl ? t.Usl : HUGE_VAL;
    Moments(t.Reference, iCount, ioSums);
    std::int64_t below = 0, above = 0;
    for (std::int64_t k = 0; k < iCount; ++k)
    {
      const double y = _Y[k];
      below += y < lsl;
      above += y > usl;
      _Met[k] &= static_cast<unsigned char>(y >= lsl && y <= usl);
    }
    ioTally.Below[iTarget] += below;
    ioTally.Above[iTarget] += above;
    Tails(iCount, ioTally.Low[iTarget], ioTally.High[iTarget]);
    if (_Bins == 0)
      return;
    // Four interleaved copies of the bins, so that neighbours in one bin do not wait on each other.
    std::int64_t* bins = &ioTally.Histogram[iTarget * _Bins * kLanes];
    const double scale = static_cast<double>(_Bins) / (t.High - t.Low);
    const double last = static_cast<double>(_Bins - 1);
    for (std::int64_t k = 0; k < iCount; ++k)
      ++bins[static_cast<std::size_t>(k % kLanes) * _Bins +
             static_cast<std::size_t>(std::min(last, std::max(0.0, std::floor((_Y[k] - t.Low) * scale))))];
  }

  // Sums of y - reference and of its squares, minimum and maximum, in four interleaved lanes
  // (their order is fixed, so the figures are too).
  void Moments(double iReference, std::int64_t iCount, Sums& ioSums) const
  {
    double shifted[4] = {0.0, 0.0, 0.0, 0.0}, squares[4] = {0.0, 0.0, 0.0, 0.0};
    double low[4] = {ioSums.Min, ioSums.Min, ioSums.Min, ioSums.Min};
    double high[4] = {ioSums.Max, ioSums.Max, ioSums.Max, ioSums.Max};
    std::int64_t k = 0;
    for (; k + 4 <= iCount; k += 4)
      for (int l = 0; l < 4; ++l)
      {
        const double y = _Y[k + l], d = y - iReference;
        shifted[l] += d;
        squares[l] += d * d;
        low[l] = std::min(low[l], y);
        high[l] = std::max(high[l], y);
      }
    for (; k < iCount; ++k)
    {
      const double y = _Y[k], d = y - iReference;
      shifted[0] += d;
      squares[0] += d * d;
      low[0] = std::min(low[0], y);
      high[0] = std::max(high[0], y);
    }
    ioSums.Shifted += (shifted[0] + shifted[1]) + (shifted[2] + shifted[3]);
    ioSums.Squares += (squares[0] + squares[1]) + (squares[2] + squares[3]);
    ioSums.Min = std::min(std::min(low[0], low[1]), std::min(low[2], low[3]));
    ioSums.Max = std::max(std::max(high[0], high[1]), std::max(high[2], high[3]));
  }

  // Candidates for the tails: after the first blocks, only a few values a block pass the bars.
  void Tails(std::int64_t iCount, QAVTasTailBuffer& ioLow, QAVTasTailBuffer& ioHigh) const
  {
    double low = ioLow.Bar(), high = -ioHigh.Bar();
    for (std::int64_t k = 0; k < iCount; ++k)
    {
      const double y = _Y[k];
      if (y < low)
      {
        ioLow.Add(y);
        low = ioLow.Bar();
      }
      if (y > high)
      {
        ioHigh.Add(-y);
        high = -ioHigh.Bar();
      }
    }
  }

  const Draws& _Draws;
  const std::vector<Target>& _Targets;
  std::size_t _Bins;
  std::vector<double> _X;
  std::vector<const double*> _Columns;
  std::vector<double> _U, _Y;
  std::vector<unsigned char> _Met;
};

// Linear interpolation between the order statistics around (N - 1) p, from the smallest ones.
double LowQuantile(const std::vector<double>& iSmallest, std::int64_t iN, double iP)
{
  const double h = static_cast<double>(iN - 1) * iP, floor = std::floor(h);
  const std::size_t k = static_cast<std::size_t>(floor);
  const double a = iSmallest[std::min(k, iSmallest.size() - 1)], b = iSmallest[std::min(k + 1, iSmallest.size() - 1)];
  return a + (h - floor) * (b - a);
}

// The same from the largest ones, kept negated, smallest first: x_(N-1-j) = -iNegated[j].
double HighQuantile(const std::vector<double>& iNegated, std::int64_t iN, double iP)
{
  const double h = static_cast<double>(iN - 1) * iP, floor = std::floor(h);
  const std::int64_t lo = static_cast<std::int64_t>(floor);
  const auto at = [&](std::int64_t iRank)
  {
    const std::size_t j = static_cast<std::size_t>(std::max<std::int64_t>(0, iN - 1 - std::min(iRank, iN - 1)));
    return -iNegated[std::min(j, iNegated.size() - 1)];
  };
  return at(lo) + (h - floor) * (at(lo + 1) - at(lo));
}

void Figures(const Target& iTarget, const std::vector<Sums>& iJobs, std::size_t iIndex, std::size_t iTargets,
             std::vector<Tally>& ioTallies, std::size_t iBins, std::int64_t iN, Analysis::Simulation& oMc)
{
  double shifted = 0.0, squares = 0.0;
  oMc.Min = HUGE_VAL;
  oMc.Max = -HUGE_VAL;
  for (std::size_t j = iIndex; j < iJobs.size(); j += iTargets)
  {
    shifted += iJobs[j].Shifted;
    squares += iJobs[j].Squares;
    oMc.Min = std::min(oMc.Min, iJobs[j].Min);
    oMc.Max = std::max(oMc.Max, iJobs[j].Max);
  }
  const double n = static_cast<double>(iN);
  oMc.Ran = true;
  oMc.Mean = iTarget.Reference + shifted / n;
  oMc.Sigma = iN > 1 ? std::sqrt(std::max(0.0, (squares - shifted * shifted / n) / (n - 1.0))) : 0.0;
  QAVTasTailBuffer& low = ioTallies[0].Low[iIndex];
  QAVTasTailBuffer& high = ioTallies[0].High[iIndex];
  oMc.Histogram.assign(iBins, 0);
  for (std::size_t t = 0; t < ioTallies.size(); ++t)
  {
    if (t > 0)
    {
      low.Merge(ioTallies[t].Low[iIndex]);
      high.Merge(ioTallies[t].High[iIndex]);
    }
    oMc.Below += ioTallies[t].Below[iIndex];
    oMc.Above += ioTallies[t].Above[iIndex];
    for (std::size_t b = 0; b < iBins * kLanes; ++b)
      oMc.Histogram[b % iBins] += ioTallies[t].Histogram[iIndex * iBins * kLanes + b];
  }
  oMc.P00135 = LowQuantile(low.Sorted(), iN, kTail);
  oMc.P99865 = HighQuantile(high.Sorted(), iN, 1.0 - kTail);
  oMc.HistogramLow = iTarget.Low;
  oMc.HistogramHigh = iTarget.High;
  oMc.HasYield = iTarget.HasLsl || iTarget.HasUsl;
  const QAVTasSampleBlocks::Interval w = QAVTasSampleBlocks::Wilson(iN - oMc.Below - oMc.Above, iN);
  oMc.Yield = {w.Estimate, w.Lower, w.Upper};
}
} // namespace

void QAVTasStackupSimulation::Run(const Draws& iDraws, const std::vector<Target>& iTargets,
                                  const Analysis::Settings& iSettings, Analysis::Result& ioResult)
{
  const std::int64_t n = iSettings.Samples, blocks = (n + kBlock - 1) / kBlock;
  const std::int64_t jobs = (blocks + kBlocksPerJob - 1) / kBlocksPerJob;
  const std::size_t targets = iTargets.size(), bins = static_cast<std::size_t>(std::max(0, iSettings.HistogramBins));
  const std::size_t keep = static_cast<std::size_t>(
    std::min<std::int64_t>(n, static_cast<std::int64_t>(std::floor(static_cast<double>(n - 1) * kTail)) + 2));
  const std::size_t threads = QAVTasSampleBlocks::ThreadsFor(jobs, iSettings.Threads);
  std::vector<Tally> tallies(threads, Tally(targets, bins, keep));
  std::vector<Sums> sums(static_cast<std::size_t>(jobs) * targets);
  std::atomic<std::int64_t> next{0};
  QAVTasSampleBlocks::OnThreads(threads,
                                [&](std::size_t iThread)
                                {
                                  Sampler sampler(iDraws, iTargets, bins);
                                  for (std::int64_t j; (j = next++) < jobs;)
                                    for (std::int64_t b = j * kBlocksPerJob;
                                         b < std::min(blocks, (j + 1) * kBlocksPerJob); ++b)
                                      sampler.Block(iSettings.Seed, b, std::min(kBlock, n - b * kBlock),
                                                    tallies[iThread], &sums[static_cast<std::size_t>(j) * targets]);
                                });
  for (std::size_t r = 0; r < targets; ++r)
    Figures(iTargets[r], sums, r, targets, tallies, bins, n, ioResult.Stackups[r].Mc);
  std::int64_t joint = 0;
  bool any = false;
  for (const Tally& t : tallies)
    joint += t.Joint;
  for (const Target& t : iTargets)
    any = any || t.HasLsl || t.HasUsl;
  ioResult.HasJoint = any;
  const QAVTasSampleBlocks::Interval w = QAVTasSampleBlocks::Wilson(joint, n);
  ioResult.Joint = {w.Estimate, w.Lower, w.Upper};
}

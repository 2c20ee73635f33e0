#include "QAVEngineProbe.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace
{
// A bowl whose floor (fitness 1) lies above the default reference 0, so a run goes on to its
// generation limit unless the observer stops it.
template <class Engine, class Gene>
struct Bowl
{
  using Probe = QAVEngineProbe<Engine, Gene>;
  static constexpr std::int32_t kPopulation = 12;
  static constexpr std::int32_t kGenerations = 40;

  std::vector<Gene> min = std::vector<Gene>(3, Gene(-20)), max = std::vector<Gene>(3, Gene(20));
  Probe probe;
  std::vector<QAVGAProgress> seen;

  Bowl()
  {
    probe.fitness = [](std::int32_t n, const Gene* x)
    {
      double sum = 1.0;
      for (std::int32_t i = 0; i < n; ++i)
        sum += (x[i] - 1.0) * (x[i] - 1.0);
      return sum;
    };
    probe.Setup(kPopulation, min, max);
    probe.SetMaxNumber(kGenerations);
    probe.SetRefresh(7);
    probe.SetSeed(11);
    probe.SetIdemFitnessCount(1000);
  }
  // Records every call; replies Stop at generation iStopAt.
  void Watch(std::int32_t iStopAt = -1)
  {
    probe.SetObserver(
      [this, iStopAt](const QAVGAProgress& p)
      {
        seen.push_back(p);
        return p._Generation == iStopAt ? QAVGAObserverReply::Stop : QAVGAObserverReply::Continue;
      });
  }
  std::string Run(bool iMaximize = false)
  {
    // A maximising run goes on while its optimum is below the reference.
    probe.SetFitnessReference(iMaximize ? HUGE_VAL : 0.0);
    QAVCoutCapture out; // the platform stream follows std::cout, so this takes both
    iMaximize ? probe.Maximize() : probe.Minimize();
    return out.Text();
  }
};

template <class T>
class EngineObserver : public ::testing::Test
{
};
using Engines = ::testing::Types<Bowl<QAVMathIntGAOptimizer, std::int32_t>, Bowl<QAVTasGAOptimizer, double>>;
TYPED_TEST_SUITE(EngineObserver, Engines);
} // namespace

TYPED_TEST(EngineObserver, SeesEveryGenerationWithTheOptimumAndTheEvaluationsSoFar)
{
  TypeParam b;
  b.Watch();
  for (int run = 0; run < 2; ++run) // a second run counts its own evaluations from the start
  {
    b.seen.clear();
    b.probe.evaluated.clear();
    b.Run();
    ASSERT_EQ(b.seen.size(), static_cast<std::size_t>(TypeParam::kGenerations + 1));
    EXPECT_EQ(b.seen[0]._Evaluations, TypeParam::kPopulation);
    for (std::size_t k = 1; k < b.seen.size(); ++k)
    {
      EXPECT_EQ(b.seen[k]._Generation, static_cast<std::int32_t>(k));
      EXPECT_LE(b.seen[k]._OptimumFitness, b.seen[k - 1]._OptimumFitness) << k;
      EXPECT_GE(b.seen[k]._Evaluations, b.seen[k - 1]._Evaluations) << k;
      EXPECT_LE(b.seen[k]._Evaluations, b.seen[k - 1]._Evaluations + TypeParam::kPopulation) << k;
    }
    EXPECT_EQ(b.seen.back()._OptimumFitness, b.probe.GetOptimumFitness());
    EXPECT_EQ(b.seen.back()._Evaluations, static_cast<std::int64_t>(b.probe.evaluated.size()));
  }
}

TYPED_TEST(EngineObserver, StopEndsTheRunRightThere)
{
  for (const auto& [stopAt, maximize] : {std::make_pair(0, false), std::make_pair(5, false), std::make_pair(3, true)})
  {
    TypeParam b;
    b.Watch(stopAt);
    b.Run(maximize);
    ASSERT_EQ(b.seen.size(), static_cast<std::size_t>(stopAt + 1)) << stopAt;
    EXPECT_EQ(b.seen.back()._Evaluations, static_cast<std::int64_t>(b.probe.evaluated.size())) << stopAt;
    EXPECT_EQ(b.seen.back()._OptimumFitness, b.probe.GetOptimumFitness()) << stopAt;
  }
}

TEST(RealEngineObserver, EarlyStopStillClosesTheRunWithItsGenerationCount)
{
  Bowl<QAVTasGAOptimizer, double> b;
  b.Watch(5);
  const std::string out = b.Run();
  EXPECT_NE(out.find("nbgen = 5\n"), std::string::npos) << out;
  EXPECT_NE(out.find("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize ending\n"), std::string::npos);
}

#include "QAVCoutCapture.h"
#include "QAVGALimitsGuard.h"
#include "QAVGASettings.h"
#include "QAVMathGAOptimizer.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <tuple>
#include <vector>

namespace
{
// Sum of squares around (1, −2, 0.5), recording every candidate it is given.
class Shifted : public QAVMathGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, double* ipX) override
  {
    static const double centre[] = {1.0, -2.0, 0.5};
    double f = 0.0;
    for (std::int32_t k = 0; k < iCount; ++k)
      f += (ipX[k] - centre[k]) * (ipX[k] - centre[k]);
    seen.insert(seen.end(), ipX, ipX + iCount);
    return f;
  }
  std::vector<double> seen;
};

// The same fitness on the library's real engine, recording the candidates alike.
class ShiftedOnEngine : public QAVTasGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, double* ipX) override { return twin.EvalFitness(iCount, ipX); }
  Shifted twin;
};

void Solve(Shifted& o)
{
  static double lower[] = {-5, -5, -5}, upper[] = {5, 5, 5};
  o.SetNumParams(3);
  o.SetParamValLimits(lower, upper);
  o.SetPopulationSize(20);
  o.SetProcess(3);
  o.SetCrossValue(0.7);
  o.SetMutatValue(0.9);
  o.SetMaxNumber(400);
  o.SetIdemFitnessCount(50);
  o.SetFitnessReference(1e-12);
  o.Minimize();
}
} // namespace

TEST(PlatformGA, MinimizesSilentlyAndReproducibly)
{
  QAVCoutCapture out;
  Shifted a, b;
  Solve(a);
  Solve(b);
  EXPECT_EQ(out.Text(), "");
  double best[3];
  a.GetOptimumParams(best);
  EXPECT_LT(a.GetOptimumFitness(), 1e-6);
  EXPECT_NEAR(best[0], 1.0, 1e-3);
  EXPECT_NEAR(best[1], -2.0, 1e-3);
  EXPECT_NEAR(best[2], 0.5, 1e-3);
  EXPECT_EQ(a.seen, b.seen);
  EXPECT_GT(a.GetGenerationCount(), 0);
}

TEST(PlatformGA, StopRulesAndSmallPopulations)
{
  // The optimum at the reference before the first generation: only the initial population is scored.
  Shifted o;
  static double lower[] = {1, -2, 0.5}, upper[] = {1, -2, 0.5};
  o.SetNumParams(3);
  o.SetParamValLimits(lower, upper);
  o.SetPopulationSize(2); // raised to the six the partner draw needs
  o.Minimize();
  EXPECT_EQ(o.seen.size(), 6u * 3u);
  EXPECT_EQ(o.GetGenerationCount(), 0);
  EXPECT_EQ(o.GetOptimumFitness(), 0.0);

  Shifted capped;
  Solve(capped);
  capped.seen.clear();
  capped.SetMaxNumber(3);
  capped.SetFitnessReference(-1.0);
  capped.Minimize();
  EXPECT_EQ(capped.GetGenerationCount(), 3);
  EXPECT_LE(capped.seen.size() / 3, 20u * 4u);

  // Without limits nothing runs.
  Shifted idle;
  idle.Minimize();
  EXPECT_TRUE(idle.seen.empty());
  EXPECT_TRUE(std::isnan(idle.GetOptimumFitness()));
}

TEST(PlatformGA, RunsStepForStepLikeTheRealEngine)
{
  static double lower[] = {-5, -5, -5}, upper[] = {5, 5, 5};
  for (std::int32_t process = 1; process <= 11; ++process)
    for (bool maximize : {false, true})
    {
      Shifted platform;
      ShiftedOnEngine engine;
      QAVCoutCapture quiet; // the engine writes its reports
      const auto setUp = [&](auto& o)
      {
        o.SetNumParams(3);
        o.SetParamValLimits(lower, upper);
        o.SetPopulationSize(12);
        o.SetProcess(process);
        o.SetMaxNumber(30);
        o.SetSeed(11);
      };
      setUp(platform);
      setUp(engine);
      maximize ? platform.Maximize() : platform.Minimize();
      maximize ? engine.Maximize() : engine.Minimize();
      double a[3], b[3];
      platform.GetOptimumParams(a);
      engine.GetOptimumParams(b);
      EXPECT_EQ(platform.seen, engine.twin.seen) << process << ' ' << maximize;
      EXPECT_EQ(platform.GetOptimumFitness(), engine.GetOptimumFitness());
      EXPECT_EQ(std::vector<double>(a, a + 3), std::vector<double>(b, b + 3));
    }
}

// Every engine's settings, in the order of QAVGASettings.
template <class Engine>
auto SettingsOf(const Engine& e)
{
  return std::make_tuple(e._CrossValue, e._MutatValue, e._IdemFitnessCount, e._NumParams, e._MaxNumberOfGenerations,
                         e._Process, e._PopulationSize, e._FitnessReference, e._Refresh, e._Seed);
}

struct IntEngine : QAVMathIntGAOptimizer
{
  double EvalFitness(std::int32_t, std::int32_t*) override { return 0.0; }
};

TEST(PlatformGA, SettingsValueHoldsEachEnginesDefaultsAndLendsTheLimits)
{
  QAVCoutCapture quiet;
  Shifted platform, platformSet;
  ShiftedOnEngine real, realSet;
  IntEngine integer, integerSet;
  QAVGASettings().ApplyTo(platformSet);
  QAVGASettings().ApplyTo(realSet);
  QAVGASettings::IntegerEngine().ApplyTo(integerSet);
  EXPECT_EQ(SettingsOf(platform), SettingsOf(platformSet));
  EXPECT_EQ(SettingsOf(real), SettingsOf(realSet));
  EXPECT_EQ(SettingsOf(integer), SettingsOf(integerSet));

  QAVGASettings run;
  run.Seed = 7;
  run.PopulationSize = 0; // the setter's own rule still applies
  run.ApplyTo(realSet);
  EXPECT_EQ(std::make_tuple(7, 30), std::make_tuple(realSet._Seed, realSet._PopulationSize));
  double lower[1] = {0.0}, upper[1] = {1.0};
  {
    const QAVGALimitsGuard limits(realSet, lower, upper);
    EXPECT_EQ(lower, realSet._ParamValMin);
  }
  EXPECT_TRUE(realSet._ParamValMin == nullptr && realSet._ParamValMax == nullptr);
}

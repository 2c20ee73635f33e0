// An application's own optimisers, derived from the two engines.
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

// README: integer-engine
// Integer genes: the bowl (x - 3)² + (y + 7)², lowest at (3, -7).
class Bowl : public QAVMathIntGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, std::int32_t* ipX) override
  {
    double sum = 0.0;
    for (std::int32_t i = 0; i < iCount; ++i)
    {
      const double d = ipX[i] - (i == 0 ? 3.0 : -7.0);
      sum += d * d;
    }
    return sum;
  }
};

bool FindBowlBottom()
{
  std::int32_t lower[2] = {-50, -50}, upper[2] = {50, 50}, best[2];
  Bowl bowl;
  bowl.SetNumParams(2); // first: it sizes the optimum
  bowl.SetPopulationSize(20);
  bowl.SetMutatValue(0.9);              // crossover probability CR
  bowl.SetParamValLimits(lower, upper); // borrowed for the run
  bowl.SetRefresh(50);                  // a report every 50 generations
  bowl.Minimize();                      // reports on standard output
  bowl.GetOptimumParams(best);
  std::printf("bowl: (%d, %d), fitness %g\n", best[0], best[1], bowl.GetOptimumFitness());
  return best[0] == 3 && best[1] == -7;
}
// README end

// README: real-engine
// Double genes: a narrow valley, lowest at (1, 1).
class Valley : public QAVTasGAOptimizer
{
public:
  double EvalFitness(std::int32_t, double* ipX) override
  {
    const double a = 1.0 - ipX[0], b = ipX[1] - ipX[0] * ipX[0];
    return a * a + 10.0 * b * b;
  }
};

bool FindValleyBottom()
{
  double lower[2] = {-2.0, -2.0}, upper[2] = {2.0, 2.0}, best[2];
  Valley valley;
  valley.SetNumParams(2);
  valley.SetParamValLimits(lower, upper);
  valley.SetMaxNumber(400);
  valley.SetIdemFitnessCount(50); // generations without 0.1 % progress before it stops
  valley.SetRefresh(100);
  valley.Minimize(); // reports on the platform stream QAVDRQOutput
  valley.GetOptimumParams(best);
  std::printf("valley: (%.4f, %.4f), fitness %.3g\n", best[0], best[1], valley.GetOptimumFitness());
  return std::fabs(best[0] - 1.0) < 0.05 && std::fabs(best[1] - 1.0) < 0.1;
}
// README end

bool WatchValley()
{
  double lower[2] = {-2.0, -2.0}, upper[2] = {2.0, 2.0};
  Valley valley;
  valley.SetNumParams(2);
  valley.SetParamValLimits(lower, upper);
  valley.SetMaxNumber(400);
  valley.SetIdemFitnessCount(50);
  // README: observer
  // Print every 25th generation; stop as soon as the valley floor is reached.
  valley.SetObserver(
    [](const QAVGAProgress& p)
    {
      if (p._Generation % 25 == 0)
        std::printf("generation %3d: best %.3g after %lld evaluations\n", p._Generation, p._OptimumFitness,
                    static_cast<long long>(p._Evaluations));
      return p._OptimumFitness < 1e-9 ? QAVGAObserverReply::Stop : QAVGAObserverReply::Continue;
    });
  valley.Minimize();
  // README end
  return valley.GetOptimumFitness() < 1e-9;
}

int main()
{
  const bool bowl = FindBowlBottom();
  const bool valley = FindValleyBottom();
  const bool watched = WatchValley();
  return bowl && valley && watched ? 0 : 1;
}

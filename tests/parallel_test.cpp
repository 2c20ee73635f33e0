// Parallel evaluation: every run with 2 or 4 threads must write, find and tell exactly what the
// one-thread run does.
#include "QAVCoutCapture.h"
#include "QAVDRQOutput.h"
#include "QAVEvaluationPool.h"
#include "QAVMathGAOptimizer.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace
{
// A bowl off the centre of the box: Minimize settles inside, Maximize presses on the limits, so
// both admissible and rejected trials occur. Pure, as concurrent evaluation requires.
template <class Engine, class Gene>
struct Bowl : Engine
{
  double EvalFitness(std::int32_t iCount, Gene* ipX) override
  {
    double s = 0.0;
    for (std::int32_t i = 0; i < iCount; ++i)
      s += (i + 1.5) * (ipX[i] - 0.3 * i) * (ipX[i] - 0.3 * i);
    return s;
  }
};

// One run's whole story: reports on both streams, observer calls, optimum, evaluation count.
template <class Engine, class Gene>
std::string Story(std::int32_t iThreads, std::int32_t iProcess, bool iMaximize, Gene iLimit)
{
  Bowl<Engine, Gene> o;
  std::vector<Gene> min(5, -iLimit), max(5, iLimit), best(5);
  o.SetNumParams(5);
  o.SetParamValLimits(min.data(), max.data());
  o.SetPopulationSize(24);
  o.SetCrossValue(0.7);
  o.SetMutatValue(0.6);
  o.SetProcess(iProcess);
  o.SetMaxNumber(30);
  o.SetRefresh(4);
  o.SetSeed(11);
  o.SetFitnessReference(iMaximize ? 1e9 : -1.0);
  o.SetEvaluationThreads(iThreads);
  std::ostringstream told, drq;
  if constexpr (!std::is_same_v<Engine, QAVMathGAOptimizer>)
    o.SetObserver(
      [&](const QAVGAProgress& p)
      {
        told << p._Generation << ' ' << p._OptimumFitness << ' ' << p._Evaluations << '\n';
        return QAVGAObserverReply::Continue;
      });
  const std::int32_t before = nbeval;
  QAVDRQOutput::GetOut().SetBuffer(drq.rdbuf());
  QAVCoutCapture out;
  iMaximize ? o.Maximize() : o.Minimize();
  QAVDRQOutput::GetOut().SetBuffer(nullptr);
  o.GetOptimumParams(best.data());
  told.precision(17);
  told << o.GetOptimumFitness() << " nbeval+" << nbeval - before << " at";
  for (Gene g : best)
    told << ' ' << g;
  return out.Text() + drq.str() + told.str();
}

using Case = std::tuple<std::int32_t, bool>; // scheme, Maximize
class ParallelRun : public ::testing::TestWithParam<Case>
{
};
} // namespace

TEST_P(ParallelRun, EveryThreadCountTellsTheSameStory)
{
  const auto [process, maximize] = GetParam();
  const auto stories = [&](std::int32_t threads)
  {
    return Story<QAVTasGAOptimizer, double>(threads, process, maximize, 2.0) + "\n--\n" +
      Story<QAVMathIntGAOptimizer, std::int32_t>(threads, process, maximize, 40) + "\n--\n" +
      Story<QAVMathGAOptimizer, double>(threads, process, maximize, 2.0);
  };
  const std::string one = stories(1);
  EXPECT_EQ(stories(2), one);
  EXPECT_EQ(stories(4), one);
}

INSTANTIATE_TEST_SUITE_P(AllSchemes, ParallelRun,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0), ::testing::Bool()));

TEST(EvaluationPool, RunsEveryIndexOnceAndRethrowsTheFirstFailure)
{
  struct Throwing final : QAVEvaluationPool::Task
  {
    std::vector<int> runs = std::vector<int>(1000);
    void Run(std::int32_t k) override
    {
      ++runs[k];
      if (k % 7 == 3)
        throw std::runtime_error(std::to_string(k));
    }
  } task;
  QAVEvaluationPool pool(3);
  for (int batch = 0; batch < 2; ++batch)
  {
    try
    {
      pool.ForEach(1000, task);
      ADD_FAILURE() << "no exception";
    }
    catch (const std::runtime_error& e)
    {
      EXPECT_STREQ(e.what(), "3");
    }
  }
  EXPECT_EQ(task.runs, std::vector<int>(1000, 2));
}

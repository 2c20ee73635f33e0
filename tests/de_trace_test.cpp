// Golden traces of both differential-evolution engines: for every scheme, a seeded Minimize then
// Maximize, with every evaluated trial and every report, as the engine writes them. A draw out of
// order, a gene set once too often or a formula changed shows as a diff against tests/golden/.
// An observer that lets the run go on is attached: it must change none of it.
#include "QAVCoutCapture.h"
#include "QAVGolden.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
// Writes each trial with its fitness, a weighted bowl, into the run's output.
template <class Engine, class Gene>
class Traced : public Engine
{
public:
  double EvalFitness(std::int32_t iCount, Gene* ipCode) override
  {
    double f = 0.0;
    std::string line = "eval";
    char number[32];
    for (std::int32_t i = 0; i < iCount; ++i)
    {
      f += (i + 1.5) * (ipCode[i] - 0.3 * i) * (ipCode[i] - 0.3 * i);
      std::snprintf(number, sizeof number, " %.17g", static_cast<double>(ipCode[i]));
      line += number;
    }
    std::snprintf(number, sizeof number, " -> %.17g\n", f);
    std::cout << line << number;
    return f;
  }
};

template <class Engine, class Gene>
std::string Trace(std::int32_t iProcess, std::vector<Gene> iMin, std::vector<Gene> iMax)
{
  QAVCoutCapture out; // the real engine's platform stream follows std::cout
  Traced<Engine, Gene> opt;
  opt.SetNumParams(static_cast<std::int32_t>(iMin.size()));
  opt.SetPopulationSize(8);
  opt.SetParamValLimits(iMin.data(), iMax.data());
  opt.SetProcess(iProcess);
  opt.SetCrossValue(0.7);
  opt.SetMutatValue(0.6);
  opt.SetSeed(21);
  opt.SetMaxNumber(6);
  opt.SetIdemFitnessCount(1000);
  opt.SetFitnessReference(-1e9);
  opt.SetObserver([](const QAVGAProgress&) { return QAVGAObserverReply::Continue; }); // changes nothing
  std::cout << "== Minimize\n";
  opt.Minimize();
  opt.SetFitnessReference(1e9);
  std::cout << "== Maximize\n";
  opt.Maximize();
  return out.Text();
}

class DETrace : public ::testing::TestWithParam<int>
{
};
} // namespace

TEST_P(DETrace, RealEngineMatchesGolden)
{
  const int process = GetParam();
  QAVExpectGolden("realga_process" + std::to_string(process),
                  Trace<QAVTasGAOptimizer, double>(process, {-2.0, -1.0, -3.0}, {2.0, 1.5, 3.0}));
}

TEST_P(DETrace, IntegerEngineMatchesGolden)
{
  const int process = GetParam();
  QAVExpectGolden("intga_process" + std::to_string(process),
                  Trace<QAVMathIntGAOptimizer, std::int32_t>(process, {-6, -5, -4}, {6, 7, 5}));
}

INSTANTIATE_TEST_SUITE_P(AllSchemes, DETrace, ::testing::Range(1, 11));

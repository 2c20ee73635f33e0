// Hostile caller data for every public operation: each case must end in the documented report or
// a clear failure, never in a crash, a hang, undefined behaviour or a leak (the sanitizer build
// runs this suite too).
#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasOptimizerParameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

// Requests above this size fail as if memory were exhausted, so that a test can ask for an array
// that cannot be allocated without the machine actually trying to provide it.
namespace
{
constexpr std::size_t kAllocationCap = std::size_t{1} << 30;
}

void* operator new(std::size_t iSize)
{
  void* p = iSize > kAllocationCap ? nullptr : std::malloc(iSize ? iSize : 1);
  if (!p)
    throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t iSize) { return operator new(iSize); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace
{
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();

// Minimises the distance to 3 in every gene; counts its calls.
class Bowl : public QAVMathIntGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, std::int32_t* ipCode) override
  {
    ++_Calls;
    double s = 0.0;
    for (std::int32_t i = 0; i < iCount; ++i)
      s += (ipCode[i] - 3.0) * (ipCode[i] - 3.0);
    return s;
  }
  std::int32_t _Calls = 0;
};

// A fitness that only ever answers iValue.
class Constant : public QAVMathIntGAOptimizer
{
public:
  explicit Constant(double iValue) : _Value(iValue) {}
  double EvalFitness(std::int32_t, std::int32_t*) override
  {
    ++_Calls;
    return _Value;
  }
  double _Value;
  std::int32_t _Calls = 0;
};

void Configure(QAVMathIntGAOptimizer& ioOpt, std::vector<std::int32_t>& ioLower, std::vector<std::int32_t>& ioUpper)
{
  ioOpt.SetNumParams(static_cast<std::int32_t>(ioLower.size()));
  ioOpt.SetParamValLimits(ioLower.data(), ioUpper.data());
  ioOpt.SetPopulationSize(10);
  ioOpt.SetMaxNumber(30);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Integer engine

TEST(HostileIntegerEngine, NonFiniteSettingsTakeTheirFallbacks)
{
  Bowl opt;
  for (double bad : {kNaN, kInf, -kInf})
  {
    opt.SetCrossValue(bad);
    opt.SetMutatValue(bad);
    EXPECT_EQ(opt._CrossValue, 0.8);
    EXPECT_EQ(opt._MutatValue, 1.0);
  }
  opt.SetPopulationSize(-kHuge);
  opt.SetMaxNumber(std::numeric_limits<std::int32_t>::min());
  opt.SetRefresh(-1);
  opt.SetIdemFitnessCount(-1);
  EXPECT_EQ(opt._PopulationSize, 6);
  EXPECT_EQ(opt._MaxNumberOfGenerations, 100);
  EXPECT_EQ(opt._Refresh, 1);
  EXPECT_EQ(opt._IdemFitnessCount, 10);
}

TEST(HostileIntegerEngine, ExtremeLimitsKeepEveryGeneInRangeWhateverTheScheme)
{
  const std::int32_t lo = std::numeric_limits<std::int32_t>::min();
  std::vector<std::int32_t> lower{lo, lo, -7, 5}, upper{kHuge, 0, -7, -5};
  for (std::int32_t process : {1, 3, 4, 5, 8, 10})
  {
    Bowl opt;
    Configure(opt, lower, upper);
    opt.SetProcess(process);
    QAVCoutCapture quiet;
    opt.Minimize();
    std::int32_t best[4];
    opt.GetOptimumParams(best);
    EXPECT_EQ(best[2], -7) << process;
    EXPECT_TRUE(std::isfinite(opt.GetOptimumFitness())) << process;
  }
}

TEST(HostileIntegerEngine, UnknownSchemesAndNonFiniteFitnessEndTheRun)
{
  std::vector<std::int32_t> lower{0, 0}, upper{10, 10};
  for (std::int32_t process : {0, -1, 11, kHuge})
  {
    Bowl opt;
    Configure(opt, lower, upper);
    opt.SetProcess(process);
    QAVCoutCapture quiet;
    opt.Minimize();
    opt.Maximize();
  }
  // A NaN optimum is "not above the reference": the run stops after the initial population.
  Constant nan(kNaN);
  Configure(nan, lower, upper);
  {
    QAVCoutCapture quiet;
    nan.Minimize();
  }
  EXPECT_EQ(nan._Calls, 10);
  EXPECT_TRUE(std::isnan(nan.GetOptimumFitness()));

  // An infinite fitness never reaches the reference; the no-progress rule ends the run.
  Constant inf(kInf);
  Configure(inf, lower, upper);
  inf.SetIdemFitnessCount(3);
  {
    QAVCoutCapture quiet;
    inf.Minimize();
  }
  EXPECT_GT(inf._Calls, 10);
  EXPECT_EQ(inf.GetOptimumFitness(), kInf);
}

TEST(HostileIntegerEngine, MissingGenesOrLimitsAreRefusedBeforeAnyEvaluation)
{
  std::vector<std::int32_t> lower{0}, upper{10};
  Bowl noGenes;
  noGenes.SetNumParams(-4);
  noGenes.SetParamValLimits(lower.data(), upper.data());
  Bowl noLimits;
  noLimits.SetNumParams(1);
  noLimits.SetParamValLimits(lower.data(), nullptr);
  QAVCoutCapture out;
  noGenes.Minimize();
  noLimits.Maximize();
  EXPECT_EQ(noGenes._Calls + noLimits._Calls, 0);
  EXPECT_NE(out.Text().find("Minimize refused"), std::string::npos);
  EXPECT_NE(out.Text().find("Maximize refused"), std::string::npos);
}

TEST(HostileIntegerEngine, ArraysThatCannotBeAllocatedFailCleanlyAndTheObjectStaysUsable)
{
  std::vector<std::int32_t> lower{0, 0}, upper{10, 10};
  Bowl opt;
  Configure(opt, lower, upper);

  // After a run, a huge population: the allocation fails, nothing is evaluated, and the old
  // populations are gone without leaving freed pointers behind.
  {
    QAVCoutCapture quiet;
    opt.Minimize();
  }
  const std::int32_t calls = opt._Calls;
  opt.SetPopulationSize(kHuge);
  {
    QAVCoutCapture quiet;
    EXPECT_THROW(opt.Minimize(), std::bad_alloc);
  }
  EXPECT_EQ(opt._Calls, calls);
  EXPECT_EQ(opt._OldPopulation, nullptr);
  EXPECT_EQ(opt._NewPopulation, nullptr);

  // A huge gene count: the optimum keeps its genes, and the run is refused until sized again.
  EXPECT_THROW(opt.SetNumParams(kHuge), std::bad_alloc);
  EXPECT_EQ(opt._Optimum._CodeLength, 2);
  {
    QAVCoutCapture out;
    opt.Minimize();
    EXPECT_NE(out.Text().find("refused"), std::string::npos);
  }

  // Sane settings again: the same object gives exactly the run of a fresh one.
  Configure(opt, lower, upper);
  Bowl fresh;
  Configure(fresh, lower, upper);
  {
    QAVCoutCapture quiet;
    opt.Minimize();
    fresh.Minimize();
  }
  EXPECT_EQ(opt.GetOptimumFitness(), fresh.GetOptimumFitness());
  EXPECT_EQ(opt._Calls - calls, fresh._Calls);

  QAVMathIntGAIndividual individual(3);
  EXPECT_THROW(individual.Initialize(kHuge), std::bad_alloc);
  EXPECT_EQ(individual._CodeLength, 3);
  EXPECT_THROW(QAVMathIntGAPopulation(8, kHuge, lower.data(), upper.data()), std::bad_alloc);
}

TEST(HostileIntegerEngine, NegativeLengthsGiveEmptyChromosomes)
{
  QAVMathIntGAIndividual individual(-5);
  EXPECT_EQ(individual._CodeLength, 0);
  QAVMathIntGAPopulation population(-3, -2, nullptr, nullptr);
  EXPECT_EQ(population._Size, 6);
  QAVMathIntGAPopulation copy(static_cast<QAVMathIntGAPopulation*>(nullptr));
  EXPECT_EQ(copy._Individuals, nullptr);
  copy = population;
}

// ---------------------------------------------------------------------------------------------
// Covariance ellipse and its free functions

TEST(HostileEllipse, NonFiniteCoefficientsAreNeverAnEllipse)
{
  for (double bad : {kNaN, kInf, -kInf, 1e300})
    for (int slot = 0; slot < 7; ++slot)
    {
      double coefficients[6] = {0.0, 0.0, 1.0, 0.0, 0.0, 1.0};
      double level = 4.0;
      (slot < 6 ? coefficients[slot] : level) = bad;
      QAVTasCovarianceEllipse e(level, coefficients);
      double constant = -1.0;
      EXPECT_EQ(e._IsComputed, 1);
      if (!e.IsAnEllipse())
        EXPECT_EQ(e.GetEllipseConstant(constant), E_FAIL);
      else
        EXPECT_TRUE(std::isfinite(e._SemiAxis1) && std::isfinite(e._SemiAxis2)) << bad << " in " << slot;
    }
}

TEST(HostileEllipse, EigenVectorsOfNonFiniteMatricesFailAndLeaveOutputsAlone)
{
  double values[2] = {7, 7}, e1[2] = {7, 7}, e2[2] = {7, 7};
  for (double bad : {kNaN, kInf})
  {
    QAVMath2x2Matrix m(bad, 0.5, 0.5, 1.0);
    EXPECT_EQ(QAVTas2DEigenVectors(m, values, e1, e2), E_FAIL);
  }
  EXPECT_EQ(values[0], 7);
  EXPECT_EQ(e2[1], 7);
  QAVMath2x2Matrix fine(2.0, 0.5, 0.5, 1.0);
  EXPECT_EQ(QAVTas2DEigenVectors(fine, nullptr, e1, e2), E_FAIL);
  EXPECT_EQ(QAVTas2DEigenVectors(fine, values, e1, nullptr), E_FAIL);
}

TEST(HostileEllipse, NullOrNegativePointSetsCountAsNoPoints)
{
  const double circle[6] = {0.0, 0.0, 1.0, 0.0, 0.0, 1.0};
  QAVTasCovarianceEllipse e(4.0, circle);
  double points[4] = {2.0, 0.0, 0.0, 2.0};
  double centre[2] = {9, 9}, value = -1.0, deviation = -1.0;

  EXPECT_EQ(QAVTasGetBaryCenter2D(points, -2, centre), S_OK);
  EXPECT_EQ(centre[0], 0.0);
  EXPECT_EQ(QAVTasGetBaryCenter2D(nullptr, 5, centre), S_OK);
  EXPECT_EQ(QAVTasGetBaryCenter2D(points, 2, nullptr), E_FAIL);
  EXPECT_EQ(QAVTasGetMaxDistance(nullptr, 9, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(QAVTasGetMaxDistance(points, std::numeric_limits<std::int32_t>::min(), value), S_OK);
  EXPECT_EQ(value, 0.0);

  // No points spread as far as the constant: the fixed value, not an error.
  EXPECT_EQ(e.GetVarianceOfDistanceFromPoints(nullptr, 3, value), S_OK);
  EXPECT_EQ(value, 1000000.0);
  EXPECT_EQ(e.GetMeanDistanceFromPoints(points, -1, value, deviation), S_OK);
  EXPECT_EQ(deviation, 1000000.0);
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(nullptr, 0, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(nullptr, 4, value), E_FAIL);
  EXPECT_EQ(ErrorDepthHandler::_i_errline_, 537);
  EXPECT_EQ(e.GetMinimizedDistance(nullptr, centre), E_FAIL);
  EXPECT_EQ(e.GetMinimizedDistance(points, nullptr), E_FAIL);

  ErrorDepthHandler::_ier_ = 0;
  EXPECT_EQ(e.GetAllParameters(nullptr), E_FAIL);
  EXPECT_EQ(ErrorDepthHandler::_ier_, 3);
  EXPECT_EQ(ErrorDepthHandler::_c_err_, "iopPramaters");

  QAVTasCovarianceEllipse none(1.0, 0.5, 1.0, 1.0, 0.0, nullptr, -7, 0);
  EXPECT_EQ(none._IsComputed, 1);
}

TEST(HostileEllipse, NonFinitePointsGiveNonFiniteMeasuresNotFakeOnes)
{
  const double circle[6] = {0.0, 0.0, 1.0, 0.0, 0.0, 1.0};
  QAVTasCovarianceEllipse e(4.0, circle);
  const double points[8] = {2.0, 0.0, -2.0, 0.0, 0.0, 2.0, kNaN, 1.0};
  double mean = 0.0, variance = 0.0;
  EXPECT_EQ(e.GetVarianceOfDistanceFromPoints(points, 4, variance), S_OK);
  EXPECT_TRUE(std::isnan(variance));
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(points, 4, mean), S_OK);
  EXPECT_TRUE(std::isnan(mean));
  const double far[4] = {0.0, 0.0, kInf, 0.0};
  EXPECT_EQ(QAVTasGetMaxDistance(far, 2, mean), S_OK);
  EXPECT_EQ(mean, kInf);
}

// ---------------------------------------------------------------------------------------------
// Analysis-parameter optimiser

TEST(HostileParameters, NullServicesAndGenomesAreReportedNotDereferenced)
{
  const std::int64_t before = QAVBaseUnknown::OutstandingReferences();
  {
    QAVListValQAVBaseUnknown_var features;
    QAVRawColldouble bounds;
    QAVTasOptimizerParameters fromFeatures(nullptr, nullptr, features, bounds);
    QAVListValQAVBaseUnknown_var* pNoList = nullptr;
    QAVTasOptimizerParameters fromParameters(nullptr, nullptr, pNoList, bounds);
    QAVCoutCapture quiet;
    EXPECT_EQ(fromFeatures.Optimize(), E_FAIL);
    EXPECT_EQ(fromParameters.Optimize(), E_FAIL);

    double fitness = 0.0;
    EXPECT_EQ(fromFeatures.AlreadyComputed(-3, nullptr, fitness), 0);
    EXPECT_EQ(fromFeatures.AlreadyComputed(4, nullptr, fitness), 0);
    const double first = fromFeatures.EvalFitness(2, nullptr);
    const double second = fromFeatures.EvalFitness(-1, nullptr);
    EXPECT_GT(second, first);
  }
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), before);
}

TEST(HostileParameters, NonFiniteBoundsFailTheEvaluationAndReleaseEverything)
{
  const std::int64_t before = QAVBaseUnknown::OutstandingReferences();
  {
    auto* pModel = new QAVTasMemAnalysis;
    QAVTasMemParameter* pP = pModel->AddParameter("P", 0.0, 0.0, 10.0);
    QAVTasMemFeature* pA = pModel->AddFeature(QAVTasMemFeature::Kind::Curve, pP);
    pModel->AddContribution(pModel->AddRequirement(-3.0), pP, 1.0);
    for (double bad : {kNaN, kInf})
    {
      QAVListValQAVBaseUnknown_var features;
      QAVRawColldouble bounds;
      features.Append(pA);
      bounds.Append(0.0);
      bounds.Append(bad);
      QAVTasOptimizerParameters opt(pModel, pModel, features, bounds);
      std::int32_t genome[1] = {4};
      QAVCoutCapture quiet;
      const double fitness = opt.EvalFitness(1, genome);
      EXPECT_GE(fitness, opt._ErrorFitness - 1.0) << bad;
    }
    pModel->Release();
  }
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), before);
}

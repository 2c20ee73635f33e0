// Hostile caller data for every public operation: each case must end in the documented report or
// a clear failure, never in a crash, a hang, undefined behaviour or a leak (the sanitizer build
// runs this suite too).
#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"
#include "QAVTasGAOptimizer.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasOptimizerParameters.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVToolPointFile.h"

#include "QAVTasAllPairsDistance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

// Requests above this size fail as if memory were exhausted, so that a test can ask for an array
// that cannot be allocated without the machine actually trying to provide it.
namespace
{
constexpr std::size_t kAllocationCap = std::size_t{1} << 30;
// The largest request seen, so that a test can tell that an operation did not even try.
std::size_t gLargestRequest = 0;

void* Allocate(std::size_t iSize)
{
  gLargestRequest = iSize > gLargestRequest ? iSize : gLargestRequest;
  return iSize > kAllocationCap ? nullptr : std::malloc(iSize ? iSize : 1);
}

// Out of line, so that the compiler does not see free() meet a pointer from operator new.
[[gnu::noinline]] void Release(void* ipBlock) noexcept
{
  std::free(ipBlock);
}
} // namespace

void* operator new(std::size_t iSize)
{
  void* p = Allocate(iSize);
  if (!p)
    throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t iSize) { return operator new(iSize); }
void* operator new(std::size_t iSize, const std::nothrow_t&) noexcept
{
  return Allocate(iSize);
}
void* operator new[](std::size_t iSize, const std::nothrow_t& iTag) noexcept { return operator new(iSize, iTag); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

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

template <class Engine>
void MinimizeQuietly(Engine& ioOpt)
{
  QAVCoutCapture quiet;
  ioOpt.Minimize();
}

// A run of an object that went through failures gives exactly the run of a fresh one.
template <class Engine, class Gene>
void ExpectRunLikeAFreshOne(Engine& ioUsed, std::vector<Gene>& ioLower, std::vector<Gene>& ioUpper)
{
  Configure(ioUsed, ioLower, ioUpper);
  Engine fresh;
  Configure(fresh, ioLower, ioUpper);
  const std::int32_t before = ioUsed._Calls;
  MinimizeQuietly(ioUsed);
  MinimizeQuietly(fresh);
  EXPECT_EQ(ioUsed.GetOptimumFitness(), fresh.GetOptimumFitness());
  EXPECT_EQ(ioUsed._Calls - before, fresh._Calls);
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
  MinimizeQuietly(opt);
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

  ExpectRunLikeAFreshOne(opt, lower, upper);

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

TEST(HostileEllipse, MaxDistanceOfHugeCoordinatesIsStillTheAllPairsValue)
{
  // Differences whose products overflow: the exact turn signs cannot decide the hull there.
  const std::vector<std::vector<double>> sets = {
    {0.0, 0.0, 0.0, -1e308, -3.5, 2.0},                  // a squared difference overflows: infinity
    {0.0, 0.0, 1e152, 0.0, 0.0, 1e152, 3e151, 3e151},   // products overflow, squares do not
    {-1e200, 5.0, 1e200, -5.0, 0.0, 1e-300, 1.0, 1.0}, // the difference itself is near the limit
  };
  for (const std::vector<double>& points : sets)
  {
    double fast = 0.0;
    const std::int32_t n = static_cast<std::int32_t>(points.size() / 2);
    EXPECT_EQ(QAVTasGetMaxDistance(points.data(), n, fast), S_OK);
    EXPECT_EQ(fast, QAVTasAllPairsMaxDistance(points.data(), points.size() / 2)) << points[2];
  }
}

TEST(HostileEllipse, PointFileWordsMustBeWholeNumbers)
{
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/qav_hostile_points";
  const std::string cases[] = {std::string("0 0\n\0\0001e308 -1e308\n", 20), "1 2 3\n", "1e999 0\n", "nan 1\n", "1 0x\n"};
  for (const std::string& text : cases)
  {
    std::FILE* pOut = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), pOut);
    std::fclose(pOut);
    std::vector<double> points;
    std::string error;
    EXPECT_FALSE(QAVToolReadPoints(path, points, error)) << text;
    EXPECT_NE(error.find(text[0] == '0' ? ":2:" : ":1:"), std::string::npos) << error;
  }
  std::remove(path.c_str());
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

// ---------------------------------------------------------------------------------------------
// Real engine

namespace
{
// Counts its calls and the calls that saw a non-finite gene.
class RealBowl : public QAVTasGAOptimizer
{
public:
  double EvalFitness(std::int32_t iCount, double* ipCode) override
  {
    ++_Calls;
    double s = 0.0;
    for (std::int32_t i = 0; i < iCount; ++i)
    {
      _SawNonFinite |= !std::isfinite(ipCode[i]);
      s += (ipCode[i] - 0.5) * (ipCode[i] - 0.5);
    }
    return s;
  }
  std::int32_t _Calls = 0;
  bool _SawNonFinite = false;
};

void Configure(RealBowl& ioOpt, std::vector<double>& ioLower, std::vector<double>& ioUpper)
{
  ioOpt.SetNumParams(static_cast<std::int32_t>(ioLower.size()));
  ioOpt.SetParamValLimits(ioLower.data(), ioUpper.data());
  ioOpt.SetMaxNumber(20);
  ioOpt.SetPopulationSize(30);
}
} // namespace

TEST(HostileRealEngine, NonFiniteLimitsNeverReachTheFitness)
{
  for (double bad : {kNaN, kInf, -kInf})
  {
    std::vector<double> lower{0.0, bad}, upper{1.0, 1.0};
    RealBowl opt;
    Configure(opt, lower, upper);
    QAVCoutCapture quiet;
    opt.Minimize();
    opt.Maximize();
    EXPECT_FALSE(opt._SawNonFinite) << bad;
    EXPECT_EQ(opt._Calls, 0);
    EXPECT_NE(quiet.Text().find("Minimize refused: a gene limit is not finite"), std::string::npos);
  }
}

TEST(HostileRealEngine, NonFiniteSettingsTakeTheirFallbacks)
{
  QAVCoutCapture quiet;
  RealBowl opt;
  const double cross = opt._CrossValue, mutat = opt._MutatValue;
  opt.SetCrossValue(kNaN);
  opt.SetMutatValue(kInf);
  EXPECT_EQ(opt._CrossValue, cross);
  EXPECT_EQ(opt._MutatValue, mutat);
  opt.SetNumParams(kHuge);
  EXPECT_LE(opt._NumParams, 500);
}

TEST(HostileRealEngine, PopulationsThatCannotBeAllocatedEndTheRunWithItsFailureLine)
{
  std::vector<double> lower{0.0, 0.0}, upper{1.0, 1.0};
  RealBowl opt;
  Configure(opt, lower, upper);
  MinimizeQuietly(opt);
  const std::int32_t calls = opt._Calls;
  opt.SetPopulationSize(kHuge);
  {
    QAVCoutCapture out;
    opt.Minimize();
    EXPECT_NE(out.Text().find("failed -- lg 203"), std::string::npos);
  }
  EXPECT_EQ(opt._Calls, calls);

  opt.SetPopulationSize(30);
  ExpectRunLikeAFreshOne(opt, lower, upper);
}

// ---------------------------------------------------------------------------------------------
// Ellipse solver

namespace
{
void ExpectReportAt(std::int32_t iLine)
{
  EXPECT_EQ(ErrorDepthHandler::_i_errline_, iLine);
  EXPECT_EQ(ErrorDepthHandler::_errfile_, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasEllipseSolver");
}

double gSquare[8] = {1.0, 0.0, -1.0, 0.0, 0.0, 2.0, 0.0, -2.0};

// A fit that must fail at iLine before the search prints anything.
void ExpectFitRefusedAt(double iLevel, double* ipPoints, std::int32_t iLine)
{
  QAVTasEllipseSolver solver(iLevel, 4, ipPoints);
  double parameters[6];
  QAVCoutCapture out;
  EXPECT_EQ(solver.ComputeEllipseParameters(parameters), E_FAIL);
  ExpectReportAt(iLine);
  EXPECT_TRUE(out.Text().empty());
}
} // namespace

TEST(HostileEllipseSolver, NonFiniteLevelsAndPointsFailBeforeTheSearch)
{
  // A NaN or infinite level fails like a non-positive one.
  for (double level : {kNaN, kInf, -kInf})
    ExpectFitRefusedAt(level, gSquare, 166);
  for (double bad : {kNaN, kInf})
  {
    double points[8] = {1.0, 0.0, -1.0, 0.0, 0.0, 2.0, bad, -2.0};
    ExpectFitRefusedAt(1.0, points, 185);
  }
}

TEST(HostileEllipseSolver, MissingPointsAndGenesAreReported)
{
  for (std::int32_t count : {0, -4, std::numeric_limits<std::int32_t>::min()})
  {
    QAVTasEllipseSolver solver(1.0, count, gSquare);
    double parameters[6];
    EXPECT_EQ(solver.ComputeEllipseParameters(parameters), E_FAIL);
    EXPECT_EQ(solver._pCoord, nullptr);
  }
  QAVTasEllipseSolver none(1.0, kHuge, nullptr);
  double lx = 0.0, ly = 0.0;
  EXPECT_EQ(none.GetLxAndLyMax(lx, ly), E_FAIL);
  EXPECT_EQ(ErrorDepthHandler::_c_err_, "_PointCount");

  // Null or NaN genes get the growing penalty, never a NaN fitness.
  QAVTasEllipseSolver solver(1.0, 4, gSquare);
  const double first = solver.EvalFitness(3, nullptr);
  double nanGenes[3] = {kNaN, 1.0, 0.0};
  const double second = solver.EvalFitness(3, nanGenes);
  double infGenes[3] = {kInf, kInf, 0.0};
  const double third = solver.EvalFitness(3, infGenes);
  // The null case raises the penalty before returning it, a non-ellipse after: never a NaN.
  EXPECT_EQ(first, 1000001.0);
  EXPECT_EQ(second, 1000001.0);
  EXPECT_EQ(third, 1000002.0);
}

// ---------------------------------------------------------------------------------------------
// Tolerancing optimiser

namespace
{
const char kTolerancingFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";

std::string DataFile(const std::string& iForm, const std::string& iNx, const std::string& iNy, const std::string& iRest)
{
  return iForm + "\nDimension du vecteur Nx : " + iNx + "\nDimension du vecteur Ny : " + iNy + "\n" + iRest;
}

const char kSmallRest[] = "Coefficients de la matrice W :\n1.0 1.0\nTolerancement sur Y (Ymin puis Ymax) :\n 0.0\n 0.5\n"
                          "Domaine de definition de X (bornes inf puis sup) :\n 0.01 0.01\n 1.0 1.0\n";

// ReadDataFile on a text, through a memory stream or (iPipe) through a pipe, which cannot seek.
HRESULT Read(QAVTasOptimizerTolerancing& ioProblem, std::string iText, bool iPipe = false)
{
  FILE* pFile = nullptr;
  if (iPipe)
  {
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/qav_hostile_data";
    std::FILE* pOut = std::fopen(path.c_str(), "w");
    std::fputs(iText.c_str(), pOut);
    std::fclose(pOut);
    pFile = popen(("cat " + path).c_str(), "r");
    const HRESULT hr = ioProblem.ReadDataFile(pFile);
    pclose(pFile);
    std::remove(path.c_str());
    return hr;
  }
  pFile = fmemopen(&iText[0], iText.size(), "r");
  const HRESULT hr = ioProblem.ReadDataFile(pFile);
  std::fclose(pFile);
  return hr;
}

void ExpectTolerancingReport(std::int32_t iLine)
{
  EXPECT_EQ(ErrorDepthHandler::_ier_, 1);
  EXPECT_EQ(ErrorDepthHandler::_i_errline_, iLine);
  EXPECT_EQ(ErrorDepthHandler::_errfile_, kTolerancingFile);
}
} // namespace

TEST(HostileTolerancing, CountsOutOfRangeFailAtTheirLineInsteadOfWrapping)
{
  // 4294967298 would wrap to 2 in 32 bits and read the small problem that follows.
  for (const char* nx : {"4294967298", "2147483648", "-2147483649", "99999999999999999999999"})
  {
    QAVTasOptimizerTolerancing problem;
    EXPECT_EQ(Read(problem, DataFile("2", nx, "1", kSmallRest)), E_FAIL) << nx;
    ExpectTolerancingReport(281);
    EXPECT_EQ(problem._ppW, nullptr);
  }
  QAVTasOptimizerTolerancing problem;
  EXPECT_EQ(Read(problem, DataFile("4294967298", "2", "1", kSmallRest)), E_FAIL);
  ExpectTolerancingReport(277);
  EXPECT_EQ(Read(problem, DataFile("3", "2", "444444444444", kSmallRest)), E_FAIL);
  ExpectTolerancingReport(283);
}

TEST(HostileTolerancing, CountsTheFileCannotHoldSizeNoArrays)
{
  // Millions of values announced by a file of a few hundred bytes: refused at the Ny line, before
  // any array is even asked for.
  for (const auto& counts : {std::make_pair("2000000000", "2000000000"), std::make_pair("2", "3000000"),
                             std::make_pair("3000000", "1")})
  {
    QAVTasOptimizerTolerancing problem;
    gLargestRequest = 0;
    EXPECT_EQ(Read(problem, DataFile("2", counts.first, counts.second, kSmallRest)), E_FAIL);
    EXPECT_LT(gLargestRequest, std::size_t{1} << 20) << counts.first << " x " << counts.second;
    ExpectTolerancingReport(283);
    EXPECT_EQ(problem._ppW, nullptr);
  }
  // A file that does hold its values reads as before, from a memory stream and from a pipe.
  QAVTasOptimizerTolerancing problem;
  EXPECT_EQ(Read(problem, DataFile("2", "2", "1", kSmallRest)), S_OK);
  EXPECT_EQ(Read(problem, DataFile("2", "2", "1", kSmallRest), true), S_OK);
  EXPECT_EQ(problem._pXsup[1], 1.0);
  // A truncated file still fails at the step where its values run out.
  EXPECT_EQ(Read(problem, DataFile("2", "2", "1", "Coefficients de la matrice W :\n1.0 1.0\n")), E_FAIL);
  ExpectTolerancingReport(310);
}

TEST(HostileTolerancing, NonFiniteDataAndFailedReadsNeverCrashARun)
{
  const std::string nanRest = "Coefficients de la matrice W :\nnan 1.0\nTolerancement sur Y (Ymin puis Ymax) :\n -inf\n "
                              "inf\nDomaine de definition de X (bornes inf puis sup) :\n 0.01 nan\n 1e999 1.0\n";
  for (const char* form : {"2", "3"})
  {
    QAVTasOptimizerTolerancing problem;
    ASSERT_EQ(Read(problem, DataFile(form, "2", "1", nanRest)), S_OK);
    problem.SetMaxNumber(20);
    QAVCoutCapture quiet;
    problem.Optimize();
    EXPECT_EQ(problem.OptimizeExact(), E_FAIL);
    FILE* pSink = std::fopen("/dev/null", "w");
    problem.CheckConstraints(pSink);
    std::fclose(pSink);
  }
  // A read that failed half-way leaves a problem Optimize refuses or runs, never one it crashes on.
  for (const char* rest : {"Coefficients de la matrice W :\n1.0", "Coefficients de la matrice W :\n1.0 1.0\n"
                                                                   "Tolerancement sur Y (Ymin puis Ymax) :\n 0.0\n"})
  {
    QAVTasOptimizerTolerancing problem;
    EXPECT_EQ(Read(problem, DataFile("2", "2", "1", rest)), E_FAIL);
    QAVCoutCapture quiet;
    EXPECT_EQ(problem.Optimize(), E_FAIL);
    float* pValues = nullptr;
    EXPECT_EQ(problem.GetValues(pValues), E_FAIL);
    delete[] pValues;
  }
}

TEST(HostileTolerancing, NullAndNegativeDataGiveAnObjectWithoutData)
{
  double row[2] = {1.0, 1.0};
  double* rows[1] = {row};
  double* noRows[1] = {nullptr};
  double ymin[1] = {0.0}, ymax[1] = {0.5}, xsup[2] = {1.0, 1.0}, xinf[2] = {0.01, 0.01};
  for (const auto& args : {std::make_tuple(-1, 2, rows), std::make_tuple(1, -2, rows), std::make_tuple(1, 2, noRows),
                           std::make_tuple(kHuge, kHuge, static_cast<double**>(nullptr))})
  {
    QAVTasOptimizerTolerancing problem(std::get<0>(args), std::get<1>(args), std::get<2>(args), ymin, ymax, xsup, xinf);
    EXPECT_EQ(problem._Nx, 0);
    QAVCoutCapture quiet;
    EXPECT_EQ(problem.Optimize(), E_FAIL);
  }
  QAVTasOptimizerTolerancing problem(1, 2, rows, ymin, ymax, xsup, xinf);
  const double penalty = problem._PenaltyFitness;
  EXPECT_GE(problem.EvalFitness(3, nullptr), penalty);
  EXPECT_EQ(problem.CheckConstraints(nullptr), E_FAIL);
}

TEST(HostileTolerancing, RepeatedRunsOnOneObjectGiveTheSameResult)
{
  double row[2] = {1.0, 1.0};
  double* rows[1] = {row};
  double ymin[1] = {0.0}, ymax[1] = {0.5}, xsup[2] = {1.0, 1.0}, xinf[2] = {0.01, 0.01};
  QAVTasOptimizerTolerancing problem(1, 2, rows, ymin, ymax, xsup, xinf);
  std::vector<double> first, second;
  {
    QAVCoutCapture quiet;
    ASSERT_EQ(problem.Optimize(), S_OK);
    problem.GetResultX(first);
    ASSERT_EQ(problem.Optimize(), S_OK);
    problem.GetResultX(second);
  }
  EXPECT_EQ(first, second);
  QAVTasOptimizerTolerancing fromFile;
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(Read(fromFile, DataFile("3", "2", "1", kSmallRest)), S_OK);
}

// ---------------------------------------------------------------------------------------------
// Files: every path closes what it opened

namespace
{
std::int32_t OpenDescriptors()
{
  std::int32_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
  {
    (void)entry;
    ++count;
  }
  return count;
}
} // namespace

TEST(HostileFiles, RunsAndFailuresLeaveNoFileOpen)
{
  char dirTemplate[] = "/tmp/qavhostileXXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  const char* saved = std::getenv("TMPDIR");
  const std::string savedDir = saved ? saved : "";
  setenv("TMPDIR", dir.c_str(), 1);
  const std::int32_t before = OpenDescriptors();
  {
    auto* pModel = new QAVTasMemAnalysis;
    QAVListValQAVBaseUnknown_var features;
    QAVRawColldouble bounds;
    for (int k = 0; k < 2; ++k)
    {
      QAVTasMemParameter* pParameter = pModel->AddParameter("P" + std::to_string(k), 0.0, 0.0, 10.0);
      features.Append(pModel->AddFeature(QAVTasMemFeature::Kind::Curve, pParameter));
      bounds.Append(0.0);
      bounds.Append(10.0);
      pModel->AddContribution(pModel->AddRequirement(-2.0 - k), pParameter, 1.0);
    }
    {
      QAVTasOptimizerParameters opt(pModel, pModel, features, bounds);
      QAVCoutCapture quiet;
      EXPECT_EQ(opt.Optimize(), S_OK);
      EXPECT_EQ(opt.Optimize(), S_OK); // the second run reopens its log, closing the first
      EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    // A log that cannot be opened: the run fails and holds nothing.
    setenv("TMPDIR", (dir + "/missing").c_str(), 1);
    {
      QAVTasOptimizerParameters opt(pModel, pModel, features, bounds);
      QAVCoutCapture quiet;
      EXPECT_EQ(opt.Optimize(), E_FAIL);
    }
    pModel->Release();
  }
  std::vector<double> points;
  std::string error;
  EXPECT_FALSE(QAVToolReadPoints(dir + "/none.txt", points, error));
  EXPECT_EQ(OpenDescriptors(), before);

  std::remove((dir + "/GeneratedGenomes.txt").c_str());
  rmdir(dir.c_str());
  saved ? setenv("TMPDIR", savedDir.c_str(), 1) : unsetenv("TMPDIR");
}

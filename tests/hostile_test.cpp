// Hostile caller data the area suites leave out: each case must end in the documented report or a
// clear failure, never in a crash, a hang, undefined behaviour or a leak (the sanitizer build runs
// this suite too).
#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVTasAllPairsDistance.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"
#include "QAVTasGAOptimizer.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasOptimizerParameters.h"
#include "QAVTasOptimizerTolerancing.h"
#include "QAVToolPointFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

// Requests above this size fail as if memory were exhausted, so that a test can ask for an array
// that cannot be allocated without the machine actually trying to provide it.
namespace
{
constexpr std::size_t kAllocationCap = std::size_t{1} << 30;
std::size_t gLargestRequest = 0; // tells that an operation did not even try

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
void* operator new(std::size_t iSize, const std::nothrow_t&) noexcept { return Allocate(iSize); }
void* operator new[](std::size_t iSize, const std::nothrow_t&) noexcept { return Allocate(iSize); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace
{
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();

// Either engine on a bowl (or a constant answer) within the given limits; counts its calls and
// any non-finite gene it sees.
template <class Engine, class Gene>
class Probe : public Engine
{
public:
  Probe(std::vector<Gene> iLower, std::vector<Gene> iUpper) : _Lower(std::move(iLower)), _Upper(std::move(iUpper))
  {
    Configure();
  }
  double EvalFitness(std::int32_t iCount, Gene* ipCode) override
  {
    ++_Calls;
    double s = 0.0;
    for (std::int32_t i = 0; i < iCount; ++i)
    {
      _SawNonFinite |= !std::isfinite(double(ipCode[i]));
      s += (ipCode[i] - 3.0) * (ipCode[i] - 3.0);
    }
    return _Answer ? *_Answer : s;
  }
  void Configure()
  {
    this->SetNumParams(static_cast<std::int32_t>(_Lower.size()));
    this->SetParamValLimits(_Lower.data(), _Upper.data());
    this->SetPopulationSize(10);
    this->SetMaxNumber(30);
  }
  void Run()
  {
    QAVCoutCapture quiet;
    this->Minimize();
  }
  // After failures, configured again, the object runs exactly like a fresh one.
  void ExpectRunLikeAFreshOne()
  {
    Configure();
    Probe fresh(_Lower, _Upper);
    const std::int32_t before = _Calls;
    Run();
    fresh.Run();
    EXPECT_EQ(this->GetOptimumFitness(), fresh.GetOptimumFitness());
    EXPECT_EQ(_Calls - before, fresh._Calls);
  }
  std::vector<Gene> _Lower, _Upper;
  std::int32_t _Calls = 0;
  bool _SawNonFinite = false;
  const double* _Answer = nullptr;
};
using IntProbe = Probe<QAVMathIntGAOptimizer, std::int32_t>;
using RealProbe = Probe<QAVTasGAOptimizer, double>;
} // namespace

// ---------------------------------------------------------------------------------------------
// Engines

TEST(HostileEngines, ExtremeIntegerLimitsKeepEveryGeneInRangeWhateverTheScheme)
{
  for (std::int32_t process : {1, 3, 4, 5, 8, 10})
  {
    IntProbe opt({kLowest, kLowest, -7, 5}, {kHuge, 0, -7, -5});
    opt.SetProcess(process);
    opt.Run();
    std::int32_t best[4];
    opt.GetOptimumParams(best);
    EXPECT_EQ(best[2], -7) << process;
    EXPECT_TRUE(std::isfinite(opt.GetOptimumFitness())) << process;
  }
}

TEST(HostileEngines, NonFiniteFitnessEndsTheIntegerRun)
{
  // A NaN optimum is "not above the reference": the run stops after the initial population. An
  // infinite one never reaches it: the no-progress rule ends the run.
  for (const double& answer : {kNaN, kInf})
  {
    IntProbe opt({0, 0}, {10, 10});
    opt._Answer = &answer;
    opt.SetIdemFitnessCount(3);
    opt.Run();
    const double fitness = opt.GetOptimumFitness();
    EXPECT_TRUE(std::isnan(answer) ? opt._Calls == 10 && std::isnan(fitness) : opt._Calls > 10 && fitness == kInf);
  }
}

TEST(HostileEngines, NonFiniteRealLimitsNeverReachTheFitness)
{
  for (double bad : {kNaN, kInf, -kInf})
  {
    QAVCoutCapture out;
    RealProbe opt({0.0, bad}, {1.0, 1.0});
    opt.Minimize();
    opt.Maximize();
    EXPECT_FALSE(opt._SawNonFinite) << bad;
    EXPECT_EQ(opt._Calls, 0);
    EXPECT_NE(out.Text().find("Minimize refused: a gene limit is not finite"), std::string::npos);
  }
}

TEST(HostileEngines, ArraysThatCannotBeAllocatedFailCleanlyAndTheObjectStaysUsable)
{
  IntProbe opt({0, 0}, {10, 10});
  // After a run, a huge population: nothing is evaluated, and no freed pointer is left behind.
  opt.Run();
  const std::int32_t calls = opt._Calls;
  opt.SetPopulationSize(kHuge);
  EXPECT_THROW(opt.Run(), std::bad_alloc);
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
  opt.ExpectRunLikeAFreshOne();

  QAVMathIntGAIndividual individual(3);
  EXPECT_THROW(individual.Initialize(kHuge), std::bad_alloc);
  EXPECT_EQ(individual._CodeLength, 3);
  EXPECT_THROW(QAVMathIntGAPopulation(8, kHuge, opt._Lower.data(), opt._Upper.data()), std::bad_alloc);
  EXPECT_EQ(QAVMathIntGAIndividual(-5)._CodeLength, 0);
  QAVMathIntGAPopulation empty(-3, -2, nullptr, nullptr), copy(static_cast<QAVMathIntGAPopulation*>(nullptr));
  EXPECT_EQ(empty._Size, 6);
  EXPECT_EQ(copy._Individuals, nullptr);
  copy = empty;

  // The real engine ends the run with its failure line instead.
  QAVCoutCapture out;
  RealProbe real({0.0, 0.0}, {1.0, 1.0});
  real.Minimize();
  const std::int32_t realCalls = real._Calls;
  real.SetPopulationSize(kHuge);
  real.Minimize();
  EXPECT_NE(out.Text().find("failed -- lg 203"), std::string::npos);
  EXPECT_EQ(real._Calls, realCalls);
  real.ExpectRunLikeAFreshOne();
}

// ---------------------------------------------------------------------------------------------
// Ellipse, its free functions and its solver

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
  double values[2], e1[2], e2[2];
  for (double bad : {kNaN, kInf})
  {
    QAVMath2x2Matrix m(bad, 0.5, 0.5, 1.0);
    EXPECT_EQ(QAVTas2DEigenVectors(m, values, e1, e2), E_FAIL);
  }
  QAVMath2x2Matrix fine(2.0, 0.5, 0.5, 1.0);
  EXPECT_EQ(QAVTas2DEigenVectors(fine, nullptr, e1, e2), E_FAIL);
  EXPECT_EQ(QAVTas2DEigenVectors(fine, values, e1, nullptr), E_FAIL);
}

TEST(HostileEllipse, NullOrNegativePointSetsCountAsNoPointsAndNaNPointsStayNaN)
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
  EXPECT_EQ(QAVTasGetMaxDistance(points, kLowest, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(e.GetVarianceOfDistanceFromPoints(nullptr, 3, value), S_OK);
  EXPECT_EQ(value, 1000000.0);
  EXPECT_EQ(e.GetMeanDistanceFromPoints(points, -1, value, deviation), S_OK);
  EXPECT_EQ(deviation, 1000000.0);
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(nullptr, 0, value), S_OK);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(e.GetMinimizedDistance(nullptr, centre), E_FAIL);
  EXPECT_EQ(e.GetMinimizedDistance(points, nullptr), E_FAIL);
  EXPECT_EQ(QAVTasCovarianceEllipse(1.0, 0.5, 1.0, 1.0, 0.0, nullptr, -7, 0)._IsComputed, 1);

  const double withNaN[8] = {2.0, 0.0, -2.0, 0.0, 0.0, 2.0, kNaN, 1.0};
  EXPECT_EQ(e.GetVarianceOfDistanceFromPoints(withNaN, 4, value), S_OK);
  EXPECT_TRUE(std::isnan(value));
  EXPECT_EQ(e.GetMinimalDistanceFromPoints(withNaN, 4, value), S_OK);
  EXPECT_TRUE(std::isnan(value));
}

TEST(HostileEllipse, MaxDistanceOfHugeCoordinatesIsStillTheAllPairsValue)
{
  // Differences whose products overflow: the exact turn signs cannot decide the hull there.
  const std::vector<std::vector<double>> sets = {
    {0.0, 0.0, 0.0, -1e308, -3.5, 2.0},                // a squared difference overflows: infinity
    {0.0, 0.0, 1e152, 0.0, 0.0, 1e152, 3e151, 3e151}, // products overflow, squares do not
    {-1e200, 5.0, 1e200, -5.0, 0.0, 1e-300, 1.0, 1.0} // the difference itself is near the limit
  };
  for (const std::vector<double>& points : sets)
  {
    double fast = 0.0;
    EXPECT_EQ(QAVTasGetMaxDistance(points.data(), static_cast<std::int32_t>(points.size() / 2), fast), S_OK);
    EXPECT_EQ(fast, QAVTasAllPairsMaxDistance(points.data(), points.size() / 2)) << points[2];
  }
}

TEST(HostileEllipse, SolverRefusesNonFiniteLevelsPointsAndGenes)
{
  double square[8] = {1.0, 0.0, -1.0, 0.0, 0.0, 2.0, 0.0, -2.0};
  const struct
  {
    double level, point;
    std::int32_t line;
  } cases[] = {{kNaN, 0.0, 166}, {kInf, 0.0, 166}, {-kInf, 0.0, 166}, {1.0, kNaN, 185}, {1.0, kInf, 185}};
  for (const auto& c : cases)
  {
    double points[8] = {1.0, 0.0, -1.0, 0.0, 0.0, 2.0, c.point, -2.0};
    QAVTasEllipseSolver solver(c.level, 4, points);
    double parameters[6];
    QAVCoutCapture out;
    EXPECT_EQ(solver.ComputeEllipseParameters(parameters), E_FAIL);
    EXPECT_EQ(ErrorDepthHandler::_i_errline_, c.line);
    EXPECT_EQ(ErrorDepthHandler::_errfile_, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasEllipseSolver");
    EXPECT_TRUE(out.Text().empty()); // before the search prints anything
  }
  // Null or NaN genes get the growing penalty, never a NaN fitness; the null case raises the
  // penalty before returning it, a non-ellipse after.
  QAVTasEllipseSolver solver(1.0, 4, square);
  double nanGenes[3] = {kNaN, 1.0, 0.0}, infGenes[3] = {kInf, kInf, 0.0};
  EXPECT_EQ(solver.EvalFitness(3, nullptr), 1000001.0);
  EXPECT_EQ(solver.EvalFitness(3, nanGenes), 1000001.0);
  EXPECT_EQ(solver.EvalFitness(3, infGenes), 1000002.0);
}

TEST(HostileEllipse, PointFileWordsMustBeWholeNumbers)
{
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/qav_hostile_points";
  const std::string cases[] = {std::string("0 0\n\0\0001e308 -1e308\n", 20), "1 2 3\n", "1e999 0\n", "nan 1\n", "1 0x\n"};
  for (const std::string& text : cases)
  {
    std::ofstream(path, std::ios::binary) << text;
    std::vector<double> points;
    std::string error;
    EXPECT_FALSE(QAVToolReadPoints(path, points, error)) << text;
    EXPECT_NE(error.find(text[0] == '0' ? ":2:" : ":1:"), std::string::npos) << error;
  }
  std::remove(path.c_str());
}

// ---------------------------------------------------------------------------------------------
// Tolerancing optimiser

namespace
{
std::string DataFile(const std::string& iForm, const std::string& iNx, const std::string& iNy, const std::string& iRest)
{
  return iForm + "\nDimension du vecteur Nx : " + iNx + "\nDimension du vecteur Ny : " + iNy + "\n" + iRest;
}

const char kSmallRest[] = "Coefficients de la matrice W :\n1.0 1.0\nTolerancement sur Y (Ymin puis Ymax) :\n 0.0\n 0.5\n"
                          "Domaine de definition de X (bornes inf puis sup) :\n 0.01 0.01\n 1.0 1.0\n";

// ReadDataFile on a text, through a memory stream or (iPipe) through a pipe, which cannot seek.
HRESULT Read(QAVTasOptimizerTolerancing& ioProblem, std::string iText, bool iPipe = false)
{
  int ends[2] = {-1, -1};
  if (iPipe && pipe(ends) == 0) // the texts here fit in the pipe's buffer
  {
    EXPECT_EQ(write(ends[1], iText.data(), iText.size()), static_cast<ssize_t>(iText.size()));
    close(ends[1]);
  }
  FILE* pFile = iPipe ? fdopen(ends[0], "r") : fmemopen(&iText[0], iText.size(), "r");
  const HRESULT hr = ioProblem.ReadDataFile(pFile);
  std::fclose(pFile);
  return hr;
}
} // namespace

TEST(HostileTolerancing, CountsOutOfRangeOrBeyondTheFileFailAtTheirLineAndSizeNoArrays)
{
  // 4294967298 would wrap to 2 in 32 bits and read the small problem that follows; millions of
  // values announced by a file of a few hundred bytes are refused before any array is asked for.
  const struct
  {
    const char *form, *nx, *ny;
    std::int32_t line;
  } cases[] = {{"2", "4294967298", "1", 281},         {"2", "2147483648", "1", 281}, {"2", "-2147483649", "1", 281},
               {"2", "99999999999999999999999", "1", 281}, {"4294967298", "2", "1", 277}, {"3", "2", "444444444444", 283},
               {"2", "2000000000", "2000000000", 283}, {"2", "2", "3000000", 283},    {"2", "3000000", "1", 283}};
  for (const auto& c : cases)
  {
    QAVTasOptimizerTolerancing problem;
    gLargestRequest = 0;
    EXPECT_EQ(Read(problem, DataFile(c.form, c.nx, c.ny, kSmallRest)), E_FAIL) << c.nx << " x " << c.ny;
    EXPECT_LT(gLargestRequest, std::size_t{1} << 20) << c.nx << " x " << c.ny;
    EXPECT_EQ(ErrorDepthHandler::_ier_, 1);
    EXPECT_EQ(ErrorDepthHandler::_i_errline_, c.line);
    EXPECT_EQ(problem._ppW, nullptr);
  }
  // A file that does hold its values reads, from a pipe too, and reads again on the same object.
  QAVTasOptimizerTolerancing problem;
  EXPECT_EQ(Read(problem, DataFile("2", "2", "1", kSmallRest)), S_OK);
  EXPECT_EQ(Read(problem, DataFile("3", "2", "1", kSmallRest), true), S_OK);
  EXPECT_EQ(problem._pXsup[1], 1.0);
}

TEST(HostileTolerancing, NonFiniteMissingOrHalfReadDataNeverCrashARun)
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
  for (const char* rest : {"Coefficients de la matrice W :\n1.0",
                           "Coefficients de la matrice W :\n1.0 1.0\nTolerancement sur Y (Ymin puis Ymax) :\n 0.0\n"})
  {
    QAVTasOptimizerTolerancing problem;
    EXPECT_EQ(Read(problem, DataFile("2", "2", "1", rest)), E_FAIL);
    QAVCoutCapture quiet;
    EXPECT_EQ(problem.Optimize(), E_FAIL);
    float* pValues = nullptr;
    EXPECT_EQ(problem.GetValues(pValues), E_FAIL);
    delete[] pValues;
  }
  double row[2] = {1.0, 1.0}, ymin[1] = {0.0}, ymax[1] = {0.5}, xsup[2] = {1.0, 1.0}, xinf[2] = {0.01, 0.01};
  double* rows[1] = {row};
  QAVTasOptimizerTolerancing huge(kHuge, kHuge, nullptr, ymin, ymax, xsup, xinf);
  EXPECT_EQ(huge._Nx, 0);
  QAVCoutCapture quiet;
  EXPECT_EQ(huge.Optimize(), E_FAIL);

  // Repeated runs on one object give the same result.
  QAVTasOptimizerTolerancing problem(1, 2, rows, ymin, ymax, xsup, xinf);
  std::vector<double> first, second;
  ASSERT_EQ(problem.Optimize(), S_OK);
  problem.GetResultX(first);
  ASSERT_EQ(problem.Optimize(), S_OK);
  problem.GetResultX(second);
  EXPECT_EQ(first, second);
}

// ---------------------------------------------------------------------------------------------
// Analysis-parameter optimiser: every path releases its handles and closes its log

TEST(HostileParameters, NullGenomesNonFiniteBoundsAndFailedRunsLeaveNoHandleOrFile)
{
  const auto openDescriptors = [] {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(std::filesystem::begin(fds), std::filesystem::end(fds));
  };
  char dirTemplate[] = "/tmp/qavhostileXXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  const char* saved = std::getenv("TMPDIR");
  const std::string savedDir = saved ? saved : "";
  setenv("TMPDIR", dir.c_str(), 1);
  const auto before = openDescriptors();
  const std::int64_t references = QAVBaseUnknown::OutstandingReferences();
  {
    QAVListValQAVBaseUnknown_var features;
    QAVRawColldouble bounds;
    auto* pModel = new QAVTasMemAnalysis;
    for (int k = 0; k < 2; ++k)
    {
      QAVTasMemParameter* pParameter = pModel->AddParameter("P" + std::to_string(k), 0.0, 0.0, 10.0);
      features.Append(pModel->AddFeature(QAVTasMemFeature::Kind::Curve, pParameter));
      bounds.Append(0.0);
      bounds.Append(10.0);
      pModel->AddContribution(pModel->AddRequirement(-2.0 - k), pParameter, 1.0);
    }
    QAVCoutCapture quiet;
    {
      QAVTasOptimizerParameters opt(pModel, pModel, features, bounds);
      EXPECT_EQ(opt.Optimize(), S_OK);
      EXPECT_EQ(opt.Optimize(), S_OK); // the second run reopens its log, closing the first
      EXPECT_EQ(openDescriptors(), before + 1);
      double fitness = 0.0;
      EXPECT_EQ(opt.AlreadyComputed(-3, nullptr, fitness), 0);
      EXPECT_EQ(opt.AlreadyComputed(4, nullptr, fitness), 0);
      EXPECT_GT(opt.EvalFitness(-1, nullptr), opt.EvalFitness(2, nullptr));
    }
    for (double bad : {kNaN, kInf})
    {
      bounds.RemovePosition(4);
      bounds.Append(bad);
      QAVTasOptimizerParameters opt(pModel, pModel, features, bounds);
      std::int32_t genome[2] = {4, 4};
      EXPECT_GE(opt.EvalFitness(2, genome), opt._ErrorFitness - 1.0) << bad;
    }
    bounds.RemovePosition(4);
    bounds.Append(10.0);
    setenv("TMPDIR", (dir + "/missing").c_str(), 1);
    {
      QAVTasOptimizerParameters opt(pModel, pModel, features, bounds);
      EXPECT_EQ(opt.Optimize(), E_FAIL);
    }
    pModel->Release();
  }
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), references);
  std::vector<double> points;
  std::string error;
  EXPECT_FALSE(QAVToolReadPoints(dir + "/none.txt", points, error));
  EXPECT_EQ(openDescriptors(), before);

  std::remove((dir + "/GeneratedGenomes.txt").c_str());
  rmdir(dir.c_str());
  saved ? setenv("TMPDIR", savedDir.c_str(), 1) : unsetenv("TMPDIR");
}

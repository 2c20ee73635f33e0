#include "QAVTasOptimizerParameters.h"

#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasUIServices.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using Kind = QAVTasMemFeature::Kind;
typedef std::unique_ptr<QAVTasOptimizerParameters> Optimizer;

void ExpectReport(std::int32_t iKind, const char* iText, std::int32_t iLine)
{
  EXPECT_EQ(ErrorDepthHandler::_ier_, iKind);
  EXPECT_EQ(ErrorDepthHandler::_c_err_, iText);
  EXPECT_EQ(ErrorDepthHandler::_i_errline_, iLine);
  EXPECT_EQ(ErrorDepthHandler::_errfile_, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerParameters");
}

typedef std::vector<QAVBaseUnknown*> Units;
// A 1-based list's entries, as a vector to compare whole.
template <class T>
Units Contents(const T& iList)
{
  Units units;
  for (std::int32_t i = 1; i <= iList.Size(); ++i)
    units.push_back(iList[i].Get());
  return units;
}
std::vector<double> Contents(const QAVRawColldouble& iList)
{
  std::vector<double> values;
  for (std::int32_t i = 1; i <= iList.Size(); ++i)
    values.push_back(iList[i]);
  return values;
}

// A model with a known best placement: P1 = 3 (gene 3 over bounds 0..10), P2 = 4 (gene 4) and
// the plane point on node 2 (x = 2000 mm, so X = 2.0), where every requirement is 0.
// Each test runs with its own temporary directory, where the genome log lands.
class Params : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char dirTemplate[] = "/tmp/qavparamsXXXXXX";
    _Dir = mkdtemp(dirTemplate);
    setenv("TMPDIR", _Dir.c_str(), 1);
    _Before = QAVBaseUnknown::OutstandingReferences();

    _pModel = new QAVTasMemAnalysis;
    _pP1 = _pModel->AddParameter("P1", 0.0, 0.0, 10.0);
    _pP2 = _pModel->AddParameter("P2", 0.0, 0.0, 10.0);
    _pPoint = _pModel->AddPoint(0.0, 0.0, 0.0);
    _pPlane = _pModel->AddSupport({{0, 0, 0}, {1000, 2000, 3000}, {2000, 0, 500}, {3000, 1000, 0}});
    _pA = _pModel->AddFeature(Kind::Curve, _pP1);
    _pB = _pModel->AddFeature(Kind::Plane, _pPlane, _pPoint);
    _pC = _pModel->AddFeature(Kind::Between, _pP2);
    _pModel->AddContribution(_pModel->AddRequirement(-3.0), _pP1, 1.0);
    _pModel->AddContribution(_pModel->AddRequirement(-4.0), _pP2, 1.0);
    _pModel->AddContribution(_pModel->AddRequirement(-2.0), _pPoint->Coordinate(0), 1.0);
  }

  void TearDown() override
  {
    _pModel->Release();
    EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), _Before);
    std::remove(LogPath().c_str());
    rmdir(_Dir.c_str());
  }

  // The features given, each with bounds 0..10.
  Optimizer Make(std::initializer_list<QAVBaseUnknown*> iFeatures, QAVITasAnalysis* ipAnalysis,
                 QAVITasDisplayResults* ipResults)
  {
    QAVListValQAVBaseUnknown_var features;
    QAVRawColldouble bounds;
    for (QAVBaseUnknown* pFeature : iFeatures)
    {
      features.Append(pFeature);
      bounds.Append(0.0);
      bounds.Append(10.0);
    }
    return Optimizer(new QAVTasOptimizerParameters(ipAnalysis, ipResults, features, bounds));
  }
  Optimizer Make(std::initializer_list<QAVBaseUnknown*> iFeatures) { return Make(iFeatures, _pModel, _pModel); }
  Optimizer Make() { return Make({_pA, _pB, _pC}); }

  std::string LogPath() const { return _Dir + "/GeneratedGenomes.txt"; }
  std::string ReadLog(std::FILE* ipFile) const
  {
    std::fflush(ipFile);
    return QAVToolSlurp(LogPath());
  }

  std::string _Dir;
  std::int64_t _Before = 0;
  QAVTasMemAnalysis* _pModel = nullptr;
  QAVTasMemParameter *_pP1 = nullptr, *_pP2 = nullptr;
  QAVTasMemPoint* _pPoint = nullptr;
  QAVTasMemSupport* _pPlane = nullptr;
  QAVTasMemFeature *_pA = nullptr, *_pB = nullptr, *_pC = nullptr;
};
} // namespace

TEST_F(Params, ClassifiesFeaturesAndMovesMeshPointsOut)
{
  QAVListValQAVBaseUnknown_var features;
  QAVRawColldouble bounds;
  for (double b : {1.0, 2.0, 3.0, 4.0, 5.0, 6.0})
    bounds.Append(b);
  for (QAVBaseUnknown* pFeature : {_pA, _pB, _pC})
    features.Append(pFeature);
  QAVTasOptimizerParameters optimizer(_pModel, _pModel, features, bounds);

  EXPECT_EQ(Contents(optimizer._ParameterFeatures), (Units{_pA, _pC}));
  EXPECT_EQ(Contents(optimizer._Parameters), (Units{_pP1, _pP2}));
  EXPECT_EQ(Contents(optimizer._Bounds), (std::vector<double>{1, 2, 5, 6}));
  EXPECT_EQ(Contents(optimizer._CoordPoints), (Units{_pPoint}));
  EXPECT_EQ(optimizer._NodeCounts[1], 4);
  EXPECT_EQ(static_cast<QAVMSHNode* const*>(optimizer._NodeArrays[1])[1]->_Coordinates[2], 3000.0);

  // Null entries stay, a surface's points move out, an empty mesh adds no point.
  QAVTasMemPoint* pOther = _pModel->AddPoint(0, 0, 0);
  QAVBaseUnknown* pSurface = _pModel->AddFeature(Kind::Surface, _pModel->AddSupport({{5, 6, 7}}), pOther);
  QAVBaseUnknown* pEmpty = _pModel->AddFeature(Kind::Plane, _pModel->AddSupport({}), _pPoint);
  Optimizer mixed(Make({nullptr, pSurface, _pA, pEmpty}));
  EXPECT_EQ(Contents(mixed->_ParameterFeatures), (Units{nullptr, _pA}));
  EXPECT_EQ(mixed->_Bounds.Size(), 4);
  EXPECT_EQ(mixed->_Parameters.Size(), 1);
  EXPECT_EQ(Contents(mixed->_CoordPoints), (Units{pOther}));
  EXPECT_EQ(mixed->_NodeCounts[1], 1);
}

TEST_F(Params, ClassificationStopsAtTheFirstFailingFeature)
{
  struct Case
  {
    QAVBaseUnknown* _pFeature;
    std::int32_t _Kind;
    const char* _Text;
    std::int32_t _Line;
  };
  QAVTasMemSupport* pMesh = _pModel->AddSupport({{1, 1, 1}});
  const Case cases[] = {
    {_pModel->AddFeature(Kind::Other, nullptr), 1, "", 250},
    {_pModel->AddFeature(Kind::Curve, nullptr), 1, "", 176},
    {_pModel->AddFeature(Kind::Between, nullptr), 1, "", 182},
    {_pModel->AddFeature(Kind::Plane, nullptr, _pPoint), 3, "spSpec", 189},
    {_pModel->AddFeature(Kind::Plane, pMesh, nullptr), 3, "spSpec", 199},
    {_pModel->AddFeature(Kind::Surface, nullptr, _pPoint), 3, "spSpec", 225},
    {_pModel->AddFeature(Kind::Surface, _pPoint, _pPoint), 1, "", 228},
    {_pModel->AddFeature(Kind::Surface, pMesh, nullptr), 3, "spSpec", 234},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c._Line);
    Optimizer optimizer(Make({_pA, c._pFeature, _pC}));
    ExpectReport(c._Kind, c._Text, c._Line);
    EXPECT_EQ(optimizer->_ParameterFeatures.Size(), 3);
    EXPECT_EQ(optimizer->_Bounds.Size(), 6);
    EXPECT_EQ(optimizer->_Parameters.Size(), 1);
    EXPECT_EQ(optimizer->_CoordPoints.Size(), 0);
  }
}

TEST_F(Params, ReferenceListConstructorMatchesEachParameterWithItsFeature)
{
  QAVTasMemParameter* pLoose = _pModel->AddParameter("Loose", 0.0, 0.0, 1.0);
  auto pParameters = std::make_unique<QAVListValQAVBaseUnknown_var>();
  QAVRawColldouble bounds;
  const QAVBaseUnknown_var entries[] = {_pP1, pLoose, QAVBaseUnknown_var(), _pPlane, _pP2};
  for (std::size_t i = 0; i < 5; ++i)
  {
    pParameters->Append(entries[i]);
    bounds.Append(10.0 * i);
    bounds.Append(10.0 * i + 1);
  }
  QAVListValQAVBaseUnknown_var* pList = pParameters.get();
  QAVTasOptimizerParameters optimizer(_pModel, _pModel, pList, bounds);
  EXPECT_EQ(Contents(optimizer._ParameterFeatures), (Units{_pA, _pC}));
  EXPECT_EQ(Contents(optimizer._Parameters), (Units{_pP1, _pP2}));
  EXPECT_EQ(Contents(optimizer._Bounds), (std::vector<double>{0, 1, 40, 41}));
  EXPECT_EQ(Contents(optimizer._UnmatchedParameters), (Units{pLoose}));
  EXPECT_EQ(Contents(optimizer._UnmatchedBounds), (std::vector<double>{10, 11}));
}

TEST_F(Params, AppliesTheGenomeAndCachesItsFitness)
{
  Optimizer optimizer(Make());
  optimizer->_Bounds.Set(1, 2.0);
  optimizer->_Bounds.Set(2, 4.0);
  std::int32_t genome[] = {5, 4, 2}, other[] = {5, 2, 2}, unknown[] = {1, 1, 1};
  QAVCoutCapture out;
  // P1 = 5 * (4 - 2) / 10 = 1.0: the lower bound is not added.
  EXPECT_DOUBLE_EQ(optimizer->EvalFitness(3, genome), 2.0);
  EXPECT_EQ(_pP1->Value(), 1.0);
  EXPECT_EQ(_pP2->Value(), 4.0);
  EXPECT_DOUBLE_EQ(_pPoint->Coordinate(0)->Value(), 2.0);
  EXPECT_DOUBLE_EQ(_pPoint->Coordinate(2)->Value(), 0.5);
  EXPECT_EQ(_pModel->UpdateCount(), 1);

  EXPECT_DOUBLE_EQ(optimizer->EvalFitness(3, other), 4.0);
  const std::int32_t valuations = _pP1->ValuationCount();
  EXPECT_DOUBLE_EQ(optimizer->EvalFitness(3, genome), 2.0);
  EXPECT_EQ(_pModel->UpdateCount(), 2);
  EXPECT_EQ(_pP1->ValuationCount(), valuations);
  EXPECT_EQ(out.Text(),
            "X= 2000 Y= 0 Z= 500Fitness== 2\n"
            "X= 2000 Y= 0 Z= 500Fitness== 4\n"
            "Identical genome detected= 2\nFitness== 2\n");
  double fitness = -1.0;
  EXPECT_EQ(optimizer->AlreadyComputed(3, unknown, fitness), 0);
  EXPECT_EQ(fitness, -1.0);
}

TEST_F(Params, FailedEvaluationsRankLastAndAreNotCached)
{
  _pP1->Valuate(0.0);
  Optimizer optimizer(Make());
  _pModel->AddContribution(1, _pModel->AddParameter("Limit", 0.0, 0.0, 5.0), 0.0);
  QAVTasMemParameter* pLimited = _pModel->AddParameter("Guard", 0.0, 0.0, 5.0);
  pLimited->Valuate(6.0); // out of its range: every update fails
  QAVCoutCapture out;
  std::int32_t genome[] = {1, 1, 1}, offMesh[] = {1, 1, 4};
  EXPECT_EQ(optimizer->EvalFitness(3, genome), 10000001.0);
  ExpectReport(1, "", 586);
  EXPECT_EQ(optimizer->EvalFitness(3, genome), 10000002.0);
  EXPECT_EQ(optimizer->_CachedGenomes.Size(), 0);
  pLimited->Valuate(1.0);

  EXPECT_EQ(optimizer->EvalFitness(3, offMesh), 10000003.0);
  ExpectReport(3, "ppNodes[ipX[KwpCount+i]]", 566);
  EXPECT_EQ(optimizer->EvalFitness(3, nullptr), 10000004.0);
  ExpectReport(3, "ipX", 471);
  EXPECT_EQ(optimizer->EvalFitness(3, genome), 6.0);
  EXPECT_EQ(optimizer->_EvalFailed, 1);
  EXPECT_NE(out.Text().find("Error Fitness== 1e+07\n"), std::string::npos);
}

TEST_F(Params, GenomeLogLinesByteForByte)
{
  Optimizer optimizer(Make());
  optimizer->_pFile = QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\GeneratedGenomes.txt", "w");
  ASSERT_NE(optimizer->_pFile, nullptr);
  QAVCoutCapture out;
  std::int32_t best[] = {3, 4, 2}, invalid[] = {11, 4, 2};
  for (std::int32_t* genome : {best, best, invalid})
    optimizer->EvalFitness(3, genome);
  EXPECT_EQ(ReadLog(optimizer->_pFile),
            "Values :        3.000        4.000X=     2000.000 Y=        0.000 Z=      500.000 Fitness=        0.000\n"
            "Values : Fitness=        0.000\n"
            "Values :       11.000        4.000X=     2000.000 Y=        0.000 Z=      500.000"
            " Error Fitness= 10000001.000\n");
}

TEST_F(Params, OptimizeFailuresReportAndReleaseEverything)
{
  struct Case
  {
    QAVITasAnalysis* _pAnalysis;
    QAVITasDisplayResults* _pResults;
    std::initializer_list<QAVBaseUnknown*> _Features;
    std::int32_t _Kind;
    const char* _Text;
    std::int32_t _Line;
  };
  auto* pBare = new QAVTasMemAnalysis; // no requirement: preparation fails
  const Case cases[] = {
    {nullptr, _pModel, {_pA}, 3, "_piAnalysis", 335},
    {_pModel, nullptr, {_pA}, 3, "_piResults", 336},
    {pBare, _pModel, {_pA}, 1, "", 338},
    {_pModel, _pModel, {nullptr, _pA}, 1, "", 366},
    {_pModel, _pModel, {}, 1, "", 343},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c._Line);
    Optimizer optimizer(Make(c._Features, c._pAnalysis, c._pResults));
    const std::int64_t held = QAVBaseUnknown::OutstandingReferences();
    EXPECT_EQ(optimizer->Optimize(), E_FAIL);
    ExpectReport(c._Kind, c._Text, c._Line);
    EXPECT_EQ(optimizer->_pFile, nullptr);
    EXPECT_NE(access(LogPath().c_str(), F_OK), 0);
    EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), held);
  }
  pBare->Release();
  Optimizer mismatched(Make());
  mismatched->_Bounds.Append(1.0);
  EXPECT_EQ(mismatched->Optimize(), E_FAIL);
  ExpectReport(1, "", 347);
}

TEST_F(Params, UnopenableLogFailsAfterTheSpidersWereCreated)
{
  Optimizer optimizer(Make());
  setenv("TMPDIR", (_Dir + "/missing").c_str(), 1);
  const std::int64_t held = QAVBaseUnknown::OutstandingReferences();
  EXPECT_EQ(optimizer->Optimize(), E_FAIL);
  ExpectReport(3, "_pFile", 373);
  EXPECT_EQ(_pA->SpiderSteps(), 11);
  EXPECT_EQ(_pC->SpiderSteps(), 11);
  EXPECT_EQ(_pModel->UpdateCount(), 0);
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), held);
}

TEST_F(Params, WholeRunFindsTheKnownBestPlacementAndRunsAgainFromTheCache)
{
  Optimizer optimizer(Make());
  const std::int64_t held = QAVBaseUnknown::OutstandingReferences();
  QAVCoutCapture out;
  ASSERT_EQ(optimizer->Optimize(), S_OK);
  EXPECT_EQ(_pP1->Value(), 3.0);
  EXPECT_EQ(_pP2->Value(), 4.0);
  EXPECT_DOUBLE_EQ(_pPoint->Coordinate(0)->Value(), 2.0);
  EXPECT_DOUBLE_EQ(_pPoint->Coordinate(2)->Value(), 0.5);
  EXPECT_LE(optimizer->GetOptimumFitness(), 0.001);
  EXPECT_EQ(_pA->RegenerationCount(), 1);
  EXPECT_NE(out.Text().find("pParams[i]  =3\npParams[i]  =4\nOptimum Fitness =0\n"), std::string::npos);
  const std::int32_t updates = _pModel->UpdateCount();
  EXPECT_EQ(updates, optimizer->_CachedGenomes.Size());
  ASSERT_NE(optimizer->_pFile, nullptr);
  EXPECT_EQ(ReadLog(optimizer->_pFile).rfind("Values :", 0), 0u);

  // Same seed, same genomes: the second run is served by the cache and starts its step
  // counts afresh.
  ASSERT_EQ(optimizer->Optimize(), S_OK);
  EXPECT_EQ(_pModel->UpdateCount(), updates);
  EXPECT_EQ(optimizer->_StepCounts.Size(), 2);
  EXPECT_EQ(ReadLog(optimizer->_pFile).find("X="), std::string::npos);
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), held);
}

TEST_F(Params, HostileArgumentsAndRepeatedRunsLeaveNoHandleOrFileOpen)
{
  const auto openDescriptors = []
  {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(std::filesystem::begin(fds), std::filesystem::end(fds));
  };
  const auto before = openDescriptors();
  QAVCoutCapture quiet;
  {
    Optimizer optimizer(Make({_pA, _pC}));
    EXPECT_EQ(optimizer->Optimize(), S_OK);
    EXPECT_EQ(optimizer->Optimize(), S_OK); // the second run reopens its log, closing the first
    EXPECT_EQ(openDescriptors(), before + 1);
    double fitness = 0.0;
    EXPECT_EQ(optimizer->AlreadyComputed(-3, nullptr, fitness), 0);
    EXPECT_EQ(optimizer->AlreadyComputed(4, nullptr, fitness), 0);
    EXPECT_GT(optimizer->EvalFitness(-1, nullptr), optimizer->EvalFitness(2, nullptr));
  }
  // A non-finite bound never gives a value: the evaluation fails and ranks last.
  for (double bad : {std::nan(""), HUGE_VAL})
  {
    Optimizer optimizer(Make({_pA, _pC}));
    optimizer->_Bounds.Set(4, bad);
    std::int32_t genome[2] = {4, 4};
    EXPECT_GE(optimizer->EvalFitness(2, genome), optimizer->_ErrorFitness - 1.0) << bad;
  }
  EXPECT_EQ(openDescriptors(), before);
}

#include "QAVIKwpParm.h"
#include "QAVIPvkPointCoord.h"
#include "QAVInterfacePtr.h"
#include "QAVListValQAVBaseUnknown_var.h"
#include "QAVRawColldouble.h"
#include "QAVTasCreateSpiders.h"
#include "QAVTasGetNodesAssociatedToGeom.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasUIServices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using Kind = QAVTasMemFeature::Kind;

TEST(PlatformHandles, CopiesMovesAndQueriesKeepTheCountExact)
{
  const std::int64_t before = QAVBaseUnknown::OutstandingReferences();
  auto* pParameter = new QAVTasMemParameter("P", 1.0);
  {
    QAVBaseUnknown_var a(pParameter);
    QAVBaseUnknown_var b = a;
    QAVBaseUnknown_var c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a, c);
    a = QAVBaseUnknown_var();
    EXPECT_EQ(pParameter->GetRefCount(), 2);

    QAVInterfacePtr<QAVIKwpParm> parm;
    EXPECT_EQ(parm.QueryFrom(c), S_OK);
    EXPECT_EQ(parm->Value(), 1.0);
    QAVInterfacePtr<QAVIPvkPointCoord> notAPoint;
    EXPECT_LT(notAPoint.QueryFrom(c), 0);
    EXPECT_FALSE(notAPoint);
    EXPECT_LT(notAPoint.QueryFrom(QAVBaseUnknown_var()), 0);
    EXPECT_EQ(pParameter->GetRefCount(), 3);
  }
  EXPECT_EQ(pParameter->GetRefCount(), 1);
  pParameter->Release();
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), before);
}

TEST(PlatformCollections, AreOneBasedAndSafeOutOfRange)
{
  QAVRawColldouble values;
  for (double v : {1.0, 2.0, 3.0, 4.0})
    values.Append(v);
  EXPECT_EQ(values[1], 1.0);
  EXPECT_EQ(values[4], 4.0);
  EXPECT_EQ(values[0], 0.0);
  EXPECT_EQ(values[5], 0.0);
  EXPECT_EQ(values.RemovePosition(2), S_OK);
  EXPECT_EQ(values.RemovePosition(0), E_FAIL);
  EXPECT_EQ(values.RemovePosition(4), E_FAIL);
  ASSERT_EQ(values.Size(), 3);
  EXPECT_EQ(values[2], 3.0);

  const std::int64_t before = QAVBaseUnknown::OutstandingReferences();
  auto* pParameter = new QAVTasMemParameter("P", 0.0);
  {
    QAVListValQAVBaseUnknown_var list;
    list.Append(pParameter);
    list.Append(QAVBaseUnknown_var());
    QAVListValQAVBaseUnknown_var copy = list;
    EXPECT_EQ(pParameter->GetRefCount(), 3);
    EXPECT_FALSE(copy[2]);
    EXPECT_FALSE(copy[3]);
    copy.RemovePosition(1);
    EXPECT_EQ(pParameter->GetRefCount(), 2);
  }
  pParameter->Release();
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), before);
}

TEST(PlatformFiles, DrivePathsGoToTheTemporaryDirectory)
{
  const char* saved = std::getenv("TMPDIR");
  const std::string savedDir = saved ? saved : "";
  char dirTemplate[] = "/tmp/qavfilesXXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  setenv("TMPDIR", (dir + "/").c_str(), 1);

  EXPECT_EQ(QAVTasUIServices::QAVTasMapPath("E:\\Temp\\GeneratedGenomes.txt").Text(), dir + "/GeneratedGenomes.txt");
  EXPECT_EQ(QAVTasUIServices::QAVTasMapPath("c:/a/b.txt").Text(), dir + "/b.txt");
  EXPECT_EQ(QAVTasUIServices::QAVTasMapPath("rel\\x.txt").Text(), "rel\\x.txt");
  EXPECT_EQ(QAVTasUIServices::QAVTasMapPath("/abs/y.txt").Text(), "/abs/y.txt");

  FILE* pFile = QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\Log.txt", "w");
  ASSERT_NE(pFile, nullptr);
  std::fputs("ok", pFile);
  QAVTasUIServices::QAVTasFileClose(pFile);
  FILE* pRead = std::fopen((dir + "/Log.txt").c_str(), "r");
  ASSERT_NE(pRead, nullptr);
  char text[8] = {};
  EXPECT_NE(std::fgets(text, sizeof text, pRead), nullptr);
  EXPECT_STREQ(text, "ok");
  std::fclose(pRead);

  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\Log.txt", nullptr), nullptr);
  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\", "w"), nullptr);
  setenv("TMPDIR", (dir + "/missing").c_str(), 1);
  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\Log.txt", "w"), nullptr);
  QAVTasUIServices::QAVTasFileClose(nullptr);

  std::remove((dir + "/Log.txt").c_str());
  std::remove(dir.c_str());
  saved ? setenv("TMPDIR", savedDir.c_str(), 1) : unsetenv("TMPDIR");
}

class PlatformModel : public ::testing::Test
{
protected:
  void SetUp() override
  {
    _Before = QAVBaseUnknown::OutstandingReferences();
    _pAnalysis = new QAVTasMemAnalysis;
  }
  void TearDown() override
  {
    _pAnalysis->Release();
    EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), _Before);
  }

  std::int64_t _Before = 0;
  QAVTasMemAnalysis* _pAnalysis = nullptr;
};

TEST_F(PlatformModel, FeaturesAnswerTheirOwnKindOnly)
{
  QAVTasMemParameter* pParameter = _pAnalysis->AddParameter("P", 0.0, 0.0, 1.0);
  QAVBaseUnknown_var curve = _pAnalysis->AddFeature(Kind::Curve, pParameter);
  QAVBaseUnknown_var between = _pAnalysis->AddFeature(Kind::Between, pParameter);
  QAVBaseUnknown_var plane = _pAnalysis->AddFeature(Kind::Plane, nullptr, nullptr);
  QAVBaseUnknown_var other = _pAnalysis->AddFeature(Kind::Other, nullptr);

  QAVInterfacePtr<QAVIPvkPointOnCurve> onCurve;
  QAVInterfacePtr<QAVIPvkPointBetween> onBetween;
  EXPECT_EQ(onCurve.QueryFrom(curve), S_OK);
  EXPECT_LT(onCurve.QueryFrom(between), 0);
  EXPECT_EQ(onBetween.QueryFrom(between), S_OK);
  EXPECT_LT(onBetween.QueryFrom(other), 0);
  QAVInterfacePtr<QAVIPvkPointOnSurface> onSurface;
  EXPECT_LT(onSurface.QueryFrom(plane), 0);
  QAVInterfacePtr<QAVISpecObject> rebuildable;
  EXPECT_EQ(rebuildable.QueryFrom(other), S_OK);

  QAVBaseUnknown_var parameter;
  ASSERT_EQ(onBetween.QueryFrom(between), S_OK);
  EXPECT_EQ(onBetween->GetKnowledgeParameter(parameter), S_OK);
  EXPECT_EQ(parameter.Get(), static_cast<QAVBaseUnknown*>(pParameter));
  QAVInterfacePtr<QAVIPvkPointOnCurve> noParameter;
  EXPECT_EQ(noParameter.QueryFrom(_pAnalysis->AddFeature(Kind::Curve, nullptr)), S_OK);
  EXPECT_LT(noParameter->GetKnowledgeParameter(parameter), 0);
  EXPECT_FALSE(parameter);

  QAVListValQAVBaseUnknown_var* pList = pParameter->ListAttributes(QAVIPvkPointOnCurve::IID, 0, 0);
  ASSERT_NE(pList, nullptr);
  ASSERT_EQ(pList->Size(), 1);
  EXPECT_EQ((*pList)[1], curve);
  delete pList;
  EXPECT_EQ(pParameter->ListAttributes(QAVIPvkPointOnPlane::IID, 0, 0), nullptr);
}

TEST_F(PlatformModel, NodesAndSpiders)
{
  QAVTasMemSupport* pPlane = _pAnalysis->AddSupport({{1, 2, 3}, {4, 5, 6}});
  std::int32_t count = -1;
  QAVMSHNode** ppNodes = nullptr;
  ASSERT_EQ(QAVTasGetNodesAssociatedToGeom(pPlane, count, ppNodes), S_OK);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(reinterpret_cast<const double*>(ppNodes[1])[2], 6.0);
  delete[] ppNodes;
  EXPECT_EQ(QAVTasGetNodesAssociatedToGeom(_pAnalysis->AddSupport({}), count, ppNodes), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ppNodes, nullptr);
  EXPECT_LT(QAVTasGetNodesAssociatedToGeom(_pAnalysis->AddPoint(0, 0, 0), count, ppNodes), 0);
  EXPECT_LT(QAVTasGetNodesAssociatedToGeom(nullptr, count, ppNodes), 0);

  QAVTasMemFeature* pCurve = _pAnalysis->AddFeature(Kind::Curve, _pAnalysis->AddParameter("P", 0, 0, 1));
  QAVListValQAVBaseUnknown_var features;
  features.Append(pCurve);
  QAVRawColldouble bounds;
  bounds.Append(0.0);
  QAVRawCollint steps;
  steps.Append(11);
  EXPECT_LT(QAVTasCreateSpiders(features, bounds, steps), 0);
  bounds.Append(1.0);
  EXPECT_EQ(QAVTasCreateSpiders(features, bounds, steps), S_OK);
  EXPECT_EQ(pCurve->SpiderSteps(), 11);
  features.Append(_pAnalysis->AddFeature(Kind::Plane, pPlane, nullptr));
  bounds.Append(0.0);
  bounds.Append(1.0);
  steps.Append(11);
  EXPECT_LT(QAVTasCreateSpiders(features, bounds, steps), 0);
}

TEST_F(PlatformModel, StackUpFollowsParametersAndCoordinates)
{
  QAVTasMemParameter* pLength = _pAnalysis->AddParameter("L", 2.0, 0.0, 5.0);
  QAVTasMemPoint* pPoint = _pAnalysis->AddPoint(0.5, 0.0, 0.0);
  const std::int32_t gap = _pAnalysis->AddRequirement(-3.0);
  _pAnalysis->AddContribution(gap, pLength, 1.0);
  _pAnalysis->AddContribution(gap, pPoint->Coordinate(0), 2.0);
  _pAnalysis->AddRequirement(0.25);

  QAVBaseUnknown_var handle;
  std::int32_t count = -1;
  float* pValues = nullptr;
  std::int32_t* pRequirements = nullptr;
  double* pNominals = nullptr;
  EXPECT_LT(_pAnalysis->GetResults(QAVTasImageOptions(), handle, count, pValues, pRequirements, pNominals), 0);
  EXPECT_EQ(pValues, nullptr);
  EXPECT_EQ(_pAnalysis->PrepareAnalysis(0), S_OK);
  EXPECT_EQ(_pAnalysis->Update(QAVIDomain_var()), 0);
  ASSERT_EQ(_pAnalysis->GetResults(QAVTasImageOptions(), handle, count, pValues, pRequirements, pNominals), S_OK);
  ASSERT_EQ(count, 2);
  EXPECT_FLOAT_EQ(pValues[0], -3.0f + 2.0f + 1.0f);
  EXPECT_FLOAT_EQ(pValues[1], 0.25f);
  EXPECT_EQ(pRequirements[1], 2);
  EXPECT_EQ(pNominals[0], -3.0);
  delete[] pValues;
  delete[] pRequirements;
  delete[] pNominals;
  EXPECT_TRUE(handle);
  handle = QAVBaseUnknown_var();

  pLength->Valuate(5.5);
  EXPECT_NE(_pAnalysis->Update(QAVIDomain_var()), 0);
  EXPECT_LT(_pAnalysis->GetResults(QAVTasImageOptions(), handle, count, pValues, pRequirements, pNominals), 0);
  EXPECT_EQ(_pAnalysis->UpdateCount(), 2);
}

TEST(PlatformModelPreparation, FailsWithoutRequirements)
{
  auto* pAnalysis = new QAVTasMemAnalysis;
  EXPECT_LT(pAnalysis->PrepareAnalysis(0), 0);
  pAnalysis->Release();
}

#include "ErrorDepthHandler.h"
#include "QAVIKwpParm.h"
#include "QAVIPvkPointCoord.h"
#include "QAVInterfacePtr.h"
#include "QAVListValQAVBaseUnknown_var.h"
#include "QAVRawColldouble.h"
#include "QAVTasCreateSpiders.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasUIServices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

TEST(PlatformHandles, CopiesMovesQueriesAndListsKeepTheCountExact)
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

    QAVListValQAVBaseUnknown_var list;
    list.Append(pParameter);
    list.Append(QAVBaseUnknown_var());
    QAVListValQAVBaseUnknown_var copy = list;
    EXPECT_EQ(pParameter->GetRefCount(), 5);
    EXPECT_FALSE(copy[2]);
    EXPECT_FALSE(copy[3]); // out of range: an empty handle
    copy.RemovePosition(1);
    EXPECT_EQ(pParameter->GetRefCount(), 4);
  }
  EXPECT_EQ(pParameter->GetRefCount(), 1);
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
  const std::pair<const char*, std::string> paths[] = {
    {"E:\\Temp\\GeneratedGenomes.txt", dir + "/GeneratedGenomes.txt"},
    {"c:/a/b.txt", dir + "/b.txt"},
    {"rel\\x.txt", "rel\\x.txt"},
    {"/abs/y.txt", "/abs/y.txt"}};
  for (const auto& path : paths)
    EXPECT_EQ(QAVTasUIServices::QAVTasMapPath(path.first).Text(), path.second);

  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\Log.txt", nullptr), nullptr);
  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\", "w"), nullptr);
  const std::string target = dir + "/target";
  ASSERT_EQ(symlink(target.c_str(), (dir + "/Log.txt").c_str()), 0);
  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\Log.txt", "w"), nullptr);
  EXPECT_EQ(ErrorDepthHandler::_ier_, 1);
  EXPECT_NE(ErrorDepthHandler::_c_err_.find("symbolic link"), std::string::npos);
  EXPECT_NE(access(target.c_str(), F_OK), 0); // nothing written through the link
  std::remove((dir + "/Log.txt").c_str());
  setenv("TMPDIR", (dir + "/missing").c_str(), 1);
  EXPECT_EQ(QAVTasUIServices::QAVTasFileOpen("E:\\Temp\\Log.txt", "w"), nullptr);
  QAVTasUIServices::QAVTasFileClose(nullptr);

  std::remove(dir.c_str());
  saved ? setenv("TMPDIR", savedDir.c_str(), 1) : unsetenv("TMPDIR");
}

TEST(PlatformModel, StackUpFollowsParametersAndCoordinatesAndSpidersNeedBoundsForEachFeature)
{
  const std::int64_t before = QAVBaseUnknown::OutstandingReferences();
  auto* pAnalysis = new QAVTasMemAnalysis;
  EXPECT_LT(pAnalysis->PrepareAnalysis(0), 0); // no requirements yet
  QAVTasMemParameter* pLength = pAnalysis->AddParameter("L", 2.0, 0.0, 5.0);
  QAVTasMemPoint* pPoint = pAnalysis->AddPoint(0.5, 0.0, 0.0);
  const std::int32_t gap = pAnalysis->AddRequirement(-3.0);
  pAnalysis->AddContribution(gap, pLength, 1.0);
  pAnalysis->AddContribution(gap, pPoint->Coordinate(0), 2.0);
  pAnalysis->AddRequirement(0.25);
  {
    QAVBaseUnknown_var handle;
    std::int32_t count = -1;
    float* pValues = nullptr;
    std::int32_t* pRequirements = nullptr;
    double* pNominals = nullptr;
    EXPECT_LT(pAnalysis->GetResults(QAVTasImageOptions(), handle, count, pValues, pRequirements, pNominals), 0);
    EXPECT_EQ(pValues, nullptr);
    EXPECT_EQ(pAnalysis->PrepareAnalysis(0), S_OK);
    EXPECT_EQ(pAnalysis->Update(QAVIDomain_var()), 0);
    ASSERT_EQ(pAnalysis->GetResults(QAVTasImageOptions(), handle, count, pValues, pRequirements, pNominals), S_OK);
    ASSERT_EQ(count, 2);
    EXPECT_FLOAT_EQ(pValues[0], -3.0f + 2.0f + 1.0f);
    EXPECT_FLOAT_EQ(pValues[1], 0.25f);
    EXPECT_EQ(pRequirements[1], 2);
    EXPECT_EQ(pNominals[0], -3.0);
    delete[] pValues;
    delete[] pRequirements;
    delete[] pNominals;
    EXPECT_TRUE(handle);

    QAVTasMemFeature* pCurve = pAnalysis->AddFeature(QAVTasMemFeature::Kind::Curve, pLength);
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
  }
  pAnalysis->Release();
  EXPECT_EQ(QAVBaseUnknown::OutstandingReferences(), before);
}

// qavtas allocate to the drawing's targets: a Cpk or a yield target is an rss limit in disguise
// (tests/data/analysis holds each target beside its twin with the limit worked out by hand), a
// joint yield over stack-ups that share dimensions holds, and the reports give the capability.
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace
{
using Json = nlohmann::json;
const std::string kData = std::string(QAV_SOURCE_DIR) + "/tests/data/analysis/";

Json Allocate(const std::string& iArgs)
{
  const QAVToolRunResult r = QAVToolRun("allocate " + iArgs + " --json");
  EXPECT_EQ(0, r.status) << iArgs << '\n' << r.err;
  return r.status == 0 ? Json::parse(r.out) : Json();
}

void ExpectSameAllocation(const Json& iA, const Json& iB)
{
  ASSERT_FALSE(iA.is_null() || iB.is_null());
  EXPECT_NEAR(iA["cost"].get<double>(), iB["cost"].get<double>(), 1e-9 * iA["cost"].get<double>());
  for (const auto& [name, t] : iA["tolerances"].items())
    EXPECT_NEAR(t.get<double>(), iB["tolerances"][name].get<double>(), 1e-8) << name;
}

double Failure(const Json& iStackup)
{
  double ppm = 0.0;
  for (const char* side : {"ppm_below", "ppm_above"})
    ppm += iStackup[side].is_null() ? 0.0 : iStackup[side].get<double>();
  return ppm;
}
} // namespace

TEST(TargetAllocation, ACpkTargetIsAnRssLimitInDisguise)
{
  const Json target = Allocate(kData + "cpk_target.json"), twin = Allocate(kData + "cpk_as_rss.json");
  ExpectSameAllocation(target, twin);
  EXPECT_NEAR(1.25, target["capability"]["stackups"]["y"]["cpk"].get<double>(), 1e-9);
  EXPECT_FALSE(twin.contains("capability"));
}

TEST(TargetAllocation, AYieldTargetIsAnRssLimitInDisguise)
{
  const Json target = Allocate(kData + "yield_target.json"), twin = Allocate(kData + "yield_as_rss.json");
  ExpectSameAllocation(target, twin);
  EXPECT_NEAR(1000.0, Failure(target["capability"]["stackups"]["y"]), 1e-6);
  EXPECT_EQ(0.999, target["capability"]["joint"]["target"].get<double>());
}

// Each of the three stack-ups with a limit may fail (1 - 0.9995) / 3 of the time; the simulation
// of the joint yield must not refute the target; a law's limit comes from its window.
TEST(TargetAllocation, AJointYieldOverStackupsThatShareDimensions)
{
  const Json answer = Allocate(kData + "yield_two.json");
  ASSERT_FALSE(answer.is_null());
  for (const auto& [name, figures] : answer["capability"]["stackups"].items())
    EXPECT_LE(Failure(figures), 1e6 * 0.0005 / 3 * (1 + 1e-9)) << name;
  EXPECT_NEAR(1e6 * 0.0005 / 3, Failure(answer["capability"]["stackups"]["y"]), 1e-6);
  EXPECT_GE(answer["capability"]["joint"]["ci95"][1].get<double>(), 0.9995);
  EXPECT_NEAR(0.2, answer["stackups"]["w"]["limit"].get<double>(), 1e-12);
}

TEST(TargetAllocation, ReportsGiveTheCapabilityAndThePageTheTradeOffCurves)
{
  const std::string example = std::string(QAV_SOURCE_DIR) + "/examples/motor_allocation.json";
  const std::string page = QAVToolTempPath("motor.html");
  const QAVToolRunResult r = QAVToolRun("allocate " + example + " --html " + page);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("capability at the allocated tolerances")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  gap                  0.0275       0.00438596   1.52     1.33 ")) << r.out;
  const std::string html = QAVToolSlurp(page);
  EXPECT_NE(std::string::npos, html.find("Trade-off of gap"));
  EXPECT_NE(std::string::npos, html.find("Capability at the allocated tolerances"));
  std::remove(page.c_str());
}

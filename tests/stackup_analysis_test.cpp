// qavtas analyse and QAVTasStackupAnalysis: figures worked out by hand (tests/data/analysis), the
// simulation's intervals around exact values, the same answer on any number of threads, and what a
// user may get wrong.
#include "QAVTasAllocationFile.h"
#include "QAVTasTailBuffer.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <random>
#include <sstream>

namespace
{
using Json = nlohmann::json;
const std::string kSource = QAV_SOURCE_DIR;

Json Analyse(const std::string& iArgs)
{
  const QAVToolRunResult r = QAVToolRun("analyse " + iArgs + " --json");
  EXPECT_EQ(0, r.status) << iArgs << '\n' << r.err;
  return r.status == 0 ? Json::parse(r.out) : Json();
}

// The item of iAnswer at a dotted path ("mc.p99865", "worst_case.0").
const Json& At(const Json& iAnswer, const std::string& iPath)
{
  const Json* item = &iAnswer;
  std::istringstream parts(iPath);
  for (std::string part; std::getline(parts, part, '.');)
    item = item->is_array() ? &item->at(std::stoul(part)) : &item->at(part);
  return *item;
}

void ExpectInside(double iExact, const Json& iInterval, const std::string& iWhat)
{
  EXPECT_LE(iInterval[0].get<double>(), iExact) << iWhat;
  EXPECT_GE(iInterval[1].get<double>(), iExact) << iWhat;
}
} // namespace

TEST(StackupAnalysis, FiguresWorkedOutByHand)
{
  const Json expected = Json::parse(QAVToolSlurp(kSource + "/tests/data/analysis/expected.json"));
  for (const auto& [file, figures] : expected.items())
  {
    if (file.rfind("x-", 0) == 0)
      continue;
    const Json answer = Analyse(kSource + "/" + file + " --samples " + std::to_string(figures["samples"].get<int>()));
    ASSERT_FALSE(answer.is_null()) << file;
    for (const auto& [name, checks] : figures["stackups"].items())
      for (const auto& [path, want] : checks.items())
      {
        const Json& stackup = answer["stackups"][name];
        const std::string what = file + ": " + name + "." + path;
        if (path == "yield")
          ExpectInside(want.get<double>(), stackup["mc"]["ci95"], what);
        else if (want.is_array())
          EXPECT_NEAR(want[0].get<double>(), At(stackup, path).get<double>(), want[1].get<double>()) << what;
        else
          EXPECT_EQ(want, At(stackup, path)) << what;
      }
    if (figures.contains("joint"))
      ExpectInside(figures["joint"].get<double>(), answer["joint"]["ci95"], file + ": joint");
  }
}

TEST(StackupAnalysis, SameFiguresOnAnyNumberOfThreadsAndFromStandardInput)
{
  const std::string file = kSource + "/examples/motor_drawing.json";
  const QAVToolRunResult one = QAVToolRun("analyse " + file + " --json --samples 70000 --seed 7 --threads 1");
  const QAVToolRunResult three = QAVToolRun("analyse " + file + " --json --samples 70000 --seed 7 --threads 3");
  EXPECT_EQ(0, one.status);
  EXPECT_EQ(one.out, three.out);
  // A program's one-line JSON on standard input, figures unchanged.
  const std::string line = Json::parse(QAVToolSlurp(file)).dump();
  const std::string path = QAVToolTempPath("line.json");
  std::ofstream(path) << line;
  EXPECT_EQ(std::string::npos, line.find('\n'));
  EXPECT_EQ(one.out, QAVToolRun("analyse - --json --samples 70000 --seed 7 < " + path).out);
  // Another seed, other figures.
  EXPECT_NE(one.out, QAVToolRun("analyse " + file + " --json --samples 70000 --seed 8").out);
  std::remove(path.c_str());
}

TEST(StackupAnalysis, CsvHasARowPerStackupAndDimensionAndThePageNamesThemAll)
{
  const std::string csv = QAVToolTempPath("a.csv"), html = QAVToolTempPath("a.html");
  const QAVToolRunResult r = QAVToolRun(
    "analyse " + kSource + "/tests/data/analysis/normals.json --samples 5000 --csv " + csv + " --html " + html);
  EXPECT_EQ(0, r.status) << r.err;
  const std::string table = QAVToolSlurp(csv), page = QAVToolSlurp(html);
  EXPECT_EQ(1 + 3 + 2, std::count(table.begin(), table.end(), '\n'));
  EXPECT_NE(std::string::npos, table.find("\"z\",\"c\",-1,"));
  for (const char* name : {">y<", ">z<", ">a<", ">b<", ">c<", "<svg"})
    EXPECT_NE(std::string::npos, page.find(name)) << name;
  std::remove(csv.c_str());
  std::remove(html.c_str());
}

TEST(StackupAnalysis, AFreeDimensionIsAUsageErrorNamingIt)
{
  const QAVToolRunResult r = QAVToolRun("analyse " + kSource + "/examples/clutch.json");
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("dimension 'hub' has no fixed tolerance")) << r.err;
  EXPECT_EQ(1, QAVToolRun("analyse " + QAVToolTempPath("none.json")).status);
  EXPECT_EQ(2, QAVToolRun("analyse " + kSource + "/examples/motor_drawing.json --samples 0").status);
}

TEST(StackupAnalysis, DrawingKeysWriteBackToThemselves)
{
  for (const char* name : {"normals.json", "motor_mm.json", "uniform_pair.json"})
  {
    QAVTasAllocationProblem problem, again;
    std::string error;
    ASSERT_TRUE(QAVTasAllocationFile::Read(QAVToolSlurp(kSource + "/tests/data/analysis/" + name), problem, error))
      << error;
    const std::string written = QAVTasAllocationFile::Write(problem);
    ASSERT_TRUE(QAVTasAllocationFile::Read(written, again, error)) << written << error;
    EXPECT_EQ(written, QAVTasAllocationFile::Write(again)) << name;
  }
}

// The tails kept while streaming are exactly the smallest values, whatever their order and ties.
TEST(StackupAnalysis, TailBufferKeepsExactlyTheSmallest)
{
  std::mt19937_64 random(3);
  std::uniform_int_distribution<int> draw(0, 5000);
  std::vector<double> all;
  QAVTasTailBuffer a(137), b(137);
  for (int k = 0; k < 20000; ++k)
  {
    all.push_back(draw(random) * 0.5);
    (k % 3 ? a : b).Add(all.back());
  }
  a.Merge(b);
  std::sort(all.begin(), all.end());
  all.resize(137);
  EXPECT_EQ(all, a.Sorted());
}

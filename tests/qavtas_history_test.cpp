#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace
{
struct Row
{
  long generation;
  double fitness;
  long evaluations;
};

// The data lines of a history file; the header is checked here too.
std::vector<Row> ReadHistory(const std::string& iPath)
{
  std::istringstream in(QAVToolSlurp(iPath));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "generation,best_fitness,evaluations");
  std::vector<Row> rows;
  while (std::getline(in, line))
  {
    Row r{};
    char c1 = 0, c2 = 0;
    std::istringstream fields(line);
    fields >> r.generation >> c1 >> r.fitness >> c2 >> r.evaluations;
    EXPECT_TRUE(fields && c1 == ',' && c2 == ',') << line;
    rows.push_back(r);
  }
  return rows;
}

double PrintedOptimum(const std::string& iOut)
{
  const std::size_t at = iOut.rfind("_Fitness   = ");
  return at == std::string::npos ? -1.0 : std::strtod(iOut.c_str() + at + 13, nullptr);
}
} // namespace

TEST(QavtasHistory, FollowsTheRunWithoutChangingItsOutput)
{
  for (const std::string engine : {"", "--real "})
  {
    const std::string csv = QAVToolTempPath("h.csv"), svg = QAVToolTempPath("h.svg");
    const std::string run = "de " + engine + "--function rastrigin --dim 3 --seed 7 --generations 60";
    const QAVToolRunResult plain = QAVToolRun(run);
    const QAVToolRunResult watched = QAVToolRun(run + " --history " + csv + " --plot " + svg);
    ASSERT_EQ(watched.status, 0) << watched.err;
    EXPECT_EQ(plain.out, watched.out) << engine;

    const std::vector<Row> rows = ReadHistory(csv);
    ASSERT_GE(rows.size(), 2u) << engine;
    EXPECT_EQ(rows[0].evaluations, engine.empty() ? 20 : 30); // the initial population
    for (std::size_t k = 0; k < rows.size(); ++k)
    {
      EXPECT_EQ(rows[k].generation, static_cast<long>(k));
      if (k > 0)
      {
        EXPECT_LE(rows[k].fitness, rows[k - 1].fitness) << k;
        EXPECT_GT(rows[k].evaluations, rows[k - 1].evaluations - 1) << k;
      }
    }
    EXPECT_NEAR(rows.back().fitness, PrintedOptimum(watched.out), 1e-5 * (1 + rows.back().fitness)) << engine;

    const std::string picture = QAVToolSlurp(svg);
    EXPECT_EQ(picture.rfind("<?xml", 0), 0u);
    for (const char* text : {"rastrigin", "generation", "best fitness", "</svg>"})
      EXPECT_NE(picture.find(text), std::string::npos) << text;
    std::remove(csv.c_str());
    std::remove(svg.c_str());
  }
}

TEST(QavtasHistory, FitnessSpanningDecadesIsDrawnOnALogScale)
{
  const std::string svg = QAVToolTempPath("log.svg");
  const QAVToolRunResult r = QAVToolRun("de --generations 300 --plot " + svg); // the sphere reaches 0
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string picture = QAVToolSlurp(svg);
  EXPECT_NE(picture.find("best fitness (log scale)"), std::string::npos);
  EXPECT_NE(picture.find("0 is drawn on the lower edge"), std::string::npos);
  std::remove(svg.c_str());
}

TEST(QavtasHistory, UnwritableFilesAndMissingValuesAreErrors)
{
  for (const std::string option : {"--history /nonexistent-dir/h.csv", "--plot /nonexistent-dir/h.svg"})
  {
    const QAVToolRunResult r = QAVToolRun("de --generations 5 " + option);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "qavtas de: cannot write " + option.substr(option.find(' ') + 1) + ": No such file or directory\n");
    EXPECT_EQ(QAVToolRun("de " + option.substr(0, option.find(' '))).status, 2) << option;
  }
  const QAVToolRunResult help = QAVToolRun("de --help");
  EXPECT_NE(help.out.find("--history OUT"), std::string::npos);
  EXPECT_NE(help.out.find("--plot OUT"), std::string::npos);
}

TEST(QavtasHistory, FollowsTheGeneticRunOfTolerance)
{
  const std::string csv = QAVToolTempPath("t.csv"), svg = QAVToolTempPath("t.svg");
  const std::string run = "tolerance " + std::string(QAV_SOURCE_DIR) + "/examples/tolerance_direct.txt --genetic";
  const QAVToolRunResult plain = QAVToolRun(run);
  const QAVToolRunResult watched = QAVToolRun(run + " --history " + csv + " --plot " + svg);
  ASSERT_EQ(watched.status, 3) << watched.err; // the genetic answer breaks the bounds
  EXPECT_EQ(plain.out, watched.out);
  const std::vector<Row> rows = ReadHistory(csv);
  ASSERT_GE(rows.size(), 2u);
  EXPECT_LT(rows.back().fitness, rows.front().fitness);
  EXPECT_NE(QAVToolSlurp(svg).find("tolerance_direct.txt"), std::string::npos);
  EXPECT_EQ(QAVToolRun(run + " --exact").status, 2);
  std::remove(csv.c_str());
  std::remove(svg.c_str());
}

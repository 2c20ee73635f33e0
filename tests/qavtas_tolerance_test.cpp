#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace
{
QAVToolRunResult RunTolerance(const std::string& args)
{
  return QAVToolRun("tolerance " + args);
}

std::string Example(const char* name)
{
  return std::string(QAV_SOURCE_DIR) + "/examples/" + name;
}

std::string WriteData(const std::string& text)
{
  const std::string path = QAVToolTempPath("data.txt");
  std::ofstream(path) << text;
  return path;
}

const char kHead[] = "2\nDimension du vecteur Nx : 2\nDimension du vecteur Ny : 1\n";
} // namespace

TEST(QavtasTolerance, SolvesTheExamplesAndWritesTheReport)
{
  const QAVToolRunResult direct = RunTolerance(Example("tolerance_direct.txt"));
  EXPECT_EQ(0, direct.status) << direct.err;
  EXPECT_TRUE(direct.err.empty());
  EXPECT_NE(std::string::npos, direct.out.find("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize beginning"));
  const std::size_t report = direct.out.find("Objective_Function = ");
  ASSERT_NE(std::string::npos, report);
  EXPECT_NE(std::string::npos, direct.out.find("Xmoy[8] = ", report));
  EXPECT_NE(std::string::npos, direct.out.find("delta[4] = ", report));

  // Quiet: the report alone, the same as without --quiet.
  const QAVToolRunResult quiet = RunTolerance(Example("tolerance_direct.txt") + " --quiet");
  EXPECT_EQ(0, quiet.status);
  EXPECT_EQ(direct.out.substr(report), quiet.out);

  const QAVToolRunResult multiplier = RunTolerance("--quiet " + Example("tolerance_multiplier.txt"));
  EXPECT_EQ(0, multiplier.status);
  EXPECT_EQ(0u, multiplier.out.find("Objective_Function = "));
  EXPECT_NE(std::string::npos, multiplier.out.find("lambda[4] = "));
}

TEST(QavtasTolerance, SeedAndReportFile)
{
  const std::string file = Example("tolerance_direct.txt");
  const QAVToolRunResult a = RunTolerance(file + " --quiet --seed 11");
  const QAVToolRunResult b = RunTolerance(file + " --quiet --seed=11");
  EXPECT_EQ(0, a.status);
  EXPECT_EQ(a.out, b.out); // one seed, one run

  const std::string path = QAVToolTempPath("report.txt");
  const QAVToolRunResult toFile = RunTolerance(file + " --seed 11 --report " + path);
  EXPECT_EQ(0, toFile.status);
  EXPECT_EQ(a.out, QAVToolSlurp(path));
  EXPECT_EQ(std::string::npos, toFile.out.find("Objective_Function"));
  std::remove(path.c_str());
}

TEST(QavtasTolerance, MalformedFilesGiveOneLineNamingTheItem)
{
  struct Case
  {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
    {"", ":1: expected the form number"},
    {"2\nDimension du vecteur Nx : -3\n", ":2: expected 'Dimension du vecteur Nx : <count>'"},
    {std::string(kHead) + "Coefficients de la matrice W :\n1.0 one\n", ":5: expected Ny rows of Nx coefficients of W"},
    {std::string(kHead) + "Coefficients de la matrice W :\n1 1\nTolerancement sur Y (Ymin puis Ymax) :\n0\n",
     ":7: expected the Ny upper bounds of Y (Ymax)"},
    {"5 Dimension du vecteur Nx : 1 Dimension du vecteur Ny : 1 Coefficients de la matrice W : 1 "
     "Tolerancement sur Y (Ymin puis Ymax) : 0 1 Domaine de definition de X (bornes inf puis sup) : 0.1 1",
     ":1: the form number must be 2 (direct) or 3 (multiplier), not 5"},
  };
  for (const Case& c : cases)
  {
    const std::string path = WriteData(c.text);
    const QAVToolRunResult r = RunTolerance(path + " --quiet");
    EXPECT_EQ(1, r.status) << c.text;
    ASSERT_FALSE(r.err.empty()) << c.text;
    EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(path + c.expected)) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    std::remove(path.c_str());
  }
  const QAVToolRunResult missing = RunTolerance(QAVToolTempPath("none.txt"));
  EXPECT_EQ(1, missing.status);
  EXPECT_NE(std::string::npos, missing.err.find("cannot open"));
}

TEST(QavtasTolerance, UsageErrorsGiveStatus2)
{
  for (const char* args : {"", "--bogus file", "a.txt b.txt", "file --seed", "file --seed x", "file --report"})
  {
    const QAVToolRunResult r = RunTolerance(args);
    EXPECT_EQ(2, r.status) << args;
    EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << args << ": " << r.err;
  }
  const QAVToolRunResult help = RunTolerance("--help");
  EXPECT_EQ(0, help.status);
  for (const char* option : {"--quiet", "--report", "--seed"})
    EXPECT_NE(std::string::npos, help.out.find(option)) << option;
}

TEST(QavtasTolerance, ExactAndCompare)
{
  const QAVToolRunResult exact = RunTolerance(Example("tolerance_multiplier.txt") + " --exact");
  EXPECT_EQ(0, exact.status) << exact.err;
  EXPECT_EQ(0u, exact.out.find("Objective_Function = ")); // nothing of the engine before it
  EXPECT_EQ(std::string::npos, exact.out.find("Violation"));
  EXPECT_NE(std::string::npos, exact.out.find("No violation for second constraint"));
  EXPECT_EQ(exact.out, RunTolerance(Example("tolerance_direct.txt") + " --exact").out); // any form

  const QAVToolRunResult compare = RunTolerance(Example("tolerance_direct.txt") + " --compare --quiet");
  EXPECT_EQ(0, compare.status) << compare.err;
  for (const char* row : {"genetic", "exact", "objective", "largest violation", "time (s)",
                          "optimality gap of the genetic answer: "})
    EXPECT_NE(std::string::npos, compare.out.find(row)) << row;

  const std::string infeasible = WriteData(
    "2 Dimension du vecteur Nx : 2 Dimension du vecteur Ny : 1 Coefficients de la matrice W : 1 1 "
    "Tolerancement sur Y (Ymin puis Ymax) : 0 0.01 Domaine de definition de X (bornes inf puis sup) : 0.1 0.1 1 1");
  for (const char* mode : {" --exact", " --compare --quiet"})
  {
    const QAVToolRunResult r = RunTolerance(infeasible + mode);
    EXPECT_EQ(1, r.status) << mode;
    EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("no tolerances meet these bounds")) << r.err;
  }
  std::remove(infeasible.c_str());
  EXPECT_EQ(2, RunTolerance(Example("tolerance_direct.txt") + " --exact --compare").status);
}

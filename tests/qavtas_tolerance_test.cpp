#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace
{
const std::string kDirect = std::string(QAV_SOURCE_DIR) + "/examples/tolerance_direct.txt";
const std::string kMultiplier = std::string(QAV_SOURCE_DIR) + "/examples/tolerance_multiplier.txt";

QAVToolRunResult RunTolerance(const std::string& args)
{
  return QAVToolRun("tolerance " + args);
}

// Runs on a scratch data file holding the text.
QAVToolRunResult RunOnText(const std::string& text, const std::string& args)
{
  const std::string path = QAVToolTempPath("data.txt");
  std::ofstream(path) << text;
  QAVToolRunResult r = RunTolerance(path + args);
  std::remove(path.c_str());
  return r;
}

bool OneLine(const std::string& text)
{
  return !text.empty() && text.find('\n') == text.size() - 1;
}
} // namespace

TEST(QavtasTolerance, ExamplesReportSeedAndReportFile)
{
  const QAVToolRunResult direct = RunTolerance(kDirect + " --seed 11");
  EXPECT_EQ(0, direct.status) << direct.err;
  EXPECT_TRUE(direct.err.empty());
  EXPECT_NE(std::string::npos, direct.out.find("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize beginning"));
  const std::size_t report = direct.out.find("Objective_Function = ");
  ASSERT_NE(std::string::npos, report);
  EXPECT_NE(std::string::npos, direct.out.find("delta[4] = ", report));
  // Quiet gives the report alone; one seed gives one run; --report moves it into a file.
  const QAVToolRunResult quiet = RunTolerance(kDirect + " --quiet --seed=11");
  EXPECT_EQ(direct.out.substr(report), quiet.out);
  const std::string path = QAVToolTempPath("report.txt");
  const QAVToolRunResult toFile = RunTolerance(kDirect + " --seed 11 --report " + path);
  EXPECT_EQ(0, toFile.status);
  EXPECT_EQ(quiet.out, QAVToolSlurp(path));
  EXPECT_EQ(std::string::npos, toFile.out.find("Objective_Function"));
  std::remove(path.c_str());

  const QAVToolRunResult multiplier = RunTolerance("--quiet " + kMultiplier);
  EXPECT_EQ(0, multiplier.status);
  EXPECT_EQ(0u, multiplier.out.find("Objective_Function = "));
  EXPECT_NE(std::string::npos, multiplier.out.find("lambda[4] = "));
}

TEST(QavtasTolerance, BadFilesExit1AndBadUsageExit2WithOneLine)
{
  const std::string head = "2\nDimension du vecteur Nx : 2\nDimension du vecteur Ny : 1\nCoefficients de la matrice W :\n";
  const std::pair<std::string, std::string> cases[] = {
    {"", ":1: expected the form number"},
    {"2\nDimension du vecteur Nx : -3\n", ":2: expected 'Dimension du vecteur Nx : <count>'"},
    {head + "1.0 one\n", ":5: expected Ny rows of Nx coefficients of W"},
    {head + "1 1\nTolerancement sur Y (Ymin puis Ymax) :\n0\n", ":7: expected the Ny upper bounds of Y (Ymax)"},
    {"5 Dimension du vecteur Nx : 1 Dimension du vecteur Ny : 1 Coefficients de la matrice W : 1 "
     "Tolerancement sur Y (Ymin puis Ymax) : 0 1 Domaine de definition de X (bornes inf puis sup) : 0.1 1",
     ":1: the form number must be 2 (direct) or 3 (multiplier), not 5"},
  };
  for (const auto& c : cases)
  {
    const QAVToolRunResult r = RunOnText(c.first, " --quiet");
    EXPECT_EQ(1, r.status) << c.first;
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("data.txt" + c.second)) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  const QAVToolRunResult missing = RunTolerance(QAVToolTempPath("none.txt"));
  EXPECT_EQ(1, missing.status);
  EXPECT_NE(std::string::npos, missing.err.find("cannot open"));

  for (const char* args : {"", "--bogus file", "a.txt b.txt", "file --seed", "file --seed x", "file --report",
                           "file --exact --compare"})
  {
    const QAVToolRunResult r = RunTolerance(args);
    EXPECT_EQ(2, r.status) << args;
    EXPECT_TRUE(OneLine(r.err)) << args << ": " << r.err;
  }
  const QAVToolRunResult help = RunTolerance("--help");
  EXPECT_EQ(0, help.status);
  for (const char* option : {"--quiet", "--report", "--seed", "--exact", "--compare"})
    EXPECT_NE(std::string::npos, help.out.find(option)) << option;
}

TEST(QavtasTolerance, ExactAndCompare)
{
  const QAVToolRunResult exact = RunTolerance(kMultiplier + " --exact");
  EXPECT_EQ(0, exact.status) << exact.err;
  EXPECT_EQ(0u, exact.out.find("Objective_Function = ")); // nothing of the engine before it
  EXPECT_NE(std::string::npos, exact.out.find("No violation for second constraint"));

  const QAVToolRunResult compare = RunTolerance(kDirect + " --compare --quiet");
  EXPECT_EQ(0, compare.status) << compare.err;
  for (const char* row : {"genetic", "exact", "objective", "largest violation", "time (s)",
                          "optimality gap of the genetic answer: "})
    EXPECT_NE(std::string::npos, compare.out.find(row)) << row;

  for (const char* mode : {" --exact", " --compare --quiet"})
  {
    const QAVToolRunResult r = RunOnText(
      "2 Dimension du vecteur Nx : 2 Dimension du vecteur Ny : 1 Coefficients de la matrice W : 1 1 Tolerancement sur "
      "Y (Ymin puis Ymax) : 0 0.01 Domaine de definition de X (bornes inf puis sup) : 0.1 0.1 1 1",
      mode);
    EXPECT_EQ(1, r.status) << mode;
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("no tolerances meet these bounds")) << r.err;
  }
}

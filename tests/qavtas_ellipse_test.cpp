#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace
{
typedef QAVToolRunResult Result;

Result RunTool(const std::string& iArgs) { return QAVToolRun("ellipse " + iArgs); }

std::string WriteFile(const std::string& iName, const std::string& iText)
{
  const std::string path = QAVToolTempPath(iName);
  std::ofstream(path) << iText;
  return path;
}

// The number after a label of the summary, e.g. "centre        120 45".
double After(const std::string& iText, const std::string& iLabel, int iIndex = 0)
{
  std::istringstream in(iText.substr(iText.find(iLabel) + iLabel.size()));
  double v = 0;
  for (int i = 0; i <= iIndex; ++i)
  {
    in >> v;
    if (i < iIndex && iLabel == "semi-axes")
      in.ignore(9, ')');
  }
  return v;
}

const std::string kExample = std::string(QAV_SOURCE_DIR) + "/examples/ellipse_points.txt";
} // namespace

TEST(QavtasEllipse, HelpAndUsageErrors)
{
  const Result help = RunTool("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--level", "--centred", "--svg"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;

  for (const char* args : {"", "--bogus " , "--level 0 x.txt", "--level abc x.txt", "a.txt b.txt", "--svg"})
  {
    const Result r = RunTool(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err.rfind("qavtas ellipse: ", 0), 0u) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args; // one line
    EXPECT_EQ(r.out, "") << args;
  }
}

TEST(QavtasEllipse, BadPointFilesNameTheirLine)
{
  const Result missing = RunTool(QAVToolTempPath("does_not_exist"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);

  const std::string bad = WriteFile("bad.txt", "# comment\n1 2\n3 four\n");
  const Result r = RunTool(bad);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qavtas ellipse: " + bad + ":3: expected two numbers, x and y\n");
  const std::string extra = WriteFile("extra.txt", "1 2 3\n");
  EXPECT_NE(RunTool(extra).err.find(":1: expected two numbers"), std::string::npos);

  // Points on a horizontal line: the fit fails, the report says where.
  const std::string line = WriteFile("line.txt", "0 5\n1 5\n2 5 # same y\n\n3 5\n");
  const Result flat = RunTool(line);
  EXPECT_EQ(flat.status, 1);
  EXPECT_NE(flat.err.find("QAVTasEllipseSolver:187"), std::string::npos);
  EXPECT_NE(flat.err.find("no ellipse can be fitted to 4 points"), std::string::npos);
  std::remove(bad.c_str());
  std::remove(extra.c_str());
  std::remove(line.c_str());
}

TEST(QavtasEllipse, FitsTheExampleFarFromTheOriginAndDrawsIt)
{
  const std::string svg = QAVToolTempPath("fit.svg");
  const Result r = RunTool(kExample + " --svg " + svg);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("pSup[0]", 0), 0u);
  EXPECT_NE(r.out.find("iopParameters[5]="), std::string::npos);
  EXPECT_NEAR(After(r.out, "\ncentre "), 120.0, 0.1);
  EXPECT_NEAR(After(r.out, "\ncentre ", 1), 45.0, 0.1);
  EXPECT_NEAR(After(r.out, "semi-axes"), 8.0, 0.1);
  EXPECT_NEAR(After(r.out, "semi-axes", 1), 3.0, 0.1);
  EXPECT_NEAR(After(r.out, "angle"), 30.0, 1.0);
  EXPECT_LT(After(r.out, "fitness "), 0.1);

  const std::string picture = QAVToolSlurp(svg);
  EXPECT_EQ(picture.rfind("<?xml", 0), 0u);
  EXPECT_NE(picture.find("</svg>"), std::string::npos);
  for (const char* label : {"points (40)", "fitted ellipse", "focal points", "centre"})
    EXPECT_NE(picture.find(label), std::string::npos) << label;
  std::remove(svg.c_str());
}

TEST(QavtasEllipse, CentredFitsAboutTheOrigin)
{
  std::ostringstream text;
  for (int i = 0; i < 24; ++i)
  {
    const double t = 2 * 3.14159265358979 * i / 24;
    text << 2 * std::cos(t) << ' ' << std::sin(t) << '\n';
  }
  const std::string path = WriteFile("centred.txt", text.str());
  const Result r = RunTool(path + " --centred --level 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("centred at    the origin"), std::string::npos);
  EXPECT_NE(r.out.find("C0 0  Cy 0"), std::string::npos);
  EXPECT_NEAR(After(r.out, "semi-axes"), 2.0, 0.02);
  EXPECT_NEAR(After(r.out, "semi-axes", 1), 1.0, 0.02);
  std::remove(path.c_str());
}

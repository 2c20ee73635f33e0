#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace
{
QAVToolRunResult RunTool(const std::string& iArgs)
{
  return QAVToolRun("ellipse " + iArgs);
}

std::string WriteFile(const std::string& iName, const std::string& iText)
{
  const std::string path = QAVToolTempPath(iName);
  std::ofstream(path) << iText;
  return path;
}

// The iIndex-th number after a label of the summary, e.g. "centre        120 45"; the semi-axes
// are followed by "(major)"-like words.
double After(const std::string& iText, const std::string& iLabel, int iIndex = 0)
{
  std::istringstream in(iText.substr(iText.find(iLabel) + iLabel.size()));
  double v = 0;
  for (int i = 0; i <= iIndex; ++i)
    if ((in >> v) && i < iIndex && iLabel == "semi-axes")
      in.ignore(9, ')');
  return v;
}
} // namespace

TEST(QavtasEllipse, HelpAndUsageErrors)
{
  const QAVToolRunResult help = RunTool("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--level", "--centred", "--svg", "--fit", "--robust", "--json"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;

  for (const char* args : {"", "--bogus ", "--level 0 x.txt", "--level abc x.txt", "a.txt b.txt", "--svg",
                           "--fit best x.txt", "--level 2 x.txt", "--fit algebraic --centred x.txt",
                           "--fit focal --robust huber x.txt", "--fit focal --json x.txt", "--robust l1 x.txt"})
  {
    const QAVToolRunResult r = RunTool(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err.rfind("qavtas ellipse: ", 0), 0u) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args; // one line
    EXPECT_EQ(r.out, "") << args;
  }
}

TEST(QavtasEllipse, BadPointFilesNameTheirLine)
{
  EXPECT_NE(RunTool(QAVToolTempPath("does_not_exist")).err.find("cannot open"), std::string::npos);
  const std::string bad = WriteFile("bad.txt", "# comment\n1 2\n3 four\n");
  const QAVToolRunResult r = RunTool(bad);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qavtas ellipse: " + bad + ":3: expected two numbers, x and y\n");

  // Points on a horizontal line: the fit fails, the report says where.
  const std::string line = WriteFile("line.txt", "0 5\n1 5\n2 5 # same y\n\n3 5\n");
  const QAVToolRunResult flat = RunTool(line + " --fit focal");
  EXPECT_EQ(flat.status, 1);
  EXPECT_NE(flat.err.find("QAVTasEllipseSolver:187"), std::string::npos);
  EXPECT_NE(flat.err.find("no ellipse can be fitted to 4 points"), std::string::npos);
  std::remove(bad.c_str());
  std::remove(line.c_str());
}

TEST(QavtasEllipse, FitsTheExampleFarFromTheOriginAndDrawsIt)
{
  const std::string svg = QAVToolTempPath("fit.svg");
  const QAVToolRunResult r =
    RunTool(std::string(QAV_SOURCE_DIR) + "/examples/ellipse_points.txt --fit focal --svg " + svg);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("pSup[0]", 0), 0u);
  EXPECT_NE(r.out.find("iopParameters[5]="), std::string::npos);
  const double expected[][2] = {{120.0, 0.1}, {45.0, 0.1}, {8.0, 0.1}, {3.0, 0.1}, {30.0, 1.0}};
  const double found[] = {After(r.out, "\ncentre "), After(r.out, "\ncentre ", 1), After(r.out, "semi-axes"),
                          After(r.out, "semi-axes", 1), After(r.out, "angle")};
  for (int i = 0; i < 5; ++i)
    EXPECT_NEAR(found[i], expected[i][0], expected[i][1]) << i;
  EXPECT_LT(After(r.out, "fitness "), 0.1);

  const std::string picture = QAVToolSlurp(svg);
  EXPECT_EQ(picture.rfind("<?xml", 0), 0u);
  for (const char* label : {"points (40)", "fitted ellipse", "focal points", "centre", "</svg>"})
    EXPECT_NE(picture.find(label), std::string::npos) << label;
  std::remove(svg.c_str());
}

TEST(QavtasEllipse, CentredFitsAboutTheOrigin)
{
  std::ostringstream text;
  for (int i = 0; i < 24; ++i)
    text << 2 * std::cos(2 * M_PI * i / 24) << ' ' << std::sin(2 * M_PI * i / 24) << '\n';
  const std::string path = WriteFile("centred.txt", text.str());
  const QAVToolRunResult r = RunTool(path + " --fit focal --centred --level 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("centred at    the origin"), std::string::npos);
  EXPECT_NE(r.out.find("C0 0  Cy 0"), std::string::npos);
  EXPECT_NEAR(After(r.out, "semi-axes"), 2.0, 0.02);
  EXPECT_NEAR(After(r.out, "semi-axes", 1), 1.0, 0.02);
  std::remove(path.c_str());
}

// The geometric fit, the default: separators and a header as measuring machines write them, the
// JSON answer, refusals (exit 1), a short arc (exit 3, answer printed) and the residuals drawn.
TEST(QavtasEllipse, GeometricFitAnswersInJson)
{
  const std::string csv = WriteFile("probe.csv", "X [mm];Y [mm]\n1;7\n2,6\n5\t8\n7 7\n9; 5\n3;7\n6;2\n8;4\n");
  const std::string arc =
    WriteFile("arc.txt", "10.05 0\n9.93 0.87\n9.87 1.72\n9.62 2.6\n9.42 3.40\n9.03 4.25\n8.68 4.98\n");
  const std::string line = WriteFile("line.txt", "0 5\n1 5\n2 5\n3 5\n4 5\n");
  const std::string svg = QAVToolTempPath("geometric.svg");
  const struct
  {
    std::string args;
    int status;
    const char* status_text;
    bool errors; // standard errors worked out (not for a fit that did not converge)
  } cases[] = {{csv + " --json --svg " + svg, 3, "not determined", true},
               {std::string(QAV_SOURCE_DIR) + "/examples/ellipse_points.txt --json --robust cauchy", 0, "ok", true},
               {arc + " --json", 3, "not determined", false},
               {line + " --json", 1, "", false}};
  for (const auto& c : cases)
  {
    const QAVToolRunResult r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << '\n' << r.err;
    if (c.status == 1)
    {
      EXPECT_EQ(r.out, "");
      EXPECT_NE(r.err.find("lie on a line"), std::string::npos) << r.err;
      continue;
    }
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["status"], c.status_text);
    EXPECT_EQ(j["fit"], "geometric");
    EXPECT_GE(j["semi_axes"][0].get<double>(), j["semi_axes"][1].get<double>());
    EXPECT_EQ(j["standard_errors"]["centre"][1].is_number(), c.errors) << r.out;
  }
  // The 8-point set of the literature (see ellipse_fit_test) read through its header and separators.
  const nlohmann::json j = nlohmann::json::parse(RunTool(csv + " --json").out);
  EXPECT_NEAR(j["centre"][0].get<double>(), 2.6996, 5e-5);
  EXPECT_NEAR(j["semi_axes"][0].get<double>(), 6.5187, 5e-5);
  EXPECT_NE(QAVToolSlurp(svg).find("residuals"), std::string::npos);
  for (const std::string& path : {csv, arc, line, svg})
    std::remove(path.c_str());
}

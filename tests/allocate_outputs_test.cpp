// One run of 'qavtas allocate' shown four ways: the report, the JSON, the page and the picture give
// each dimension the same tolerance and each stack-up the same price and utilisation, those that
// tests/data/allocation/outputs_agree_figures.txt lists.
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const std::string kData = std::string(QAV_SOURCE_DIR) + "/tests/data/allocation/";

struct Figure
{
  std::string Kind, Name;
  double Value;
};

std::vector<Figure> Expected()
{
  std::vector<Figure> figures;
  std::ifstream in(kData + "outputs_agree_figures.txt");
  for (std::string line; std::getline(in, line);)
  {
    if (line.empty() || line[0] == '#')
      continue;
    const std::size_t kind = line.find(' '), value = line.rfind(' ');
    figures.push_back({line.substr(0, kind), line.substr(kind + 1, value - kind - 1), std::stod(line.substr(value))});
  }
  return figures;
}

std::string Escaped(const std::string& iName)
{
  return std::regex_replace(iName, std::regex("&"), "&amp;");
}

// The columns after the name on the report's line that begins with it.
std::vector<std::string> TextColumns(const std::string& iText, const std::string& iName)
{
  const std::size_t at = iText.find("\n" + iName + " ");
  if (at == std::string::npos)
    return {};
  std::istringstream line(iText.substr(at + iName.size() + 1, iText.find('\n', at + 1) - at - iName.size() - 1));
  std::vector<std::string> columns;
  for (std::string c; line >> c;)
    columns.push_back(c);
  return columns;
}

// The cells after the name in the first row of the page's table under iHeading that begins with it.
std::vector<std::string> PageCells(const std::string& iHtml, const std::string& iHeading, const std::string& iName)
{
  const std::string row = "<tr><td>" + Escaped(iName) + "</td>";
  const std::size_t at = iHtml.find(row, iHtml.find("<h2>" + iHeading + "</h2>"));
  std::vector<std::string> cells;
  if (at == std::string::npos)
    return cells;
  const std::string tail = iHtml.substr(at + row.size(), iHtml.find("</tr>", at) - at - row.size());
  const std::regex cell("<td>([^<]*)</td>");
  for (auto m = std::sregex_iterator(tail.begin(), tail.end(), cell); m != std::sregex_iterator(); ++m)
    cells.push_back((*m)[1]);
  return cells;
}

// The first number the picture writes after the label iName past iFrom.
double PictureNumber(const std::string& iSvg, const std::string& iFrom, const std::string& iName)
{
  const std::size_t at = iSvg.find(">" + Escaped(iName) + "</text>", iSvg.find(iFrom));
  std::smatch m;
  const std::string tail = at == std::string::npos ? "" : iSvg.substr(at);
  return std::regex_search(tail, m, std::regex("<text[^>]*>([-0-9.e+]+)")) ? std::stod(m[1]) : NAN;
}

double Number(const std::vector<std::string>& iCells, std::size_t iAt)
{
  return iAt < iCells.size() ? std::stod(iCells[iAt]) : NAN;
}

// Equal to the digits the expected file gives: 6 significant ones, or a tenth of a percent.
void ExpectShown(double iShown, const Figure& iF, const char* iWhere)
{
  EXPECT_NEAR(iShown, iF.Value, 5e-6 * std::fabs(iF.Value) + (iF.Kind == "percent" ? 0.05 : 1e-12))
    << iWhere << ": " << iF.Kind << " of " << iF.Name;
}
} // namespace

TEST(AllocateOutputs, ReportJsonPageAndPictureShowTheSameFigures)
{
  const std::string problem = kData + "outputs_agree.json";
  const std::string page = QAVToolTempPath("agree.html"), picture = QAVToolTempPath("agree.svg");
  const QAVToolRunResult text = QAVToolRun("allocate " + problem);
  const QAVToolRunResult json = QAVToolRun("allocate " + problem + " --json --html " + page + " --svg " + picture);
  ASSERT_EQ(0, text.status) << text.err;
  ASSERT_EQ(0, json.status) << json.err;
  const nlohmann::json answer = nlohmann::json::parse(json.out);
  const std::string html = QAVToolSlurp(page), svg = QAVToolSlurp(picture);
  std::remove(page.c_str());
  std::remove(picture.c_str());
  const std::vector<Figure> figures = Expected();
  ASSERT_EQ(13u, figures.size());
  for (const Figure& f : figures)
    if (f.Kind == "tolerance")
    {
      ExpectShown(Number(TextColumns(text.out, f.Name), 0), f, "report");
      ExpectShown(answer.at("tolerances").at(f.Name), f, "JSON");
      ExpectShown(Number(PageCells(html, "Dimensions", f.Name), 0), f, "page");
      ExpectShown(PictureNumber(svg, "Tolerances between their bounds", f.Name), f, "picture");
    }
    else if (f.Kind == "price")
    {
      const std::vector<std::string> columns = TextColumns(text.out, f.Name);
      ExpectShown(columns.empty() ? NAN : std::stod(columns.back()), f, "report");
      ExpectShown(answer.at("stackups").at(f.Name).at("shadow_price"), f, "JSON");
      ExpectShown(Number(PageCells(html, "Stack-ups", f.Name), 4), f, "page");
    }
    else
    {
      ExpectShown(100.0 * answer.at("utilisation").at(f.Name).get<double>(), f, "JSON");
      ExpectShown(Number(PageCells(html, "Stack-ups", f.Name), 5), f, "page");
      ExpectShown(PictureNumber(svg, "Stack-ups: share", f.Name), f, "picture");
    }
}

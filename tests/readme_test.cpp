// The README's examples cannot rot: its code is the code of examples/consumer (which make test
// builds and runs against an installed tree), and its sample sessions are run again here.
#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const std::string kSource = QAV_SOURCE_DIR;
typedef std::vector<std::string> Lines;

struct Block
{
  std::string language;
  Lines lines;
};

Lines Split(const std::string& iText)
{
  Lines lines;
  std::istringstream in(iText);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::vector<Block> ReadmeBlocks()
{
  std::vector<Block> blocks;
  bool open = false;
  for (const std::string& line : Split(QAVToolSlurp(kSource + "/README.md")))
    if (line.rfind("```", 0) == 0 && (open = !open))
      blocks.push_back({line.substr(3), {}});
    else if (open)
      blocks.back().lines.push_back(line);
  return blocks;
}

// The regions between "// README: name" and "// README end", without their common indent.
std::vector<Lines> ExampleRegions(const std::string& iText)
{
  std::vector<Lines> regions;
  bool inside = false;
  for (const std::string& line : Split(iText))
  {
    const std::size_t mark = line.find("// README");
    if (mark != std::string::npos && line.find_first_not_of(' ') == mark)
    {
      if ((inside = line.compare(mark, 15, "// README end") != 0))
        regions.emplace_back();
    }
    else if (inside)
      regions.back().push_back(line);
  }
  for (Lines& region : regions)
  {
    std::size_t indent = std::string::npos;
    for (const std::string& line : region)
      indent = line.empty() ? indent : std::min(indent, line.find_first_not_of(' '));
    for (std::string& line : region)
      line = line.size() >= indent ? line.substr(indent) : "";
  }
  return regions;
}

// "..." in the expected text stands for any number of lines.
bool Matches(const Lines& iExpected, std::size_t e, const Lines& iActual, std::size_t a)
{
  if (e == iExpected.size())
    return a == iActual.size();
  if (iExpected[e] == "...")
  {
    for (std::size_t skip = a; skip <= iActual.size(); ++skip)
      if (Matches(iExpected, e + 1, iActual, skip))
        return true;
    return false;
  }
  return a < iActual.size() && iExpected[e] == iActual[a] && Matches(iExpected, e + 1, iActual, a + 1);
}

bool IsOutputFile(const std::string& iWord)
{
  const std::string tail = iWord.size() > 4 ? iWord.substr(iWord.size() - 4) : "";
  return iWord.rfind("examples/", 0) != 0 && (tail == ".svg" || tail == ".csv");
}
} // namespace

TEST(Readme, EveryCodeExampleIsCompiledExampleCode)
{
  std::vector<Lines> regions;
  for (const char* file : {"engines.cpp", "ellipse.cpp", "ellipsefit.cpp", "tolerancing.cpp", "parameters.cpp"})
  {
    const auto found = ExampleRegions(QAVToolSlurp(kSource + "/examples/consumer/" + file));
    regions.insert(regions.end(), found.begin(), found.end());
  }
  int checked = 0;
  for (const Block& block : ReadmeBlocks())
  {
    checked += block.language == "cpp";
    if (block.language == "cpp")
    {
      EXPECT_NE(std::find(regions.begin(), regions.end(), block.lines), regions.end())
        << "README code block starting '" << (block.lines.empty() ? "" : block.lines[0])
        << "' is not a region of examples/consumer";
    }
  }
  EXPECT_GE(checked, 4);
}

// A "console" block is "$ qavtas ARGS" and its output ("..." for lines left out), run in the source
// tree as a reader would. A picture or a history named in ARGS is written elsewhere and must equal
// the file of that name in the tree.
TEST(Readme, EverySampleSessionGivesThatOutput)
{
  ASSERT_EQ(chdir(kSource.c_str()), 0);
  int checked = 0;
  for (const Block& block : ReadmeBlocks())
  {
    if (block.language != "console" || block.lines.empty() || block.lines[0].rfind("$ qavtas ", 0) != 0)
      continue;
    ++checked;
    std::istringstream words(block.lines[0].substr(9));
    std::string args;
    std::vector<std::pair<std::string, std::string>> files; // in the tree, written now
    for (std::string word; words >> word; args += word + ' ')
      if (IsOutputFile(word))
      {
        files.emplace_back(
          word, QAVToolTempPath(std::to_string(files.size()) + "_" + word.substr(word.find_last_of('/') + 1)));
        word = files.back().second;
      }
    // A session may end with "$ echo $?" and the exit status it shows (else 0).
    Lines expected(block.lines.begin() + 1, block.lines.end());
    int status = 0;
    if (expected.size() >= 2 && expected[expected.size() - 2] == "$ echo $?")
    {
      status = std::stoi(expected.back());
      expected.resize(expected.size() - 2);
    }
    const QAVToolRunResult r = QAVToolRun(args);
    const std::size_t log = r.out.find("genome log: "); // the run's own file, not the reader's
    if (log != std::string::npos)
      std::remove(r.out.substr(log + 12, r.out.find('\n', log) - log - 12).c_str());
    EXPECT_EQ(r.status, status) << block.lines[0] << '\n' << r.err;
    EXPECT_TRUE(Matches(expected, 0, Split(r.out), 0)) << block.lines[0] << "\ngave:\n" << r.out;
    for (const auto& [inTree, written] : files)
    {
      EXPECT_EQ(QAVToolSlurp(inTree), QAVToolSlurp(written))
        << inTree << " is not what '" << block.lines[0] << "' writes";
      std::remove(written.c_str());
    }
  }
  EXPECT_GE(checked, 5);
}

// "```text FILE" shows FILE ("..." for lines left out); "```cmake" lines come from the consumer's
// CMakeLists.txt.
TEST(Readme, ShownFilesAreTheFilesInTheTree)
{
  const std::string consumerCMake = QAVToolSlurp(kSource + "/examples/consumer/CMakeLists.txt");
  int checked = 0;
  for (const Block& block : ReadmeBlocks())
  {
    const bool shown = block.language.rfind("text ", 0) == 0, cmake = block.language == "cmake";
    checked += shown + cmake;
    if (shown)
    {
      EXPECT_TRUE(Matches(block.lines, 0, Split(QAVToolSlurp(kSource + "/" + block.language.substr(5))), 0))
        << block.language;
    }
    for (const std::string& line : cmake ? block.lines : Lines())
      EXPECT_NE(consumerCMake.find(line), std::string::npos) << line;
  }
  EXPECT_GE(checked, 3);
}

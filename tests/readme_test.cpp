// The README's examples cannot rot: its code is the code of examples/consumer (which make test
// builds and runs against an installed tree), and its sample sessions are run again here.
#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const std::string kSource = QAV_SOURCE_DIR;

struct Block
{
  std::string language;
  std::vector<std::string> lines;
};

std::vector<std::string> Lines(const std::string& iText)
{
  std::vector<std::string> lines;
  std::istringstream in(iText);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::vector<Block> FencedBlocks(const std::string& iText)
{
  std::vector<Block> blocks;
  Block* open = nullptr;
  for (const std::string& line : Lines(iText))
  {
    if (line.rfind("```", 0) == 0)
    {
      if (open != nullptr)
        open = nullptr;
      else
      {
        blocks.push_back({line.substr(3), {}});
        open = &blocks.back();
      }
    }
    else if (open != nullptr)
      open->lines.push_back(line);
  }
  return blocks;
}

// The regions between "// README: name" and "// README end", without their common indent.
std::vector<std::vector<std::string>> ExampleRegions(const std::string& iText)
{
  std::vector<std::vector<std::string>> regions;
  bool inside = false;
  for (const std::string& line : Lines(iText))
  {
    const std::size_t mark = line.find("// README");
    if (mark != std::string::npos && line.find_first_not_of(' ') == mark)
    {
      inside = line.compare(mark, 15, "// README end") != 0;
      if (inside)
        regions.emplace_back();
      continue;
    }
    if (inside)
      regions.back().push_back(line);
  }
  for (auto& region : regions)
  {
    std::size_t indent = std::string::npos;
    for (const std::string& line : region)
      if (!line.empty())
        indent = std::min(indent, line.find_first_not_of(' '));
    for (std::string& line : region)
      line = line.size() >= indent ? line.substr(indent) : "";
  }
  return regions;
}

// "..." in the expected text stands for any number of lines.
bool Matches(const std::vector<std::string>& iExpected, std::size_t e, const std::vector<std::string>& iActual,
             std::size_t a)
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

const std::vector<Block>& ReadmeBlocks()
{
  static const std::vector<Block> blocks = FencedBlocks(QAVToolSlurp(kSource + "/README.md"));
  return blocks;
}

// Runs "qavtas ARGS" in the source tree, as a reader of the README would.
QAVToolRunResult RunInSourceTree(const std::string& iArgs)
{
  const std::string out = QAVToolTempPath("readme_out"), err = QAVToolTempPath("readme_err");
  const std::string command = "cd '" + kSource + "' && " + QAVTAS_EXE + " " + iArgs + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  QAVToolRunResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, QAVToolSlurp(out), QAVToolSlurp(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}

bool IsOutputFile(const std::string& iWord)
{
  const auto endsWith = [&](const char* tail) {
    const std::string t(tail);
    return iWord.size() > t.size() && iWord.compare(iWord.size() - t.size(), t.size(), t) == 0;
  };
  return iWord.rfind("examples/", 0) != 0 && (endsWith(".svg") || endsWith(".csv"));
}
} // namespace

TEST(Readme, EveryCodeExampleIsCompiledExampleCode)
{
  std::vector<std::vector<std::string>> regions;
  for (const char* file : {"engines.cpp", "ellipse.cpp", "tolerancing.cpp", "parameters.cpp"})
  {
    const std::string text = QAVToolSlurp(kSource + "/examples/consumer/" + file);
    const auto found = ExampleRegions(text);
    regions.insert(regions.end(), found.begin(), found.end());
  }
  int checked = 0;
  for (const Block& block : ReadmeBlocks())
    if (block.language == "cpp")
    {
      ++checked;
      EXPECT_NE(std::find(regions.begin(), regions.end(), block.lines), regions.end())
        << "README code block starting '" << (block.lines.empty() ? "" : block.lines[0])
        << "' is not a region of examples/consumer";
    }
  EXPECT_GE(checked, 4);
}


// A "console" block is "$ qavtas ARGS" and its output ("..." for lines left out). A picture or a
// history named in ARGS is written elsewhere and must equal the file of that name in the tree.
TEST(Readme, EverySampleSessionGivesThatOutput)
{
  int checked = 0;
  for (const Block& block : ReadmeBlocks())
  {
    if (block.language != "console" || block.lines.empty() || block.lines[0].rfind("$ qavtas ", 0) != 0)
      continue;
    ++checked;
    std::istringstream words(block.lines[0].substr(9));
    std::string args;
    std::vector<std::pair<std::string, std::string>> files; // in the tree, written now
    for (std::string word; words >> word;)
    {
      if (IsOutputFile(word))
      {
        files.emplace_back(kSource + "/" + word, QAVToolTempPath(std::to_string(files.size()) + "_" +
                                                                 word.substr(word.find_last_of('/') + 1)));
        word = files.back().second;
      }
      args += word + ' ';
    }
    const QAVToolRunResult r = RunInSourceTree(args);
    EXPECT_EQ(r.status, 0) << block.lines[0] << '\n' << r.err;
    const std::vector<std::string> expected(block.lines.begin() + 1, block.lines.end());
    EXPECT_TRUE(Matches(expected, 0, Lines(r.out), 0)) << block.lines[0] << "\ngave:\n" << r.out;
    for (const auto& [inTree, written] : files)
    {
      EXPECT_EQ(QAVToolSlurp(inTree), QAVToolSlurp(written)) << inTree << " is not what '" << block.lines[0]
                                                             << "' writes";
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
    if (block.language.rfind("text ", 0) == 0)
    {
      ++checked;
      const std::string file = block.language.substr(5);
      EXPECT_TRUE(Matches(block.lines, 0, Lines(QAVToolSlurp(kSource + "/" + file)), 0)) << file;
    }
    else if (block.language == "cmake")
      for (const std::string& line : block.lines)
      {
        ++checked;
        EXPECT_NE(consumerCMake.find(line), std::string::npos) << line;
      }
  }
  EXPECT_GE(checked, 3);
}

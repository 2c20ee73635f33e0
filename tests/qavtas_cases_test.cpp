// The command-line suite: every case of tests/data/qavtas_cases.txt runs 'qavtas' through the
// shell in a fresh scratch folder (with qavtas on PATH, @EX naming examples/) and must end with
// the status, the standard error and output fragments, the JSON keys and the files it names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;
// Field name to value, in file order.
struct Case : std::multimap<std::string, std::string>
{
};

// gtest shows a case by its name.
void PrintTo(const Case& iCase, std::ostream* ioOut)
{
  *ioOut << iCase.find("name")->second;
}

std::string Slurp(const fs::path& iPath)
{
  std::ifstream in(iPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Blocks of "field: value" lines separated by blank lines; '#' lines are comments.
std::vector<Case> ReadCases()
{
  std::vector<Case> cases(1);
  std::istringstream in(Slurp(fs::path(QAV_SOURCE_DIR) / "tests/data/qavtas_cases.txt"));
  for (std::string line; std::getline(in, line);)
  {
    const std::size_t colon = line.find(": ");
    if (line.empty() && !cases.back().empty())
      cases.emplace_back();
    else if (line[0] != '#' && colon != std::string::npos)
      cases.back().emplace(line.substr(0, colon), line.substr(colon + 2));
  }
  if (cases.back().empty())
    cases.pop_back();
  return cases;
}

std::string Replace(std::string iText, const std::string& iFrom, const std::string& iTo)
{
  for (std::size_t at = 0; (at = iText.find(iFrom, at)) != std::string::npos; at += iTo.size())
    iText.replace(at, iFrom.size(), iTo);
  return iText;
}

// "\n" and "\xHH" escapes of a stdin value.
std::string Unescape(const std::string& iText)
{
  std::string out;
  for (std::size_t i = 0; i < iText.size(); ++i)
    if (iText[i] == '\\' && i + 1 < iText.size() && iText[i + 1] == 'n')
      out += '\n', ++i;
    else if (iText[i] == '\\' && i + 3 < iText.size() && iText[i + 1] == 'x')
      out += static_cast<char>(std::stoi(iText.substr(i + 2, 2), nullptr, 16)), i += 3;
    else
      out += iText[i];
  return out;
}

std::string Field(const Case& iCase, const std::string& iName)
{
  const auto it = iCase.find(iName);
  return it == iCase.end() ? "" : it->second;
}

void RunCase(const Case& iCase, const fs::path& iDir)
{
  const std::string run = Replace(Field(iCase, "run"), "@EX", std::string(QAV_SOURCE_DIR) + "/examples");
  SCOPED_TRACE(run);
  fs::create_directories(iDir / "bin");
  fs::create_symlink(QAVTAS_EXE, iDir / "bin/qavtas");
  std::ofstream(iDir / ".stdin", std::ios::binary) << Unescape(Field(iCase, "stdin"));
  std::ofstream(iDir / ".run") << run << '\n';
  const std::string command = "cd '" + iDir.string() + "' && PATH=\"$PWD/bin:$PATH\" sh .run <.stdin >.out 2>.err";
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const std::string out = Slurp(iDir / ".out"), err = Slurp(iDir / ".err");
  EXPECT_EQ(status, std::stoi(Field(iCase, "status"))) << err;
  for (auto [it, end] = iCase.equal_range("stderr"); it != end; ++it)
    EXPECT_NE(err.find(it->second), std::string::npos) << "stderr lacks '" << it->second << "':\n" << err;
  for (auto [it, end] = iCase.equal_range("not stderr"); it != end; ++it)
    EXPECT_EQ(err.find(it->second), std::string::npos) << "stderr holds '" << it->second << "':\n" << err;
  for (auto [it, end] = iCase.equal_range("stdout"); it != end; ++it)
    EXPECT_NE(out.find(it->second), std::string::npos) << "stdout lacks '" << it->second << "':\n" << out;
  for (auto [it, end] = iCase.equal_range("not stdout"); it != end; ++it)
    EXPECT_EQ(out.find(it->second), std::string::npos) << "stdout holds '" << it->second << "':\n" << out;
  if (iCase.count("json"))
  {
    const nlohmann::json answer = nlohmann::json::parse(out, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << "stdout is not one JSON object:\n" << out;
    std::istringstream keys(Field(iCase, "json"));
    for (std::string key; keys >> key;)
      EXPECT_TRUE(answer.contains(key)) << key << " missing in " << out;
  }
  std::istringstream absent(Field(iCase, "absent")), present(Field(iCase, "exists"));
  for (std::string name; absent >> name;)
    EXPECT_FALSE(fs::exists(fs::symlink_status(iDir / name))) << name << " exists";
  for (std::string name; present >> name;)
    EXPECT_TRUE(fs::exists(iDir / name)) << name << " is missing";
}
} // namespace

class QavtasCase : public ::testing::TestWithParam<Case>
{
};

TEST_P(QavtasCase, EndsAsTheTableSays)
{
  char folder[] = "/tmp/qavtas-case-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  RunCase(GetParam(), folder);
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Table, QavtasCase, ::testing::ValuesIn(ReadCases()),
                         [](const ::testing::TestParamInfo<Case>& iInfo) { return Field(iInfo.param, "name"); });

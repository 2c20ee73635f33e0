// The command-line suite: every case of tests/data/qavtas_cases.txt runs 'qavtas' through the
// shell in a fresh scratch folder (with qavtas on PATH, $EX naming examples/) and must end with
// the status, the standard error and output fragments, the JSON keys and the files it names.
#include "QAVToolRun.h"

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

// Blocks of "field: value" lines separated by blank lines; '#' lines are comments.
std::vector<Case> ReadCases()
{
  std::vector<Case> cases(1);
  std::istringstream in(QAVToolSlurp(fs::path(QAV_SOURCE_DIR) / "tests/data/qavtas_cases.txt"));
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

std::string Field(const Case& iCase, const std::string& iName)
{
  const auto it = iCase.find(iName);
  return it == iCase.end() ? "" : it->second;
}

// Every fragment of field iName (present, or with "not " absent) in iText.
void ExpectFragments(const Case& iCase, const std::string& iName, const std::string& iText)
{
  for (const bool present : {true, false})
    for (auto [it, end] = iCase.equal_range(present ? iName : "not " + iName); it != end; ++it)
      EXPECT_EQ(iText.find(it->second) != std::string::npos, present)
        << iName << (present ? " lacks '" : " holds '") << it->second << "':\n"
        << iText;
}

void RunCase(const Case& iCase, const fs::path& iDir)
{
  SCOPED_TRACE(Field(iCase, "run"));
  fs::create_directories(iDir / "bin");
  fs::create_symlink(QAVTAS_EXE, iDir / "bin/qavtas");
  std::ofstream(iDir / ".stdin") << Field(iCase, "stdin"); // a printf format: \n and octal escapes
  std::ofstream(iDir / ".run") << Field(iCase, "run") << '\n';
  // AddressSanitizer reserves terabytes of address space: no ulimit -v for its builds (QAV_ASAN).
#ifdef __SANITIZE_ADDRESS__
  const std::string asan = "QAV_ASAN=1 ";
#else
  const std::string asan;
#endif
  const std::string command = "cd '" + iDir.string() + "' && printf \"$(cat .stdin)\" | " + asan + "EX='" +
    QAV_SOURCE_DIR "/examples' PATH=\"$PWD/bin:$PATH\" sh .run >.out 2>.err";
  const int raw = std::system(command.c_str());
  const std::string out = QAVToolSlurp(iDir / ".out"), err = QAVToolSlurp(iDir / ".err");
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::stoi(Field(iCase, "status"))) << err;
  ExpectFragments(iCase, "stderr", err);
  ExpectFragments(iCase, "stdout", out);
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

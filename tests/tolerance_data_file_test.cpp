// The typed reader of a tolerancing data file: where it stops and what it asks for, and that it
// reads every text as the stream reader does.
#include "QAVCoutCapture.h"
#include "QAVTasToleranceDataFile.h"
#include "QAVToleranceReadersAgree.h"
#include "QAVTolerancingCase.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using File = QAVTasToleranceDataFile;

std::string Slurp(const std::string& iPath)
{
  std::ifstream in(iPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The blocks of tests/data/tolerance_data_file.txt, "\n" in a text made a line end.
std::vector<std::map<std::string, std::string>> Cases()
{
  std::istringstream lines(Slurp(std::string(QAV_SOURCE_DIR) + "/tests/data/tolerance_data_file.txt"));
  std::vector<std::map<std::string, std::string>> cases(1);
  for (std::string line; std::getline(lines, line);)
  {
    const std::size_t colon = line.find(':');
    if (line.empty() && !cases.back().empty())
      cases.emplace_back();
    if (line.empty() || line[0] == '#' || colon == std::string::npos)
      continue;
    std::string value = line.substr(colon + 1 + (colon + 1 < line.size() && line[colon + 1] == ' '));
    for (std::size_t at; (at = value.find("\\n")) != std::string::npos;)
      value.replace(at, 2, "\n");
    cases.back()[line.substr(0, colon)] = value;
  }
  return cases;
}

const char* StateName(File::Status iState)
{
  return iState == File::Status::Read ? "read" : iState == File::Status::Malformed ? "malformed" : "unsolvable";
}
} // namespace

TEST(ToleranceDataFile, NamesTheLineAndTheItemExpected)
{
  for (auto& c : Cases())
  {
    const File::Result r = File::Read(c["text"]);
    EXPECT_EQ(c["state"], StateName(r.State)) << c["name"];
    if (r.State == File::Status::Read)
    {
      EXPECT_EQ(c["genetic"], r.GeneticExpected) << c["name"];
      continue;
    }
    EXPECT_EQ(c["line"], std::to_string(r.Line)) << c["name"];
    EXPECT_EQ(c["expected"], r.Expected) << c["name"];
  }
}

// Every prefix, every text short of one character and every number swapped for a hostile one, of
// the example files: the two readers share their steps but not their scanning.
TEST(ToleranceDataFile, ReadsEveryTextAsTheStreamReaderDoes)
{
  const std::vector<std::string> hostile = {"1e",
                                            "-",
                                            ".",
                                            "+.5",
                                            "0x1p-3",
                                            "1e+",
                                            "infinity",
                                            "nan(7)",
                                            "-inf",
                                            "1.5x",
                                            std::string("1\0", 2),
                                            "99999999999999999999"};
  QAVCoutCapture quiet;
  for (const char* name : {"tolerance_direct.txt", "tolerance_multiplier.txt"})
  {
    const std::string text = Slurp(std::string(QAV_SOURCE_DIR) + "/examples/" + name);
    ASSERT_FALSE(text.empty()) << name;
    std::vector<std::string> variants;
    for (std::size_t k = 0; k < text.size(); ++k)
      variants.push_back(text.substr(0, k));
    for (std::size_t k = 0; k < text.size(); ++k)
      variants.push_back(text.substr(0, k) + text.substr(k + 1));
    for (std::size_t k = 0; k < text.size(); ++k)
      if ((k == 0 || std::isspace(static_cast<unsigned char>(text[k - 1]))) && std::isdigit(text[k]))
        for (const std::string& word : hostile)
          variants.push_back(text.substr(0, k) + word + text.substr(text.find_first_of(" \n", k)));
    for (const std::string& variant : variants)
      EXPECT_EQ("", QAVToleranceReadersDisagree(variant)) << variant;
  }
  EXPECT_EQ("", QAVToleranceReadersDisagree(kGood));
}

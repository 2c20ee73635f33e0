// Replays every saved hostile input through the entry point that found it: the inputs in
// tests/regressions/<target>/ (each once crashed, hung or leaked) and the fuzz seeds.
#include "QAVToolFuzzEntry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

struct Target
{
  const char* name;
  int (*entry)(const std::uint8_t*, std::size_t);
};

const Target kTargets[] = {
  {"de_options", QAVToolFuzzDeOptions},
  {"point_file", QAVToolFuzzPointFile},
  {"data_file", QAVToolFuzzDataFile},
};

std::vector<fs::path> Inputs(const std::string& iTarget)
{
  std::vector<fs::path> inputs;
  for (const char* root : {"tests/regressions/", "fuzz/seeds/"})
  {
    const fs::path dir = fs::path(QAV_SOURCE_DIR) / (root + iTarget);
    if (fs::is_directory(dir))
      for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file())
          inputs.push_back(entry.path());
  }
  return inputs;
}
} // namespace

TEST(FuzzRegressions, EverySavedInputEndsInTheToolsOwnHandling)
{
  for (const Target& target : kTargets)
  {
    const std::vector<fs::path> inputs = Inputs(target.name);
    EXPECT_FALSE(inputs.empty()) << target.name;
    for (const fs::path& path : inputs)
    {
      SCOPED_TRACE(path.string());
      std::ifstream in(path, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_EQ(target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
  }
}

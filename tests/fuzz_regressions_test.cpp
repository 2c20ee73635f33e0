// Replays every saved hostile input through the entry point that found it: the inputs in
// tests/regressions/<target>/ (each once crashed, hung or leaked) and the fuzz seeds.
#include "QAVToolFuzzEntry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
  {"allocation_file", QAVToolFuzzAllocationFile},
  {"allocation_problem", QAVToolFuzzAllocationProblem},
};

} // namespace

TEST(FuzzRegressions, EverySavedInputEndsInTheToolsOwnHandling)
{
  for (const Target& target : kTargets)
  {
    std::int32_t inputs = 0;
    for (const char* root : {"tests/regressions/", "fuzz/seeds/"})
    {
      const fs::path dir = fs::path(QAV_SOURCE_DIR) / (root + std::string(target.name));
      for (const fs::directory_entry& entry :
           fs::is_directory(dir) ? fs::directory_iterator(dir) : fs::directory_iterator())
      {
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
        ++inputs;
      }
    }
    EXPECT_GT(inputs, 0) << target.name;
  }
}

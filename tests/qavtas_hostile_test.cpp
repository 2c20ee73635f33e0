// Hostile input to the tool's readers, moved verbatim from the former hostile suite; the tool's
// table-driven suite replaces this file.
#include "QAVToolPointFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

TEST(HostileEllipse, PointFileWordsMustBeWholeNumbers)
{
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/qav_hostile_points";
  const std::string cases[] = {std::string("0 0\n\0\0001e308 -1e308\n", 20), "1 2 3\n", "1e999 0\n", "nan 1\n",
                               "1 0x\n"};
  for (const std::string& text : cases)
  {
    std::ofstream(path, std::ios::binary) << text;
    std::vector<double> points;
    std::string error;
    EXPECT_FALSE(QAVToolReadPoints(path, points, error)) << text;
    EXPECT_NE(error.find(text[0] == '0' ? ":2:" : ":1:"), std::string::npos) << error;
  }
  std::remove(path.c_str());
}

TEST(HostileParameters, AMissingPointFileLeavesNoHandle)
{
  const auto openDescriptors = []
  {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(std::filesystem::begin(fds), std::filesystem::end(fds));
  };
  const auto before = openDescriptors();
  std::vector<double> points;
  std::string error;
  EXPECT_FALSE(QAVToolReadPoints("/nonexistent/none.txt", points, error));
  EXPECT_EQ(openDescriptors(), before);
}

#ifndef QAVGolden_H
#define QAVGolden_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

// Compares a text with tests/golden/<name>.txt. With QAV_REGEN_GOLDEN=1 in the environment it
// writes the file instead, so that an output changed on purpose shows as a diff in review.
inline void QAVExpectGolden(const std::string& iName, const std::string& iText)
{
  const std::string path = std::string(QAV_SOURCE_DIR) + "/tests/golden/" + iName + ".txt";
  const char* regen = std::getenv("QAV_REGEN_GOLDEN");
  if (regen != nullptr && std::string(regen) == "1")
  {
    std::ofstream(path, std::ios::binary) << iText;
    return;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << path << " is missing: run the test with QAV_REGEN_GOLDEN=1";
  std::ostringstream stored;
  stored << file.rdbuf();
  EXPECT_EQ(stored.str(), iText) << "differs from " << path;
}

#endif

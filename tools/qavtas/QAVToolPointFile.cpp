#include "QAVToolPointFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{
// Next number of the line, or false when the next word is no finite number.
bool NextNumber(std::istringstream& ioWords, double& oValue)
{
  std::string word;
  if (!(ioWords >> word))
    return false;
  char* end = nullptr;
  errno = 0;
  oValue = std::strtod(word.c_str(), &end);
  // The whole word must be the number: one with a NUL inside is not "0".
  return end == word.c_str() + word.size() && errno != ERANGE && std::isfinite(oValue);
}
} // namespace

bool QAVToolReadPoints(const std::string& iPath, std::vector<double>& oPoints, std::string& oError)
{
  std::ifstream in(iPath);
  if (!in)
  {
    oError = iPath + ": cannot open the file";
    return false;
  }
  std::string line;
  bool sawText = false; // a header of words may only come first
  for (int number = 1; std::getline(in, line); ++number)
  {
    line = line.substr(0, line.find('#'));
    // Measuring machines separate x and y by tabs, commas or semicolons as often as by spaces.
    std::replace_if(
      line.begin(), line.end(), [](char c) { return c == ',' || c == ';'; }, ' ');
    std::istringstream words(line);
    std::string probe;
    if (!(words >> probe))
      continue;
    // A header's first word is no number at all ("nan" and "inf" are numbers, refused below).
    char* numberEnd = nullptr;
    std::strtod(probe.c_str(), &numberEnd);
    const bool header = !sawText && numberEnd == probe.c_str();
    sawText = true;
    if (header)
      continue;
    words.clear();
    words.seekg(0);
    double x = 0.0, y = 0.0;
    if (!NextNumber(words, x) || !NextNumber(words, y) || (words >> probe))
    {
      oError = iPath + ":" + std::to_string(number) + ": expected two numbers, x and y";
      return false;
    }
    oPoints.push_back(x);
    oPoints.push_back(y);
  }
  if (in.bad())
  {
    oError = iPath + ": read error";
    return false;
  }
  return true;
}

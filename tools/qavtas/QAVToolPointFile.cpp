#include "QAVToolPointFile.h"

#include "QAVToolLineReader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace
{
bool IsSpace(char iChar)
{
  return std::isspace(static_cast<unsigned char>(iChar)) != 0;
}

// The next word of [ioAt, iEnd) as a finite number; false when there is none or it is no number.
// The whole word must be the number: one with a NUL inside is not "0". iEnd is followed by a NUL.
bool NextNumber(const char*& ioAt, const char* iEnd, double& oValue)
{
  while (ioAt < iEnd && IsSpace(*ioAt))
    ++ioAt;
  const char* word = ioAt;
  while (ioAt < iEnd && !IsSpace(*ioAt))
    ++ioAt;
  if (word == ioAt)
    return false;
  char* end = nullptr;
  errno = 0;
  oValue = std::strtod(word, &end);
  return end == ioAt && errno != ERANGE && std::isfinite(oValue);
}

bool OnlySpace(const char* iAt, const char* iEnd)
{
  while (iAt < iEnd && IsSpace(*iAt))
    ++iAt;
  return iAt == iEnd;
}

// A header's first word is no number at all ("nan" and "inf" are numbers, refused as such).
bool StartsWithWord(const char* iAt, const char* iEnd)
{
  while (iAt < iEnd && IsSpace(*iAt))
    ++iAt;
  char* end = nullptr;
  std::strtod(iAt, &end);
  return end == iAt;
}
} // namespace

bool QAVToolReadPoints(const std::string& iPath, std::vector<double>& oPoints, std::string& oError)
{
  QAVToolLineReader in(iPath);
  std::string line;
  bool first = true; // a header of words may only come first
  while (in.Next(line))
  {
    line.resize(std::min(line.size(), line.find('#')));
    // Measuring machines separate x and y by tabs, commas or semicolons as often as by spaces.
    std::replace_if(
      line.begin(), line.end(), [](char c) { return c == ',' || c == ';'; }, ' ');
    const char* at = line.c_str();
    const char* end = at + line.size();
    if (OnlySpace(at, end))
      continue;
    if (std::exchange(first, false) && StartsWithWord(at, end))
      continue;
    double x = 0.0, y = 0.0;
    const bool read = NextNumber(at, end, x) && NextNumber(at, end, y) && OnlySpace(at, end);
    if (!read || oPoints.size() / 2 == kQAVToolMostPoints)
    {
      oError = in.Path() + ":" + std::to_string(in.LineNumber()) + ": " +
        (read ? "more than 10^7 points" : "expected two finite numbers, x and y");
      return false;
    }
    oPoints.push_back(x);
    oPoints.push_back(y);
  }
  oError = in.Error();
  return oError.empty();
}

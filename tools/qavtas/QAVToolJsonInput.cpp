#include "QAVToolJsonInput.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace
{
const std::size_t kChunk = std::size_t(1) << 20;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Gibibytes(std::uint64_t iBytes)
{
  return iBytes % (std::uint64_t(1) << 30) == 0 ? std::to_string(iBytes >> 30) + " GiB"
                                                : std::to_string(iBytes) + " bytes";
}

// Why the bytes from iFrom on cannot continue the start of one JSON object ("" while they may);
// ioBegun tells whether its first visible byte has been seen.
std::string NoObject(const std::string& iText, std::size_t iFrom, bool& ioBegun)
{
  if (std::memchr(iText.data() + iFrom, '\0', iText.size() - iFrom))
    return "holds a NUL byte; this is no JSON text";
  const std::size_t first = ioBegun ? std::string::npos : iText.find_first_not_of(" \t\r\n", iFrom);
  if (first == std::string::npos)
    return "";
  ioBegun = true;
  return iText[first] == '{' ? "" : "is no JSON object: a problem file begins with '{'";
}
std::string TooLarge(std::uint64_t iMaxBytes)
{
  return "larger than " + Gibibytes(iMaxBytes) + ", the most a problem file may hold";
}

// Appends the whole of iFile to ioText by chunks; "" or why it stopped.
std::string ReadWhole(FILE* iFile, std::uint64_t iMaxBytes, std::string& ioText)
{
  bool begun = false;
  for (std::size_t got = kChunk; got == kChunk;)
  {
    const std::size_t at = ioText.size();
    ioText.resize(at + kChunk);
    got = std::fread(&ioText[at], 1, kChunk, iFile);
    ioText.resize(at + got);
    if (at == 0 && ioText.compare(0, 3, kByteOrderMark) == 0)
      ioText.erase(0, 3);
    const std::string why = NoObject(ioText, std::min(at, ioText.size()), begun);
    if (!why.empty())
      return why;
    if (ioText.size() > iMaxBytes)
      return TooLarge(iMaxBytes);
  }
  return std::ferror(iFile) ? std::strerror(errno) : "";
}
} // namespace

bool QAVToolJsonInput::Read(const std::string& iPath, std::string& oText, std::string& oError, std::uint64_t iMaxBytes)
{
  const bool standard = iPath == "-";
  oText.clear();
  oError.clear();
  struct stat info = {};
  const bool known = !standard && ::stat(iPath.c_str(), &info) == 0;
  if (known && S_ISDIR(info.st_mode))
    oError = "is a directory";
  else if (known && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > iMaxBytes)
    oError = TooLarge(iMaxBytes);
  else
  {
    const std::unique_ptr<FILE, int (*)(FILE*)> owned(standard ? nullptr : std::fopen(iPath.c_str(), "rb"),
                                                      std::fclose);
    FILE* file = standard ? stdin : owned.get();
    if (known && S_ISREG(info.st_mode))
      oText.reserve(static_cast<std::size_t>(info.st_size) + 1);
    oError = file ? ReadWhole(file, iMaxBytes, oText) : std::strerror(errno);
  }
  if (oError.empty())
    return true;
  oText.clear();
  oError = (standard ? "standard input" : iPath) + ": " + oError;
  return false;
}

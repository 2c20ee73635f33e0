#include "QAVToolJsonInput.h"

#include "QAVToolLineReader.h"

#include "QAVTasAllocationFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace
{
const std::size_t kChunk = std::size_t(1) << 20;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Gibibytes(std::uint64_t iBytes)
{
  return iBytes % (std::uint64_t(1) << 30) == 0 ? std::to_string(iBytes >> 30) + " GiB"
                                                : std::to_string(iBytes) + " bytes";
}

// Why a block cannot continue the start of one JSON object ("" while it may); ioBegun tells whether
// the object's first visible byte has been seen.
std::string NoObject(const std::string& iBlock, bool& ioBegun)
{
  if (std::memchr(iBlock.data(), '\0', iBlock.size()))
    return "holds a NUL byte; this is no JSON text";
  const std::size_t first = ioBegun ? std::string::npos : iBlock.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return "";
  ioBegun = true;
  return iBlock[first] == '{' ? "" : "is no JSON object: a problem file begins with '{'";
}

std::string TooLarge(std::uint64_t iMaxBytes)
{
  return "larger than " + Gibibytes(iMaxBytes) + ", the most a problem file may hold";
}

// Appends the whole of iFile to ioText; "" or why it stopped. The text is read in blocks joined at
// its end, each let go as it is copied: a stream never moves while it grows, so an endless one is
// refused holding the bound and a block, and a whole one peaks at its size and a block.
std::string ReadWhole(FILE* iFile, std::uint64_t iMaxBytes, std::string& ioText)
{
  std::vector<std::string> blocks;
  std::uint64_t total = 0;
  bool begun = false;
  for (std::size_t got = kChunk; got == kChunk;)
  {
    std::string block(kChunk, '\0');
    got = std::fread(&block[0], 1, kChunk, iFile);
    block.resize(got);
    if (total == 0 && blocks.empty() && block.compare(0, 3, kByteOrderMark) == 0)
      block.erase(0, 3);
    const std::string why = NoObject(block, begun);
    if (!why.empty())
      return why;
    total += block.size();
    if (total > iMaxBytes)
      return TooLarge(iMaxBytes);
    blocks.push_back(std::move(block));
  }
  if (std::ferror(iFile))
    return std::strerror(errno);
  ioText.reserve(static_cast<std::size_t>(total));
  for (std::string& block : blocks)
  {
    ioText += block;
    std::string().swap(block);
  }
  return "";
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
    oError = file ? ReadWhole(file, iMaxBytes, oText) : std::strerror(errno);
  }
  if (oError.empty())
    return true;
  oText.clear();
  oError = QAVToolLineReader::InputName(iPath) + ": " + oError;
  return false;
}

bool QAVToolJsonInput::ReadProblem(const std::string& iPath, QAVTasAllocationProblem& oProblem, std::string& oError)
{
  std::string text;
  if (!Read(iPath, text, oError))
    return false;
  if (QAVTasAllocationFile::Read(text, oProblem, oError))
    return true;
  oError = QAVToolLineReader::InputName(iPath) + ": " + oError;
  return false;
}

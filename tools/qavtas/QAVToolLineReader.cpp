#include "QAVToolLineReader.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

QAVToolLineReader::QAVToolLineReader(const std::string& iPath) : _Path(InputName(iPath))
{
  if (iPath == "-")
  {
    _pFile = stdin;
    return;
  }
  struct stat info;
  if (::stat(iPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
  {
    Fail("is a directory");
    return;
  }
  _pFile = std::fopen(iPath.c_str(), "r");
  _Owned = _pFile != nullptr;
  if (!_pFile)
    Fail(std::strerror(errno));
}

QAVToolLineReader::~QAVToolLineReader()
{
  if (_Owned)
    std::fclose(_pFile);
}

bool QAVToolLineReader::Fail(const std::string& iWhat)
{
  _Error = _Path + (_Line > 0 ? ":" + std::to_string(_Line) : "") + ": " + iWhat;
  return false;
}

bool QAVToolLineReader::Next(std::string& oLine)
{
  if (!_pFile || !_Error.empty())
    return false;
  oLine.clear();
  int c = 0;
  while ((c = getc_unlocked(_pFile)) != EOF && c != '\n')
  {
    if (oLine.size() == kMaxLine)
      return ++_Line, Fail("a line longer than 1 MiB; this is no text file of the expected kind");
    oLine.push_back(static_cast<char>(c));
  }
  if (std::ferror(_pFile))
    return Fail(std::strerror(errno));
  if (c == EOF && oLine.empty())
    return false;
  if (++_Line == 1 && oLine.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return Fail("starts with a UTF-8 byte-order mark; save the file without one");
  return true;
}

bool QAVToolLineReader::ReadAll(std::string& oText)
{
  oText.clear();
  for (std::string line; Next(line);)
    oText.append(line).push_back('\n');
  return _Error.empty();
}

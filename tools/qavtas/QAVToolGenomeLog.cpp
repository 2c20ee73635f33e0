#include "QAVToolGenomeLog.h"

#include "QAVToolLineReader.h"
#include "QAVToolOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kLibraryLogName[] = "/GeneratedGenomes.txt";

// $TMPDIR when it names a folder we may write into, else /tmp.
std::string TemporaryDirectory()
{
  const char* dir = std::getenv("TMPDIR");
  struct stat info;
  if (dir && *dir && ::stat(dir, &info) == 0 && S_ISDIR(info.st_mode) && ::access(dir, W_OK | X_OK) == 0)
    return dir;
  return "/tmp";
}
} // namespace

QAVToolGenomeLog::~QAVToolGenomeLog()
{
  Restore();
  if (_Reserved)
    std::remove(_Path.c_str());
}

bool QAVToolGenomeLog::Open(const std::string& iPath)
{
  const std::string base = TemporaryDirectory();
  if (iPath.empty())
  {
    std::string name = base + "/qavtas-genomes-XXXXXX.txt";
    const int fd = ::mkstemps(&name[0], 4);
    if (fd < 0)
      return _Error = "cannot create a genome log in " + base + ": " + std::strerror(errno), false;
    ::close(fd);
    _Path = name;
    _Reserved = true;
  }
  else
    _Path = iPath;
  std::string folder = base + "/qavtas-run-XXXXXX";
  if (::mkdtemp(&folder[0]) == nullptr)
    return _Error = "cannot create a folder in " + base + ": " + std::strerror(errno), false;
  _Private = folder;
  const char* saved = std::getenv("TMPDIR");
  _HadTmpdir = saved != nullptr;
  _SavedTmpdir = saved ? saved : "";
  _Redirected = ::setenv("TMPDIR", _Private.c_str(), 1) == 0;
  return _Redirected || (_Error = "cannot set TMPDIR", false);
}

bool QAVToolGenomeLog::Close()
{
  std::string text;
  QAVToolLineReader reader(_Private + kLibraryLogName);
  if (!reader.ReadAll(text))
    _Error = "the genome log: " + reader.Error();
  else if (!QAVToolWriteOutput(_Path, text, _Error))
    _Error = "cannot write the genome log " + _Error;
  Restore();
  _Reserved = _Reserved && !_Error.empty();
  return _Error.empty();
}

void QAVToolGenomeLog::Restore()
{
  if (_Redirected)
    _HadTmpdir ? ::setenv("TMPDIR", _SavedTmpdir.c_str(), 1) : ::unsetenv("TMPDIR");
  _Redirected = false;
  if (_Private.empty())
    return;
  std::remove((_Private + kLibraryLogName).c_str());
  ::rmdir(_Private.c_str());
  _Private.clear();
}

#include "QAVTasUIServices.h"

#include "QAVSamReport.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace
{
const char kErrFile[] = "QAVTasUIServices";

bool IsDrivePath(const std::string& iPath)
{
  return iPath.size() >= 3 && std::isalpha(static_cast<unsigned char>(iPath[0])) && iPath[1] == ':' &&
    (iPath[2] == '\\' || iPath[2] == '/');
}

std::string TemporaryDirectory()
{
  const char* dir = std::getenv("TMPDIR");
  std::string result = (dir && *dir) ? dir : "/tmp";
  while (result.size() > 1 && result.back() == '/')
    result.pop_back();
  return result;
}
} // namespace

QAVUnicodeString QAVTasUIServices::QAVTasMapPath(const QAVUnicodeString& iPath)
{
  const std::string& path = iPath.Text();
  if (!IsDrivePath(path))
    return iPath;
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  return QAVUnicodeString(TemporaryDirectory() + "/" + name);
}

FILE* QAVTasUIServices::QAVTasFileOpen(const QAVUnicodeString iPath, const char* iMode)
{
  if (iPath.IsEmpty() || !iMode)
    return nullptr;
  const std::string path = QAVTasMapPath(iPath).Text();
  const bool writes = std::strpbrk(iMode, "wa+") != nullptr;
  if (!writes)
    return std::fopen(path.c_str(), iMode);
  // A file opened for writing is never reached through a symbolic link: one planted at a
  // predictable path (the temporary directory's log) would redirect our writes to its target.
  const int flags = (std::strchr(iMode, '+') ? O_RDWR : O_WRONLY) | O_CREAT | O_NOFOLLOW | O_CLOEXEC |
    (std::strchr(iMode, 'a') ? O_APPEND : (std::strchr(iMode, 'w') ? O_TRUNC : 0));
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0)
  {
    if (errno == ELOOP)
      QAVSamReport(QAVSamKindFailed, ("a symbolic link stands at " + path).c_str(), kErrFile, 58);
    return nullptr;
  }
  FILE* pFile = ::fdopen(fd, iMode);
  if (!pFile)
    ::close(fd);
  return pFile;
}

void QAVTasUIServices::QAVTasFileClose(FILE* ipFile)
{
  if (ipFile)
    std::fclose(ipFile);
}

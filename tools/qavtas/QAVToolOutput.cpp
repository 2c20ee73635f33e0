#include "QAVToolOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool gStandardOutputFailed = false;

bool Failed(const std::string& iPath, std::string& oError)
{
  oError = iPath + ": " + std::strerror(errno);
  return false;
}

bool WriteAll(int iFd, const std::string& iText)
{
  for (std::size_t done = 0; done < iText.size();)
  {
    const ssize_t n = ::write(iFd, iText.data() + done, iText.size() - done);
    if (n < 0 && errno != EINTR)
      return false;
    done += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  return true;
}

// A device or a pipe (/dev/null, /dev/full, a FIFO) is written in place: it cannot be renamed over.
bool WriteSpecial(const std::string& iPath, const std::string& iText, std::string& oError)
{
  const int fd = ::open(iPath.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    return Failed(iPath, oError);
  const bool written = WriteAll(fd, iText);
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  errno = written ? errno : writeErrno;
  return (written && closed) || Failed(iPath, oError);
}
} // namespace

bool QAVToolWriteOutput(const std::string& iPath, const std::string& iText, std::string& oError)
{
  if (iPath == "-")
  {
    if (std::fwrite(iText.data(), 1, iText.size(), stdout) == iText.size() && std::fflush(stdout) == 0)
      return true;
    gStandardOutputFailed = true;
    return Failed("standard output", oError);
  }
  struct stat info;
  if (::stat(iPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
  {
    oError = iPath + ": is a directory";
    return false;
  }
  if (::stat(iPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    return WriteSpecial(iPath, iText, oError);
  const std::size_t slash = iPath.find_last_of('/');
  std::string temp = (slash == std::string::npos ? "" : iPath.substr(0, slash + 1)) + ".qavtas-XXXXXX";
  const int fd = ::mkstemp(&temp[0]);
  if (fd < 0)
    return Failed(iPath, oError);
  // mkstemp's 0600 would make the output private: give it the mode a new file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const bool written = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, iText) && ::fsync(fd) == 0;
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (written && closed && std::rename(temp.c_str(), iPath.c_str()) == 0)
    return true;
  errno = written ? errno : writeErrno;
  Failed(iPath, oError);
  ::unlink(temp.c_str());
  return false;
}

bool QAVToolStandardOutputFailed()
{
  return gStandardOutputFailed;
}

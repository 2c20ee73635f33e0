#include "QAVTasUIServices.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace
{
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
  return std::fopen(QAVTasMapPath(iPath).ConvertToChar(), iMode);
}

void QAVTasUIServices::QAVTasFileClose(FILE* ipFile)
{
  if (ipFile)
    std::fclose(ipFile);
}

#ifndef QAVTasUIServices_H
#define QAVTasUIServices_H

#include "QAVPlatformExport.h"
#include "QAVUnicodeString.h"

#include <cstdio>

// File services of the application.
class QAV_PLATFORM_API QAVTasUIServices
{
public:
  // Opens a file like fopen. A Windows drive path ("E:\Temp\Log.txt") names the file of the
  // same name in the temporary directory ($TMPDIR, else /tmp); other paths are used as given.
  // Null when the file cannot be opened or an argument is missing. A file opened for writing is
  // never reached through a symbolic link: one at the path fails, with a kind-1 report.
  static FILE* QAVTasFileOpen(const QAVUnicodeString iPath, const char* iMode);
  static void QAVTasFileClose(FILE* ipFile);

  // The path QAVTasFileOpen opens for iPath.
  static QAVUnicodeString QAVTasMapPath(const QAVUnicodeString& iPath);
};

#endif

#ifndef QAVToolLineReader_H
#define QAVToolLineReader_H

#include <cstdint>
#include <cstdio>
#include <string>

// Reads a text input of the tool line by line with bounded memory: a line longer than 1 MiB is an
// error, not a reason to grow (so "/dev/zero" ends quickly). "-" is standard input. A folder is
// refused as "is a directory", and a UTF-8 byte-order mark at the start is named as such. Every
// error is one text naming the path (and the line where there is one).
class QAVToolLineReader
{
public:
  static constexpr std::size_t kMaxLine = std::size_t(1) << 20;

  // How messages name the input at iPath: "standard input" for "-" (the one place that says so).
  static std::string InputName(const std::string& iPath) { return iPath == "-" ? "standard input" : iPath; }

  explicit QAVToolLineReader(const std::string& iPath);
  ~QAVToolLineReader();
  QAVToolLineReader(const QAVToolLineReader&) = delete;
  QAVToolLineReader& operator=(const QAVToolLineReader&) = delete;

  // The next line without its end; false at the end of the input or on an error.
  bool Next(std::string& oLine);
  // Empty unless opening or reading failed.
  const std::string& Error() const { return _Error; }
  std::int64_t LineNumber() const { return _Line; }
  const std::string& Path() const { return _Path; }
  // The whole input as one text (lines joined with '\n'); false on an error.
  bool ReadAll(std::string& oText);

private:
  bool Fail(const std::string& iWhat);

  std::string _Path, _Error;
  FILE* _pFile = nullptr;
  bool _Owned = false;
  std::int64_t _Line = 0;
};

#endif

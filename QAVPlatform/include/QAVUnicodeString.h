#ifndef QAVUnicodeString_H
#define QAVUnicodeString_H

#include <string>

// Platform string, UTF-8 inside.
class QAVUnicodeString
{
public:
  QAVUnicodeString() = default;
  QAVUnicodeString(const char* iText) : _Text(iText ? iText : "") {}
  QAVUnicodeString(std::string iText) : _Text(std::move(iText)) {}

  const char* ConvertToChar() const { return _Text.c_str(); }
  const std::string& Text() const { return _Text; }
  bool IsEmpty() const { return _Text.empty(); }
  bool operator==(const QAVUnicodeString& iOther) const { return _Text == iOther._Text; }

private:
  std::string _Text;
};

#endif

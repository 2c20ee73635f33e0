// The data-file reader's input: a stream through fscanf, or a text scanned the same way.
#include "QAVTasDataScanner.h"

#include <algorithm>
#include <cctype>

namespace
{
bool IsSpace(char iC)
{
  return std::isspace(static_cast<unsigned char>(iC)) != 0;
}
} // namespace

int QAVTasFileScanner::Literal(const char* iFormat)
{
  return std::fscanf(_pFile, iFormat);
}

int QAVTasFileScanner::Integer(const char* iFormat, long long* opValue)
{
  return std::fscanf(_pFile, iFormat, opValue);
}

int QAVTasFileScanner::Real(const char* iFormat, double* opValue)
{
  return std::fscanf(_pFile, iFormat, opValue);
}

std::int64_t QAVTasFileScanner::Remaining()
{
  const long here = std::ftell(_pFile);
  if (here < 0 || std::fseek(_pFile, 0, SEEK_END) != 0)
    return -1;
  const long end = std::ftell(_pFile);
  std::fseek(_pFile, here, SEEK_SET);
  return end < here ? -1 : end - here;
}

QAVTasTextScanner::QAVTasTextScanner(const std::string& iText)
  : _pText(iText.data()), _Size(iText.size()), _FailedAt(_Size + 1)
{
}

// As fscanf matches a format without conversions: white space in the format takes any run of white
// space (or none); any other character must come next, else the step stops before it.
int QAVTasTextScanner::Literal(const char* iFormat)
{
  bool skip = false;
  for (const char* f = iFormat; *f != '\0'; ++f)
  {
    if (IsSpace(*f))
    {
      skip = true;
      continue;
    }
    for (; skip && _Pos < _Size && IsSpace(_pText[_Pos]); ++_Pos)
      ;
    skip = false;
    if (_Pos >= _Size)
      return EOF;
    if (_pText[_Pos] != *f)
      return 0;
    ++_Pos;
  }
  for (; skip && _Pos < _Size && IsSpace(_pText[_Pos]); ++_Pos)
    ;
  return 0;
}

int QAVTasTextScanner::Integer(const char* iFormat, long long* opValue)
{
  return Convert(iFormat, opValue);
}

int QAVTasTextScanner::Real(const char* iFormat, double* opValue)
{
  const std::size_t start = _Pos;
  const int converted = Convert(iFormat, opValue);
  if (converted == 1)
  {
    std::size_t value = start;
    for (; value < _Size && IsSpace(_pText[value]); ++value)
      ;
    _Values.push_back(value);
  }
  return converted;
}

// The words a format can reach from here: each white space of the format or conversion may pass at
// most one run of white space, so the format ends within that many words, plus the white space after.
void QAVTasTextScanner::CopyReach(const char* iFormat)
{
  std::size_t words = 1;
  for (const char* f = iFormat; *f != '\0'; ++f)
    words += IsSpace(*f) || *f == '%' ? 1 : 0;
  std::size_t end = _Pos;
  for (std::size_t word = 0; word <= words && end < _Size; ++word)
  {
    for (; end < _Size && IsSpace(_pText[end]); ++end)
      ;
    for (; word < words && end < _Size && !IsSpace(_pText[end]); ++end)
      ;
  }
  _Reach.assign(_pText + _Pos, end - _Pos);
}

template <class T>
int QAVTasTextScanner::Convert(const char* iFormat, T* opValue)
{
  char format[128];
  std::snprintf(format, sizeof format, "%s%%n", iFormat);
  CopyReach(iFormat);
  int used = -1;
  const int converted = std::sscanf(_Reach.c_str(), format, opValue, &used);
  if (converted == 1 && used >= 0)
  {
    _Pos += static_cast<std::size_t>(used);
    return 1;
  }
  _FailedAt = std::min(_FailedAt, _Pos);
  return converted;
}

std::int32_t QAVTasTextScanner::LineOf(std::size_t iOffset) const
{
  return 1 + static_cast<std::int32_t>(std::count(_pText, _pText + iOffset, '\n'));
}

std::int32_t QAVTasTextScanner::StopLine() const
{
  std::size_t at = std::min(_FailedAt, _Pos);
  if (_FailedAt <= _Size)
    for (; at < _Size && IsSpace(_pText[at]); ++at)
      ;
  if (at < _Size && _FailedAt <= _Size)
    return LineOf(at);
  // The last item taken in: the last character other than white space before the stop.
  for (at = std::min(at, _Size); at > 0 && IsSpace(_pText[at - 1]); --at)
    ;
  return at == 0 ? 1 : LineOf(at - 1);
}

std::int32_t QAVTasTextScanner::ValueLine(std::size_t iValue) const
{
  return iValue < _Values.size() ? LineOf(_Values[iValue]) : StopLine();
}

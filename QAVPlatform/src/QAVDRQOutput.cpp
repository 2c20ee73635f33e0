#include "QAVDRQOutput.h"

#include <iostream>

DRQMANIP drqsetw(std::int32_t iWidth)
{
  return DRQMANIP{iWidth};
}

QAVDRQOutput& QAVDRQOutput::GetOut()
{
  static QAVDRQOutput out;
  return out;
}

QAVDRQOutput::QAVDRQOutput() : _Stream(nullptr) {}

void QAVDRQOutput::SetBuffer(std::streambuf* ipBuffer)
{
  _pBuffer = ipBuffer;
}

// The stream keeps its own formatting and pending width; only the buffer is looked up anew, so
// output lands wherever std::cout (or the chosen buffer) points at the moment of writing.
std::ostream& QAVDRQOutput::Target()
{
  std::streambuf* buffer = _pBuffer != nullptr ? _pBuffer : std::cout.rdbuf();
  if (_Stream.rdbuf() != buffer)
    _Stream.rdbuf(buffer);
  _Stream.clear();
  return _Stream;
}

QAVDRQOutput& QAVDRQOutput::operator<<(const char* iText)
{
  Target() << (iText != nullptr ? iText : "");
  return *this;
}

QAVDRQOutput& QAVDRQOutput::operator<<(std::int32_t iValue)
{
  Target() << iValue;
  return *this;
}

QAVDRQOutput& QAVDRQOutput::operator<<(long iValue)
{
  Target() << iValue;
  return *this;
}

QAVDRQOutput& QAVDRQOutput::operator<<(double iValue)
{
  Target() << iValue;
  return *this;
}

QAVDRQOutput& QAVDRQOutput::operator<<(DRQMANIP iManip)
{
  _Stream.width(iManip._Width);
  return *this;
}

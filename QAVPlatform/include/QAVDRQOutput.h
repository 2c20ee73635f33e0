#ifndef QAVDRQOutput_H
#define QAVDRQOutput_H

#include "QAVPlatformExport.h"

#include <cstdint>
#include <ostream>
#include <streambuf>

// The width manipulator of the platform stream: drqsetw(n) right-aligns the next insertion in
// n characters.
struct DRQMANIP
{
  std::int32_t _Width;
};

QAV_PLATFORM_API DRQMANIP drqsetw(std::int32_t iWidth);

// The platform's text output stream. It writes to standard output (following std::cout, so a
// redirected std::cout is honoured) or to a buffer set with SetBuffer, always with a stream's
// default formatting: doubles in general notation with 6 significant digits, whatever the
// formatting state of std::cout.
class QAV_PLATFORM_API QAVDRQOutput
{
public:
  static QAVDRQOutput& GetOut();

  // Null (the default) follows std::cout.
  void SetBuffer(std::streambuf* ipBuffer);

  QAVDRQOutput& operator<<(const char* iText);
  QAVDRQOutput& operator<<(std::int32_t iValue);
  QAVDRQOutput& operator<<(long iValue);
  QAVDRQOutput& operator<<(double iValue);
  QAVDRQOutput& operator<<(DRQMANIP iManip);

  QAVDRQOutput(const QAVDRQOutput&) = delete;
  QAVDRQOutput& operator=(const QAVDRQOutput&) = delete;

private:
  QAVDRQOutput();
  std::ostream& Target();

  std::streambuf* _pBuffer = nullptr;
  std::ostream _Stream;
};

#endif

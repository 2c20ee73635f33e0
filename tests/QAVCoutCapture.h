#ifndef QAVCoutCapture_H
#define QAVCoutCapture_H

#include <iostream>
#include <sstream>
#include <string>

// The suites' one silencer: collects everything written to a stream (std::cout unless told)
// while it lives. The platform stream follows std::cout, so it is captured too.
class QAVCoutCapture
{
public:
  explicit QAVCoutCapture(std::ostream& ioStream = std::cout) : _Stream(ioStream), _Saved(ioStream.rdbuf(_Text.rdbuf()))
  {
  }
  ~QAVCoutCapture() { _Stream.rdbuf(_Saved); }
  QAVCoutCapture(const QAVCoutCapture&) = delete;
  QAVCoutCapture& operator=(const QAVCoutCapture&) = delete;

  std::string Text() const { return _Text.str(); }

private:
  std::ostringstream _Text;
  std::ostream& _Stream;
  std::streambuf* _Saved;
};

#endif

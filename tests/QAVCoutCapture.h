#ifndef QAVCoutCapture_H
#define QAVCoutCapture_H

#include <iostream>
#include <sstream>
#include <string>

// Collects everything written to std::cout while it lives.
class QAVCoutCapture
{
public:
  QAVCoutCapture() : _Saved(std::cout.rdbuf(_Text.rdbuf())) {}
  ~QAVCoutCapture() { std::cout.rdbuf(_Saved); }
  QAVCoutCapture(const QAVCoutCapture&) = delete;
  QAVCoutCapture& operator=(const QAVCoutCapture&) = delete;

  std::string Text() const { return _Text.str(); }

private:
  std::ostringstream _Text;
  std::streambuf* _Saved;
};

#endif

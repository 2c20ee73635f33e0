#ifndef QAVNullBuffer_H
#define QAVNullBuffer_H

#include <streambuf>

// A stream buffer that accepts everything and keeps nothing: set it on a stream whose text would
// only slow a long run down.
class QAVNullBuffer : public std::streambuf
{
protected:
  int overflow(int iChar) override { return traits_type::not_eof(iChar); }
  std::streamsize xsputn(const char*, std::streamsize iCount) override { return iCount; }
};

#endif

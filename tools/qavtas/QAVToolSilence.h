#ifndef QAVToolSilence_H
#define QAVToolSilence_H

#include "QAVNullBuffer.h"

#include <iostream>

// Standard output silenced for the object's life: what the engines and the original classes print
// there (reports, construction lines) while a command wants only its answer. The one way every
// command silences it.
class QAVToolSilence
{
public:
  QAVToolSilence() : _pSaved(std::cout.rdbuf(&_Null)) {}
  ~QAVToolSilence() { std::cout.rdbuf(_pSaved); }
  QAVToolSilence(const QAVToolSilence&) = delete;
  QAVToolSilence& operator=(const QAVToolSilence&) = delete;

private:
  QAVNullBuffer _Null;
  std::streambuf* _pSaved;
};

#endif

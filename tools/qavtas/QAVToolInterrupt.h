#ifndef QAVToolInterrupt_H
#define QAVToolInterrupt_H

#include <csignal>

// While it lives, SIGINT and SIGTERM ask a long search to stop, so that it prints what it found,
// instead of ending the process. A second signal ends the process as usual; a signal the process
// was started to ignore (a background job's SIGINT) stays ignored; the previous handlers come back
// when it dies.
class QAVToolInterrupt
{
public:
  QAVToolInterrupt();
  ~QAVToolInterrupt();
  QAVToolInterrupt(const QAVToolInterrupt&) = delete;
  QAVToolInterrupt& operator=(const QAVToolInterrupt&) = delete;

  // A signal came since the construction.
  static bool Requested();

private:
  struct sigaction _SavedInt = {}, _SavedTerm = {};
};

#endif

#include "QAVToolInterrupt.h"

namespace
{
volatile std::sig_atomic_t gRequested = 0;

extern "C" void QAVToolOnInterrupt(int)
{
  gRequested = 1;
}

void Catch(int iSignal, struct sigaction& oSaved)
{
  struct sigaction action = {};
  action.sa_handler = QAVToolOnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(iSignal, nullptr, &oSaved);
  if (oSaved.sa_handler != SIG_IGN)
    sigaction(iSignal, &action, nullptr);
}
} // namespace

QAVToolInterrupt::QAVToolInterrupt()
{
  gRequested = 0;
  Catch(SIGINT, _SavedInt);
  Catch(SIGTERM, _SavedTerm);
}

QAVToolInterrupt::~QAVToolInterrupt()
{
  sigaction(SIGINT, &_SavedInt, nullptr);
  sigaction(SIGTERM, &_SavedTerm, nullptr);
}

bool QAVToolInterrupt::Requested()
{
  return gRequested != 0;
}

#include "QAVToolProgress.h"

#include <cstdio>
#include <unistd.h>

QAVToolProgress::Mode QAVToolProgress::Choose(bool iQuiet, bool iForced)
{
  if (iQuiet)
    return Mode::Off;
  if (iForced)
    return Mode::Forced;
  return ::isatty(STDERR_FILENO) ? Mode::Terminal : Mode::Off;
}

void QAVToolProgress::Update(const QAVGAProgress& iProgress)
{
  if (_Mode == Mode::Off)
    return;
  const Clock::time_point now = Clock::now();
  const double elapsed = std::chrono::duration<double>(now - _Start).count();
  if (_Mode == Mode::Terminal && elapsed < 1.0)
    return;
  if (_Shown && now - _LastDrawn < std::chrono::milliseconds(100))
    return;
  _LastDrawn = now;
  _Shown = true;
  std::fprintf(stderr, "\rgeneration %d  best fitness %.6g  evaluations %lld  %.1f s%s",
               static_cast<int>(iProgress._Generation), iProgress._OptimumFitness,
               static_cast<long long>(iProgress._Evaluations), elapsed, _Mode == Mode::Terminal ? "\033[K" : "");
  std::fflush(stderr);
}

void QAVToolProgress::Finish()
{
  if (!_Shown)
    return;
  _Shown = false;
  std::fputs(_Mode == Mode::Terminal ? "\r\033[K" : "\n", stderr);
  std::fflush(stderr);
}

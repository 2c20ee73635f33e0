#include "QAVToolProgress.h"

#include <cmath>
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

double QAVToolProgress::Due(Clock::duration iPeriod)
{
  if (_Mode == Mode::Off)
    return -1.0;
  const Clock::time_point now = Clock::now();
  const double elapsed = std::chrono::duration<double>(now - _Start).count();
  if ((_Mode == Mode::Terminal && elapsed < 1.0) || (_Shown && now - _LastDrawn < iPeriod))
    return -1.0;
  _LastDrawn = now;
  _Shown = true;
  return elapsed;
}

void QAVToolProgress::Draw(const char* iLine)
{
  std::fprintf(stderr, "\r%s%s", iLine, _Mode == Mode::Terminal ? "\033[K" : "");
  std::fflush(stderr);
}

void QAVToolProgress::Update(const QAVGAProgress& iProgress)
{
  const double elapsed = Due(std::chrono::milliseconds(100));
  if (elapsed < 0.0)
    return;
  char line[160];
  std::snprintf(line, sizeof line, "generation %d  best fitness %.6g  evaluations %lld  %.1f s",
                static_cast<int>(iProgress._Generation), iProgress._OptimumFitness,
                static_cast<long long>(iProgress._Evaluations), elapsed);
  Draw(line);
}

void QAVToolProgress::Update(const QAVTasProcessSelector::Progress& iProgress)
{
  const double elapsed = Due(std::chrono::seconds(1));
  if (elapsed < 0.0)
    return;
  char cost[32] = "none", gap[32] = "-", line[200];
  if (std::isfinite(iProgress.Cost))
  {
    std::snprintf(cost, sizeof cost, "%.10g", iProgress.Cost);
    std::snprintf(gap, sizeof gap, "%.2g %%", 100.0 * iProgress.RelativeGap);
  }
  std::snprintf(line, sizeof line, "nodes %lld  best cost %s  bound %.10g  gap %s  %.1f s",
                static_cast<long long>(iProgress.Nodes), cost, iProgress.LowerBound, gap, elapsed);
  Draw(line);
}

void QAVToolProgress::Finish()
{
  if (!_Shown)
    return;
  _Shown = false;
  std::fputs(_Mode == Mode::Terminal ? "\r\033[K" : "\n", stderr);
  std::fflush(stderr);
}

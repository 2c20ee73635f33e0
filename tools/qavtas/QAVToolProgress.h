#ifndef QAVToolProgress_H
#define QAVToolProgress_H

#include "QAVGAProgress.h"
#include "QAVTasProcessSelector.h"

#include <chrono>

// The one-line progress indicator of a long run on standard error: generation, best fitness,
// evaluations, elapsed time, redrawn at most ten times a second; or a branch and bound's nodes,
// best cost, bound and gap, redrawn once a second. Shown once a run has lasted a second when
// standard error is a terminal, from the start when forced (--progress), never when quiet. The
// line is cleared (terminal) or ended (forced) when the run ends.
class QAVToolProgress
{
public:
  enum class Mode
  {
    Off,
    Terminal,
    Forced
  };
  // Terminal when standard error is one, else Off; Forced and quiet as asked.
  static Mode Choose(bool iQuiet, bool iForced);

  explicit QAVToolProgress(Mode iMode) : _Mode(iMode) {}
  ~QAVToolProgress() { Finish(); }
  QAVToolProgress(const QAVToolProgress&) = delete;
  QAVToolProgress& operator=(const QAVToolProgress&) = delete;

  void Update(const QAVGAProgress& iProgress);
  void Update(const QAVTasProcessSelector::Progress& iProgress);
  void Finish();

private:
  using Clock = std::chrono::steady_clock;
  // Seconds since the start when the line is due again after iPeriod; negative when not.
  double Due(Clock::duration iPeriod);
  void Draw(const char* iLine);

  Mode _Mode;
  Clock::time_point _Start = Clock::now();
  Clock::time_point _LastDrawn{};
  bool _Shown = false;
};

#endif

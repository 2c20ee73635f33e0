#ifndef QAVToolSession_H
#define QAVToolSession_H

#include "QAVGAProgress.h"
#include "QAVSamInstanciateError.h"
#include "QAVToolCli.h"
#include "QAVToolExit.h"
#include "QAVToolLineReader.h"
#include "QAVToolProgress.h"
#include "QAVToolSilence.h"

#include <chrono>
#include <optional>
#include <string>

// What one run of a command shares, set from the common options: --quiet and --json silence the
// engines' reports on standard output (the answer is printed after Speak); --debug hands every
// library error report (with its source file and line) to standard error, which people otherwise
// never see; the progress indicator follows the engine's per-generation observer. Every command
// runs in one: its exit statuses are QAVToolExit's, its inputs are named by InputName.
class QAVToolSession
{
public:
  QAVToolSession(const std::string& iCommand, const QAVToolCli::Common& iCommon);
  ~QAVToolSession();
  QAVToolSession(const QAVToolSession&) = delete;
  QAVToolSession& operator=(const QAVToolSession&) = delete;

  const QAVToolCli::Common& Options() const { return _Common; }
  // Every generation of ioEngine's runs goes to the progress line and to iRecord (may be empty).
  template <class Engine, class Record>
  void Watch(Engine& ioEngine, Record iRecord)
  {
    ioEngine.SetObserver(
      [this, iRecord](const QAVGAProgress& p)
      {
        iRecord(p);
        _Progress.Update(p);
        return QAVGAObserverReply::Continue;
      });
  }
  // Shows a run's progress (for engines without an observer).
  void Progress(const QAVGAProgress& iProgress) { _Progress.Update(iProgress); }
  // Ends the progress line and gives standard output back for the answer.
  void Speak();

  // Prints "qavtas COMMAND: iMessage" on standard error and returns iStatus.
  int Fail(QAVToolExit::Status iStatus, const std::string& iMessage) const;
  // "standard input" for "-", else the path.
  static std::string InputName(const std::string& iPath) { return QAVToolLineReader::InputName(iPath); }
  // The last library report's source, " (FILE, line N)", with --debug; else empty.
  std::string Detail() const;
  // Seconds since the session began.
  double Seconds() const;
  // Writes iText to iPath ("-": standard output); 0, or 1 after a line naming the path.
  int Write(const std::string& iPath, const std::string& iText) const;

private:
  std::string _Command;
  QAVToolCli::Common _Common;
  QAVToolProgress _Progress;
  std::optional<QAVToolSilence> _Silence; // until Speak
  QAVSamErrorSink _SavedSink;
  std::chrono::steady_clock::time_point _Start = std::chrono::steady_clock::now();
};

#endif

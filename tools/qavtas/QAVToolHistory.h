#ifndef QAVToolHistory_H
#define QAVToolHistory_H

#include "QAVGAProgress.h"
#include "QAVToolOptions.h"

#include <string>
#include <vector>

// --history FILE.csv and --plot FILE.svg of the commands that run an engine: the run's progress,
// one record per generation (the initial population is generation 0).
class QAVToolHistory
{
public:
  static constexpr const char* kHelp =
    "  --history FILE      write one line per generation to the CSV file FILE:\n"
    "                      generation,best_fitness,evaluations (generation 0 is the\n"
    "                      initial population)\n"
    "  --plot FILE         draw the convergence curve into the SVG file FILE\n";

  // True when iName was --history or --plot (its value is taken).
  bool TakeOption(QAVToolOptions& ioOptions, const std::string& iName);

  bool Wanted() const { return !_CsvPath.empty() || !_PlotPath.empty(); }

  // Records the run of ioEngine when a file was asked for.
  template <class Engine>
  void Watch(Engine& ioEngine)
  {
    if (Wanted())
      ioEngine.SetObserver([this](const QAVGAProgress& p) {
        _Records.push_back(p);
        return QAVGAObserverReply::Continue;
      });
  }

  // Writes the files asked for; 0, or 1 after a line on standard error naming the file.
  int Write(const std::string& iCommand, const std::string& iTitle) const;

  const std::vector<QAVGAProgress>& Records() const { return _Records; }

private:
  bool WriteCsv() const;
  bool WritePlot(const std::string& iTitle) const;

  std::string _CsvPath, _PlotPath;
  std::vector<QAVGAProgress> _Records;
};

#endif

#ifndef QAVToolHistory_H
#define QAVToolHistory_H

#include "QAVGAProgress.h"
#include "QAVToolCli.h"
#include "QAVToolSession.h"

#include <string>
#include <vector>

// --history FILE.csv and --plot FILE.svg of the commands that run an engine: the run's progress,
// one record per generation (the initial population is generation 0).
class QAVToolHistory
{
public:
  // Declares --history and --plot.
  void Declare(QAVToolCli& ioCli);

  bool Wanted() const { return !_CsvPath.empty() || !_PlotPath.empty(); }
  void Record(const QAVGAProgress& iProgress)
  {
    if (Wanted())
      _Records.push_back(iProgress);
  }

  // Writes the files asked for; 0, or 1 after a line on standard error naming the file.
  int Write(const QAVToolSession& iSession, const std::string& iTitle) const;

  const std::vector<QAVGAProgress>& Records() const { return _Records; }

private:
  std::string CsvText() const;
  std::string PlotText(const std::string& iTitle) const;

  std::string _CsvPath, _PlotPath;
  std::vector<QAVGAProgress> _Records;
};

#endif

#ifndef QAVToolGenomeLog_H
#define QAVToolGenomeLog_H

#include <string>

// Where 'qavtas parameters' puts the genome log. The library writes it under a fixed name in the
// temporary directory; the tool points that directory, for the run, at a private folder of its
// own (mkdtemp: nobody else can plant a file or a link there) and then moves the log to its
// destination: the file asked for, or by default a new file created exclusively (mkstemp) in
// $TMPDIR, or /tmp when $TMPDIR is missing or unusable. The private folder is always removed.
class QAVToolGenomeLog
{
public:
  QAVToolGenomeLog() = default;
  ~QAVToolGenomeLog();
  QAVToolGenomeLog(const QAVToolGenomeLog&) = delete;
  QAVToolGenomeLog& operator=(const QAVToolGenomeLog&) = delete;

  // Before the run: iPath is the destination, empty for the default. False with Error().
  bool Open(const std::string& iPath);
  // After the run: moves the log to its destination and restores $TMPDIR. False with Error().
  bool Close();

  const std::string& Path() const { return _Path; }
  const std::string& Error() const { return _Error; }

private:
  void Restore();

  std::string _Path, _Error, _Private, _SavedTmpdir;
  bool _HadTmpdir = false, _Redirected = false;
  bool _Reserved = false; // the default file, created empty by Open: removed unless the log reached it
};

#endif

#ifndef QAVTasDataScanner_H
#define QAVTasDataScanner_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What the tolerancing data-file reader asks of its input: scanf-style steps with fscanf's results
// (a literal step gives 0 when it matched or stopped at a mismatch, EOF when the input ended; a
// conversion step gives 1 when it converted). The reader's steps are written once against this.
class QAVTasDataScanner
{
public:
  virtual ~QAVTasDataScanner() = default;
  // A format without conversions.
  virtual int Literal(const char* iFormat) = 0;
  // A format with one %lld.
  virtual int Integer(const char* iFormat, long long* opValue) = 0;
  // A format with one %lf.
  virtual int Real(const char* iFormat, double* opValue) = 0;
  // Characters left to read; -1 when the input cannot tell (a pipe).
  virtual std::int64_t Remaining() = 0;
};

// A stream, read by fscanf itself: what ReadDataFile has always done.
class QAVTasFileScanner final : public QAVTasDataScanner
{
public:
  explicit QAVTasFileScanner(FILE* ipFile) : _pFile(ipFile) {}
  int Literal(const char* iFormat) override;
  int Integer(const char* iFormat, long long* opValue) override;
  int Real(const char* iFormat, double* opValue) override;
  std::int64_t Remaining() override;

private:
  FILE* _pFile;
};

// A text in memory, scanned as fscanf scans a stream (each conversion by sscanf on a copy of the
// few words it can reach, so a long text costs no more than a short one per step), keeping where
// each step began so that a failure can be placed on its line.
class QAVTasTextScanner final : public QAVTasDataScanner
{
public:
  explicit QAVTasTextScanner(const std::string& iText);
  int Literal(const char* iFormat) override;
  int Integer(const char* iFormat, long long* opValue) override;
  int Real(const char* iFormat, double* opValue) override;
  std::int64_t Remaining() override { return static_cast<std::int64_t>(_Size - _Pos); }

  // Line (from 1) where reading stopped: of the item a failed conversion met (of the last item when
  // the text ended), else of the last item taken in.
  std::int32_t StopLine() const;
  // Line of the k-th value converted by Real, in reading order.
  std::int32_t ValueLine(std::size_t iValue) const;

private:
  template <class T>
  int Convert(const char* iFormat, T* opValue);
  void CopyReach(const char* iFormat);
  std::int32_t LineOf(std::size_t iOffset) const;

  const char* _pText;
  std::size_t _Size, _Pos = 0;
  std::size_t _FailedAt;            // start of a failed conversion; _Size + 1 when none failed
  std::vector<std::size_t> _Values; // where each value began
  std::string _Reach;               // the words a conversion can reach, NUL-terminated
};

#endif

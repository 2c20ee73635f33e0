#ifndef QAVTasToleranceStaging_H
#define QAVTasToleranceStaging_H

#include "QAVHResult.h"

#include <cstdint>

class QAVTasDataScanner;
class QAVTasOptimizerTolerancing;

// A tolerancing problem read in full before anything takes it: it owns its arrays (in
// QAVTasOptimizerTolerancing's layout) until Swap hands them over, and then frees the ones it took
// back. Read runs the data file's steps (QAVTasDataFileItems) and reports a failing one at its line.
struct QAVTasToleranceStaging
{
  std::int32_t form = 0, nx = 0, ny = 0;
  double** w = nullptr;
  double *ymin = nullptr, *ymax = nullptr, *xinf = nullptr, *xsup = nullptr;
  std::int32_t stoppedAt = 0; // the step that failed (a line of QAVTasDataFileItems)

  QAVTasToleranceStaging() = default;
  QAVTasToleranceStaging(const QAVTasToleranceStaging&) = delete;
  QAVTasToleranceStaging& operator=(const QAVTasToleranceStaging&) = delete;
  ~QAVTasToleranceStaging();

  HRESULT Read(QAVTasDataScanner& ioIn);
  void Swap(QAVTasOptimizerTolerancing& ioObject);

private:
  HRESULT ReadCounts(QAVTasDataScanner& ioIn);
  HRESULT ReadW(QAVTasDataScanner& ioIn);
  HRESULT ReadBounds(QAVTasDataScanner& ioIn);
  HRESULT ReadRow(QAVTasDataScanner& ioIn, double* oValues, std::int32_t iCount, std::int32_t iValuesStep,
                  std::int32_t iEndStep);
  HRESULT Stop(std::int32_t iStep);
  HRESULT Refuse(std::int32_t iStep);
};

#endif

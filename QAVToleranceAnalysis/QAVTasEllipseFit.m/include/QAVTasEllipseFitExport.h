#ifndef QAVTasEllipseFitExport_H
#define QAVTasEllipseFitExport_H

// The fit library builds with hidden visibility: only what carries this mark is its API.
#if defined(QAV_TASFIT_BUILD)
#define QAV_TASFIT_API __attribute__((visibility("default")))
#else
#define QAV_TASFIT_API
#endif

#endif

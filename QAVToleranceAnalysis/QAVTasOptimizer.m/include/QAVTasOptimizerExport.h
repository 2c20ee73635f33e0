#ifndef QAVTasOptimizerExport_H
#define QAVTasOptimizerExport_H

// The library builds with hidden visibility: only what carries this mark is its API.
#if defined(QAV_TASOPT_BUILD)
#define QAV_TASOPT_API __attribute__((visibility("default")))
#else
#define QAV_TASOPT_API
#endif

#endif

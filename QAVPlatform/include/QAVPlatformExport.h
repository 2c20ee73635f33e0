#ifndef QAVPlatformExport_H
#define QAVPlatformExport_H

// The platform library builds with hidden visibility: only what carries this mark is its API.
#if defined(QAV_PLATFORM_BUILD)
#define QAV_PLATFORM_API __attribute__((visibility("default")))
#else
#define QAV_PLATFORM_API
#endif

#endif

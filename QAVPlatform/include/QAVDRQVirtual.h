#ifndef QAVDRQVirtual_H
#define QAVDRQVirtual_H

#include "QAVPlatformExport.h"

#include <cstddef>
#include <cstdint>

// Root of the platform's polymorphic objects. Objects of its subclasses are created and released
// through its own allocation operators, which keep a count of the live objects so that a caller
// (or a test) can see that every object it made was released.
class QAV_PLATFORM_API QAVDRQVirtual
{
public:
  QAVDRQVirtual() = default;
  QAVDRQVirtual(const QAVDRQVirtual&) = default;
  QAVDRQVirtual& operator=(const QAVDRQVirtual&) = default;
  virtual ~QAVDRQVirtual();

  static void* operator new(std::size_t iSize);
  static void operator delete(void* ipObject) noexcept;

  // Objects allocated by operator new and not yet released.
  static std::int32_t GetLiveObjectCount();
};

#endif

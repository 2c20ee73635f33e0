#ifndef QAVAllocationCap_H
#define QAVAllocationCap_H

// Replaces the global allocation functions of the suite that includes it (one source per suite):
// a request above 1 GiB fails as if memory were exhausted, so that a test can ask for an array
// that cannot be had without the machine trying to provide it. QAVLargestRequest tells whether
// an operation even tried; QAVAllocations counts every allocation in the process, the library's
// included.
#include <cstdlib>
#include <new>

inline std::size_t QAVLargestRequest = 0;
inline long QAVAllocations = 0;

inline void* QAVCappedAllocate(std::size_t iSize)
{
  ++QAVAllocations;
  QAVLargestRequest = iSize > QAVLargestRequest ? iSize : QAVLargestRequest;
  return iSize > (std::size_t{1} << 30) ? nullptr : std::malloc(iSize ? iSize : 1);
}

// Out of line, so that the compiler does not see free() meet a pointer from operator new.
[[gnu::noinline]] inline void QAVCappedRelease(void* ipBlock) noexcept
{
  std::free(ipBlock);
}

void* operator new(std::size_t iSize)
{
  void* p = QAVCappedAllocate(iSize);
  if (!p)
    throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t iSize)
{
  return operator new(iSize);
}
void* operator new(std::size_t iSize, const std::nothrow_t&) noexcept
{
  return QAVCappedAllocate(iSize);
}
void* operator new[](std::size_t iSize, const std::nothrow_t&) noexcept
{
  return QAVCappedAllocate(iSize);
}
void operator delete(void* p) noexcept
{
  QAVCappedRelease(p);
}
void operator delete[](void* p) noexcept
{
  QAVCappedRelease(p);
}
void operator delete(void* p, std::size_t) noexcept
{
  QAVCappedRelease(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
  QAVCappedRelease(p);
}

#endif

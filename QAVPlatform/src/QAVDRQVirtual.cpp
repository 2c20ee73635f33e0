#include "QAVDRQVirtual.h"

#include <new>

namespace
{
std::int32_t sLiveObjects = 0;
}

QAVDRQVirtual::~QAVDRQVirtual() = default;

void* QAVDRQVirtual::operator new(std::size_t iSize)
{
  void* object = ::operator new(iSize);
  ++sLiveObjects;
  return object;
}

void QAVDRQVirtual::operator delete(void* ipObject) noexcept
{
  if (ipObject == nullptr)
    return;
  --sLiveObjects;
  ::operator delete(ipObject);
}

std::int32_t QAVDRQVirtual::GetLiveObjectCount()
{
  return sLiveObjects;
}

#include "QAVBaseUnknown.h"

#include <atomic>

namespace
{
std::atomic<std::int64_t> gOutstandingReferences{0};
}

QAVBaseUnknown::QAVBaseUnknown()
{
  ++gOutstandingReferences;
}

QAVBaseUnknown::~QAVBaseUnknown() = default;

HRESULT QAVBaseUnknown::QueryInterface(const QAVIID& iIID, void** oppObject)
{
  if (iIID == QAVBaseUnknown::IID)
    return Answer(this, oppObject);
  if (oppObject)
    *oppObject = nullptr;
  return E_FAIL;
}

HRESULT QAVBaseUnknown::Answer(void* ipInterface, void** oppObject)
{
  if (!oppObject)
    return E_FAIL;
  *oppObject = ipInterface;
  AddRef();
  return S_OK;
}

std::int32_t QAVBaseUnknown::AddRef()
{
  ++gOutstandingReferences;
  return ++_RefCount;
}

std::int32_t QAVBaseUnknown::Release()
{
  --gOutstandingReferences;
  const std::int32_t count = --_RefCount;
  if (count == 0)
    delete this;
  return count;
}

std::int64_t QAVBaseUnknown::OutstandingReferences()
{
  return gOutstandingReferences.load();
}

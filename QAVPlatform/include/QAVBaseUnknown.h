#ifndef QAVBaseUnknown_H
#define QAVBaseUnknown_H

#include "QAVHResult.h"
#include "QAVIID.h"
#include "QAVPlatformExport.h"

#include <cstdint>

// Reference-counted base of every platform object. An object is born with one reference,
// owned by its creator; the last Release deletes it. Interfaces derive virtually from this
// class so that an object implementing several of them has one count.
//
// QueryInterface hands out the object as the interface asked for, with one added reference
// that the caller releases, or fails with E_FAIL and a null pointer.
class QAV_PLATFORM_API QAVBaseUnknown
{
public:
  static constexpr QAVIID IID{"QAVBaseUnknown"};

  virtual HRESULT QueryInterface(const QAVIID& iIID, void** oppObject);
  std::int32_t AddRef();
  std::int32_t Release();
  std::int32_t GetRefCount() const { return _RefCount; }

  // Typed form: opInterface receives the interface I (with one reference) or null.
  template <class I>
  HRESULT QueryInterface(I*& opInterface)
  {
    void* pObject = nullptr;
    const HRESULT hr = QueryInterface(I::IID, &pObject);
    opInterface = static_cast<I*>(pObject);
    return hr;
  }

  // Sum of the reference counts of every live platform object in the process; a test takes
  // it before and after a piece of work to prove that every reference taken was given back.
  static std::int64_t OutstandingReferences();

  QAVBaseUnknown(const QAVBaseUnknown&) = delete;
  QAVBaseUnknown& operator=(const QAVBaseUnknown&) = delete;

protected:
  QAVBaseUnknown();
  virtual ~QAVBaseUnknown();

  // For QueryInterface overrides: hands out ipInterface with one added reference.
  HRESULT Answer(void* ipInterface, void** oppObject);

private:
  std::int32_t _RefCount = 1;
};

#endif

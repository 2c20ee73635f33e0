#ifndef QAVBaseUnknown_var_H
#define QAVBaseUnknown_var_H

#include "QAVBaseUnknown.h"

#include <utility>

// Handle on a platform object: holds one reference of its own for as long as it points at
// the object. Built from a raw pointer it adds a reference; the caller keeps its own.
class QAVBaseUnknown_var
{
public:
  QAVBaseUnknown_var() = default;
  QAVBaseUnknown_var(QAVBaseUnknown* ipObject) : _pObject(ipObject)
  {
    if (_pObject)
      _pObject->AddRef();
  }
  QAVBaseUnknown_var(const QAVBaseUnknown_var& iOther) : QAVBaseUnknown_var(iOther._pObject) {}
  QAVBaseUnknown_var(QAVBaseUnknown_var&& ioOther) noexcept : _pObject(std::exchange(ioOther._pObject, nullptr)) {}
  QAVBaseUnknown_var& operator=(QAVBaseUnknown_var iOther) noexcept
  {
    std::swap(_pObject, iOther._pObject);
    return *this;
  }
  ~QAVBaseUnknown_var()
  {
    if (_pObject)
      _pObject->Release();
  }

  QAVBaseUnknown* Get() const { return _pObject; }
  QAVBaseUnknown* operator->() const { return _pObject; }
  explicit operator bool() const { return _pObject != nullptr; }
  bool operator!() const { return _pObject == nullptr; }
  bool operator==(const QAVBaseUnknown_var& iOther) const { return _pObject == iOther._pObject; }
  bool operator!=(const QAVBaseUnknown_var& iOther) const { return _pObject != iOther._pObject; }

  // opInterface receives the interface I with one reference, or null (also for a null handle).
  template <class I>
  HRESULT QueryInterface(I*& opInterface) const
  {
    opInterface = nullptr;
    return _pObject ? _pObject->QueryInterface(opInterface) : E_FAIL;
  }

private:
  QAVBaseUnknown* _pObject = nullptr;
};

#endif

#ifndef QAVInterfacePtr_H
#define QAVInterfacePtr_H

#include "QAVBaseUnknown_var.h"

#include <utility>

// Owner of one reference on an interface I obtained from the platform (by QueryInterface or
// an accessor with an out pointer); releases it when it goes out of scope.
template <class I>
class QAVInterfacePtr
{
public:
  QAVInterfacePtr() = default;
  QAVInterfacePtr(const QAVInterfacePtr&) = delete;
  QAVInterfacePtr& operator=(const QAVInterfacePtr&) = delete;
  ~QAVInterfacePtr() { Reset(); }

  // Queries I on iObject; a null handle or an object without I leaves this null.
  HRESULT QueryFrom(const QAVBaseUnknown_var& iObject)
  {
    Reset();
    return iObject.QueryInterface(_pInterface);
  }

  // For an accessor that hands out a reference through an I*& argument.
  I*& Out()
  {
    Reset();
    return _pInterface;
  }

  void Reset()
  {
    if (_pInterface)
      std::exchange(_pInterface, nullptr)->Release();
  }

  I* Get() const { return _pInterface; }
  I* operator->() const { return _pInterface; }
  I& operator*() const { return *_pInterface; }
  explicit operator bool() const { return _pInterface != nullptr; }

private:
  I* _pInterface = nullptr;
};

#endif

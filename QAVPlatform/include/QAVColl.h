#ifndef QAVColl_H
#define QAVColl_H

#include "QAVHResult.h"

#include <cstdint>
#include <vector>

// 1-based collection of values, the shape shared by the platform's lists. Reading a position
// outside 1..Size() gives a default value (0, null) instead of touching memory out of range.
template <class T>
class QAVColl
{
public:
  std::int32_t Size() const { return static_cast<std::int32_t>(_Items.size()); }

  T operator[](std::int32_t iPosition) const
  {
    return Holds(iPosition) ? _Items[static_cast<std::size_t>(iPosition - 1)] : T();
  }

  HRESULT Set(std::int32_t iPosition, const T& iValue)
  {
    if (!Holds(iPosition))
      return E_FAIL;
    _Items[static_cast<std::size_t>(iPosition - 1)] = iValue;
    return S_OK;
  }

  void Append(const T& iValue) { _Items.push_back(iValue); }

  HRESULT RemovePosition(std::int32_t iPosition)
  {
    if (!Holds(iPosition))
      return E_FAIL;
    _Items.erase(_Items.begin() + (iPosition - 1));
    return S_OK;
  }

  void RemoveAll() { _Items.clear(); }

private:
  bool Holds(std::int32_t iPosition) const { return iPosition >= 1 && iPosition <= Size(); }

  std::vector<T> _Items;
};

#endif

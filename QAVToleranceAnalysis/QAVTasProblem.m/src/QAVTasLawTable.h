#ifndef QAVTasLawTable_H
#define QAVTasLawTable_H

#include "QAVTasAllocationProblem.h"

#include <atomic>

class QAVTasStackupLaw;

// The storage of QAVTasStackupLaws, read inline by the value of every stack-up: a bounds check and
// a load, no call and no guard. A slot once set never changes, so an acquire load sees its law
// whole; the model's laws are set on the first look-up of an empty slot.
class QAVTasLawTable
{
public:
  static constexpr int kKeys = 16;

  static const QAVTasStackupLaw* At(QAVTasAllocationProblem::Law iKey)
  {
    const int key = static_cast<int>(iKey);
    if (key < 0 || key >= kKeys)
      return nullptr;
    const QAVTasStackupLaw* law = _Slots[key].load(std::memory_order_acquire);
    return law != nullptr ? law : BuiltIn(key);
  }

  // Sets an empty slot (the model's laws first): false when the key is out of range or taken.
  static bool Set(int iKey, const QAVTasStackupLaw& iLaw);

private:
  static const QAVTasStackupLaw* BuiltIn(int iKey);
  static std::atomic<const QAVTasStackupLaw*> _Slots[kKeys];
};

#endif

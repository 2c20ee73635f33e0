#include "QAVTasStackupLaws.h"

#include "QAVTasLawTable.h"
#include "QAVTasStackupLaw.h"

#include <stdexcept>

using Law = QAVTasAllocationProblem::Law;

// Each defined in its own file, QAVTas<Law>Law.cpp.
const QAVTasStackupLaw& QAVTasWorstCaseLawInstance();
const QAVTasStackupLaw& QAVTasRssLawInstance();
const QAVTasStackupLaw& QAVTasMeanShiftLawInstance();
const QAVTasStackupLaw& QAVTasLinearLawInstance();

static_assert(QAVTasLawTable::kKeys == QAVTasStackupLaws::kKeys, "one range of keys");
std::atomic<const QAVTasStackupLaw*> QAVTasLawTable::_Slots[QAVTasLawTable::kKeys];

// The registration: a new law is its file and one line here (and its enumerator).
const QAVTasStackupLaw* QAVTasLawTable::BuiltIn(int iKey)
{
  static const bool registered = []
  {
    const std::pair<Law, const QAVTasStackupLaw*> laws[] = {{Law::WorstCase, &QAVTasWorstCaseLawInstance()},
                                                            {Law::Rss, &QAVTasRssLawInstance()},
                                                            {Law::MeanShift, &QAVTasMeanShiftLawInstance()},
                                                            {Law::Linear, &QAVTasLinearLawInstance()}};
    for (const auto& [key, law] : laws)
      _Slots[static_cast<int>(key)].store(law, std::memory_order_release);
    return true;
  }();
  (void)registered;
  return _Slots[iKey].load(std::memory_order_acquire);
}

bool QAVTasLawTable::Set(int iKey, const QAVTasStackupLaw& iLaw)
{
  if (iKey < 0 || iKey >= kKeys || BuiltIn(iKey) != nullptr)
    return false;
  const QAVTasStackupLaw* empty = nullptr;
  return _Slots[iKey].compare_exchange_strong(empty, &iLaw, std::memory_order_acq_rel);
}

const QAVTasStackupLaw* QAVTasStackupLaws::Find(Law iKey)
{
  return QAVTasLawTable::At(iKey);
}

const QAVTasStackupLaw& QAVTasStackupLaws::Of(Law iKey)
{
  const QAVTasStackupLaw* law = QAVTasLawTable::At(iKey);
  if (law == nullptr)
    throw std::out_of_range("no stack-up law is registered under key " + std::to_string(static_cast<int>(iKey)));
  return *law;
}

const QAVTasStackupLaw* QAVTasStackupLaws::Find(const std::string& iName, Law& oKey)
{
  for (int key = 0; key < kKeys; ++key)
  {
    const QAVTasStackupLaw* law = QAVTasLawTable::At(static_cast<Law>(key));
    if (law != nullptr && iName == law->Name())
    {
      oKey = static_cast<Law>(key);
      return law;
    }
  }
  return nullptr;
}

std::vector<const QAVTasStackupLaw*> QAVTasStackupLaws::All()
{
  std::vector<const QAVTasStackupLaw*> all;
  for (int key = 0; key < kKeys; ++key)
    if (const QAVTasStackupLaw* law = QAVTasLawTable::At(static_cast<Law>(key)))
      all.push_back(law);
  return all;
}

bool QAVTasStackupLaws::Register(Law iKey, const QAVTasStackupLaw& iLaw)
{
  Law taken = iKey;
  return Find(iLaw.Name(), taken) == nullptr && QAVTasLawTable::Set(static_cast<int>(iKey), iLaw);
}

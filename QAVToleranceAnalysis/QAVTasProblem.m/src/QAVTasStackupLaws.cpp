#include "QAVTasStackupLaws.h"

#include "QAVTasStackupLaw.h"

#include <array>
#include <stdexcept>

using Law = QAVTasAllocationProblem::Law;

// Each defined in its own file, QAVTas<Law>Law.cpp.
const QAVTasStackupLaw& QAVTasWorstCaseLawInstance();
const QAVTasStackupLaw& QAVTasRssLawInstance();
const QAVTasStackupLaw& QAVTasMeanShiftLawInstance();
const QAVTasStackupLaw& QAVTasLinearLawInstance();

namespace
{
using Table = std::array<const QAVTasStackupLaw*, QAVTasStackupLaws::kKeys>;

// The registration: a new law is its file and one line here (and its enumerator).
Table Registered()
{
  Table table{};
  table[static_cast<int>(Law::WorstCase)] = &QAVTasWorstCaseLawInstance();
  table[static_cast<int>(Law::Rss)] = &QAVTasRssLawInstance();
  table[static_cast<int>(Law::MeanShift)] = &QAVTasMeanShiftLawInstance();
  table[static_cast<int>(Law::Linear)] = &QAVTasLinearLawInstance();
  return table;
}

Table& Laws()
{
  static Table table = Registered();
  return table;
}

bool InRange(Law iKey)
{
  const int key = static_cast<int>(iKey);
  return key >= 0 && key < QAVTasStackupLaws::kKeys;
}
} // namespace

const QAVTasStackupLaw* QAVTasStackupLaws::Find(Law iKey)
{
  return InRange(iKey) ? Laws()[static_cast<int>(iKey)] : nullptr;
}

const QAVTasStackupLaw& QAVTasStackupLaws::Of(Law iKey)
{
  const QAVTasStackupLaw* law = Find(iKey);
  if (law == nullptr)
    throw std::out_of_range("no stack-up law is registered under key " + std::to_string(static_cast<int>(iKey)));
  return *law;
}

const QAVTasStackupLaw* QAVTasStackupLaws::Find(const std::string& iName, Law& oKey)
{
  const Table& laws = Laws();
  for (int key = 0; key < kKeys; ++key)
    if (laws[key] != nullptr && iName == laws[key]->Name())
    {
      oKey = static_cast<Law>(key);
      return laws[key];
    }
  return nullptr;
}

std::vector<const QAVTasStackupLaw*> QAVTasStackupLaws::All()
{
  std::vector<const QAVTasStackupLaw*> all;
  for (const QAVTasStackupLaw* law : Laws())
    if (law != nullptr)
      all.push_back(law);
  return all;
}

bool QAVTasStackupLaws::Register(Law iKey, const QAVTasStackupLaw& iLaw)
{
  Law taken = iKey;
  if (!InRange(iKey) || Find(iKey) != nullptr || Find(iLaw.Name(), taken) != nullptr)
    return false;
  Laws()[static_cast<int>(iKey)] = &iLaw;
  return true;
}

#ifndef QAVTasStackupLaws_H
#define QAVTasStackupLaws_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <string>
#include <vector>

class QAVTasStackupLaw;

// The registered stack-up laws, keyed by QAVTasAllocationProblem::Law. The four laws of the model
// are registered in QAVTasStackupLaws.cpp, one line each; a program may add its own under a key
// beyond the named enumerators.
class QAV_TASOPT_API QAVTasStackupLaws
{
public:
  static constexpr int kKeys = 16; // keys run from 0 to kKeys - 1

  // The law of a key; nullptr when none is registered under it.
  static const QAVTasStackupLaw* Find(QAVTasAllocationProblem::Law iKey);
  // The law of a key that Validate accepted; throws std::out_of_range when none is registered.
  static const QAVTasStackupLaw& Of(QAVTasAllocationProblem::Law iKey);
  // The law with a file name, with its key; nullptr when no law has that name.
  static const QAVTasStackupLaw* Find(const std::string& iName, QAVTasAllocationProblem::Law& oKey);
  // Every registered law, by key.
  static std::vector<const QAVTasStackupLaw*> All();
  // Adds iLaw (which must outlive its use) under iKey: false when the key is out of range or taken,
  // or the name is. Not to be called while problems are being solved or read.
  static bool Register(QAVTasAllocationProblem::Law iKey, const QAVTasStackupLaw& iLaw);
};

#endif

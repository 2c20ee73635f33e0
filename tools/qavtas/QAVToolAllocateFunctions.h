#ifndef QAVToolAllocateFunctions_H
#define QAVToolAllocateFunctions_H

// What `qavtas allocate` works out about stack-ups given by their function: the sensitivities used
// (at the nominals), the worst case on the linear model and on the true function (certified)
// against the limit and the model's tightened limit, and the yield simulated on both.

#include "QAVTasFunctionAllocation.h"
#include "QAVToolAllocateAnswer.h"

#include <cstdint>

class QAVToolAllocateFunctions
{
public:
  static constexpr std::int64_t kSamples = 100000; // assemblies of the yields, seed 1

  // Fills the answer's Functions, FunctionSolves and FunctionSamples; a problem without function
  // stack-ups, or a solve that checked none, leaves them empty.
  static void Check(const QAVTasAllocationProblem& iProblem, const QAVTasFunctionAllocation::Result& iResult,
                    QAVToolAllocateAnswer& ioAnswer);
};

#endif

#ifndef QAVTasAllocationFileFunction_H
#define QAVTasAllocationFileFunction_H

// A stack-up's "function": the assembly value as an expression of the dimensions' names, in place
// of "sensitivities" and "constant". Each refusal names the item's path and the stack-up.
#include "QAVTasAllocationProblem.h"

#include <nlohmann/json.hpp>

#include <string>

namespace QAVTasAllocationFileFunction
{
// Compiles the function and sets the stack-up's linear model at the nominals (before the
// requirement is read, whose derived limit uses it).
void Read(const nlohmann::json& iNode, const std::string& iPath, const QAVTasAllocationProblem& iProblem,
          QAVTasAllocationProblem::Stackup& ioStackup);
} // namespace QAVTasAllocationFileFunction

#endif

#ifndef QAVToolAllocateJson_H
#define QAVToolAllocateJson_H

#include "QAVToolAllocateAnswer.h"

#include <nlohmann/json.hpp>

#include <string>

// The one line of JSON of `qavtas allocate --json`: the status and, for an optimum, the cost, its
// certificate, the tolerances, the stack-ups by name, their contributions and utilisation; then
// whatever else the answer holds. Its keys are those the command's help lists.
class QAVToolAllocateJson
{
public:
  static std::string Text(const QAVToolAllocateAnswer& iAnswer);

  // Adds a member to a JSON object without looking for the key first: an ordered object looks keys
  // up one by one, so filling one by name would take quadratic time. Names of a problem are unique.
  static void Append(nlohmann::ordered_json& ioObject, const std::string& iKey, nlohmann::ordered_json iValue);
};

#endif

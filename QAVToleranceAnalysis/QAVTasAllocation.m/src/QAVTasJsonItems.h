#ifndef QAVTasJsonItems_H
#define QAVTasJsonItems_H

// The checks of the problem file's items, each refusal naming the item's path
// ("stackups[2].sensitivities.x9").
#include <nlohmann/json.hpp>

#include <cmath>
#include <initializer_list>
#include <string>

namespace QAVTasJsonItems
{
using Json = nlohmann::json;

struct Refusal
{
  std::string message;
};

[[noreturn]] inline void Refuse(const std::string& iPath, const std::string& iWhat)
{
  throw Refusal{iPath + ": " + iWhat};
}

inline bool IsNote(const std::string& iKey)
{
  return iKey.compare(0, 2, "x-") == 0;
}

inline std::string At(const std::string& iPath, std::size_t iIndex)
{
  return iPath + "[" + std::to_string(iIndex) + "]";
}

inline std::string Member(const std::string& iPath, const std::string& iKey)
{
  return iPath.empty() ? iKey : iPath + "." + iKey;
}

inline const Json& Object(const Json& iNode, const std::string& iPath, std::initializer_list<const char*> iKeys)
{
  if (!iNode.is_object())
    Refuse(iPath.empty() ? "top level" : iPath, "expected an object");
  for (const auto& item : iNode.items())
  {
    bool known = IsNote(item.key());
    for (const char* key : iKeys)
      known = known || item.key() == key;
    if (!known)
      Refuse(Member(iPath, item.key()), "unknown key");
  }
  return iNode;
}

inline const Json& Array(const Json& iNode, const std::string& iPath)
{
  if (!iNode.is_array())
    Refuse(iPath, "expected an array");
  return iNode;
}

inline const Json& Required(const Json& iObject, const std::string& iPath, const char* iKey)
{
  const auto found = iObject.find(iKey);
  if (found == iObject.end())
    Refuse(Member(iPath, iKey), "missing");
  return *found;
}

inline double Number(const Json& iNode, const std::string& iPath)
{
  if (!iNode.is_number())
    Refuse(iPath, "expected a number");
  const double value = iNode.get<double>();
  if (!std::isfinite(value))
    Refuse(iPath, "not a finite number");
  return value;
}

inline double Number(const Json& iObject, const std::string& iPath, const char* iKey)
{
  return Number(Required(iObject, iPath, iKey), Member(iPath, iKey));
}

// The number under iKey, iDefault when there is none.
inline double Number(const Json& iObject, const std::string& iPath, const char* iKey, double iDefault)
{
  return iObject.contains(iKey) ? Number(iObject, iPath, iKey) : iDefault;
}

inline std::string Text(const Json& iNode, const std::string& iPath)
{
  if (!iNode.is_string())
    Refuse(iPath, "expected a string");
  return iNode.get<std::string>();
}

inline double Positive(const Json& iObject, const std::string& iPath, const char* iKey)
{
  const double value = Number(iObject, iPath, iKey);
  if (value <= 0.0)
    Refuse(Member(iPath, iKey), "must be > 0");
  return value;
}

} // namespace QAVTasJsonItems

#endif

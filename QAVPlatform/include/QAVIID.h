#ifndef QAVIID_H
#define QAVIID_H

#include <cstring>

// Interface identifier. Identifiers compare by name, so an identifier seen through two
// shared libraries is still the same identifier.
struct QAVIID
{
  const char* _Name;
};

inline bool operator==(const QAVIID& iLeft, const QAVIID& iRight)
{
  return std::strcmp(iLeft._Name, iRight._Name) == 0;
}

inline bool operator!=(const QAVIID& iLeft, const QAVIID& iRight)
{
  return !(iLeft == iRight);
}

#endif

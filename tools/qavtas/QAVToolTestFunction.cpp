#include "QAVToolTestFunction.h"

bool QAVToolTestFunction::FromName(const std::string& iName, Kind& oKind)
{
  if (iName == "sphere")
    oKind = Sphere;
  else if (iName == "rosenbrock")
    oKind = Rosenbrock;
  else if (iName == "rastrigin")
    oKind = Rastrigin;
  else
    return false;
  return true;
}

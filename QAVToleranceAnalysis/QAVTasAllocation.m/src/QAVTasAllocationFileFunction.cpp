#include "QAVTasAllocationFileFunction.h"

#include "QAVTasExpression.h"
#include "QAVTasJsonItems.h"

#include <cmath>
#include <sstream>

using namespace QAVTasJsonItems;
using Problem = QAVTasAllocationProblem;

void QAVTasAllocationFileFunction::Read(const Json& iNode, const std::string& iPath, const Problem& iProblem,
                                        Problem::Stackup& ioStackup)
{
  if (!iNode.contains("function"))
    return;
  const std::string path = Member(iPath, "function");
  for (const char* other : {"sensitivities", "constant"})
    if (iNode.contains(other))
      Refuse(Member(iPath, other), "not with \"function\", which gives the stack-up's value whole");
  const std::string text = Text(iNode["function"], path);
  const std::string who = "stack-up '" + ioStackup.Name + "', ";
  try
  {
    const QAVTasExpression f(text, [&iProblem](const std::string& iName) { return iProblem.IndexOf(iName); });
    std::vector<double> x0, g(f.Inputs().size());
    for (const std::int32_t i : f.Inputs())
      x0.push_back(iProblem.Dimensions[static_cast<std::size_t>(i)].Nominal);
    const std::string error = f.DomainError(x0.data());
    if (!error.empty())
      Refuse(path, who + "at the nominals: " + error);
    const double y = f.Gradient(x0.data(), g.data());
    ioStackup.Function = text;
    ioStackup.Sensitivity.clear();
    ioStackup.Constant = y;
    for (std::size_t k = 0; k < g.size(); ++k)
    {
      ioStackup.Sensitivity.emplace_back(f.Inputs()[k], g[k]);
      ioStackup.Constant -= g[k] * x0[k];
    }
  }
  catch (const QAVTasExpression::ParseError& e)
  {
    Refuse(path, who + e.what());
  }
}

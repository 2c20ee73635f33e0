#include "QAVTasStackupLaw.h"

#include <cmath>
#include <cstddef>

// The general form, term by term; the registered laws write their own Value and Gradient where
// speed or their operation order matters.
double QAVTasStackupLaw::Value(const Problem& iProblem, const Stackup& iStackup, const double* ipT) const
{
  double sum = 0.0, squares = 0.0;
  for (const auto& [i, w] : iStackup.Sensitivity)
  {
    const Term term = TermOf(w, iProblem.Dimensions[i].MeanShift);
    const double r = term.Cone * ipT[i];
    sum += term.Linear * ipT[i];
    squares += r * r;
  }
  return HasCone() ? sum + ConeFactor(iStackup) * std::sqrt(squares) : sum;
}

void QAVTasStackupLaw::Gradient(const Problem& iProblem, const Stackup& iStackup, const double* ipT, double* opG) const
{
  double squares = 0.0;
  for (const auto& [i, w] : iStackup.Sensitivity)
  {
    const double r = TermOf(w, iProblem.Dimensions[i].MeanShift).Cone * ipT[i];
    squares += r * r;
  }
  const double norm = std::sqrt(squares), factor = ConeFactor(iStackup);
  for (std::size_t e = 0; e < iStackup.Sensitivity.size(); ++e)
  {
    const auto [i, w] = iStackup.Sensitivity[e];
    const Term term = TermOf(w, iProblem.Dimensions[i].MeanShift);
    opG[e] = term.Linear + (norm > 0.0 ? factor * term.Cone * term.Cone * ipT[i] / norm : 0.0);
  }
}

void QAVTasStackupLaw::Shares(const Problem& iProblem, const Stackup& iStackup, const double* ipT,
                              double* opPercent) const
{
  const auto parts = [&](std::size_t e, double& oLinear, double& oSquare)
  {
    const auto [i, w] = iStackup.Sensitivity[e];
    const Term term = TermOf(w, iProblem.Dimensions[i].MeanShift);
    const double r = term.Cone * ipT[i];
    oLinear = std::fabs(term.Linear * ipT[i]);
    oSquare = r * r;
  };
  double linear = 0.0, squares = 0.0, a = 0.0, q = 0.0;
  for (std::size_t e = 0; e < iStackup.Sensitivity.size(); ++e)
  {
    parts(e, a, q);
    linear += a;
    squares += q;
  }
  const double root = std::sqrt(squares);
  const double total = linear + root;
  for (std::size_t e = 0; e < iStackup.Sensitivity.size(); ++e)
  {
    parts(e, a, q);
    // The root part B is split in proportion to the squares: B * q / B^2.
    const double part = a + (root > 0.0 ? root * (q / squares) : 0.0);
    opPercent[e] = total > 0.0 ? 100.0 * part / total : 0.0;
  }
}

double QAVTasStackupLaw::Reach(const Stackup& iStackup) const
{
  const Term unit = TermOf(1.0, 0.0);
  return std::fabs(unit.Linear) + ConeFactor(iStackup) * std::fabs(unit.Cone);
}

bool QAVTasStackupLaw::YieldWindow(const Stackup& iStackup, double& oHalfWidth) const
{
  oHalfWidth = iStackup.Limit;
  return !Band();
}

std::string QAVTasStackupLaw::ReportLine(const Stackup&) const
{
  return Name();
}

// The worst case: V = sum_i |s_i| t_i, the largest deviation the tolerances allow.
#include "QAVTasStackupLaw.h"

#include <cmath>

namespace
{
class QAVTasWorstCaseLaw final : public QAVTasStackupLaw
{
public:
  const char* Name() const override { return "worst-case"; }
  bool HasLinearPart() const override { return true; }
  bool HasCone() const override { return false; }
  bool EveryPart() const override { return true; }
  Term TermOf(double iS, double) const override { return {std::fabs(iS), 0.0}; }
  double ConeFactor(const Stackup&) const override { return 0.0; }

  double Value(const Problem&, const Stackup& iStackup, const double* ipT) const override
  {
    double sum = 0.0;
    for (const auto& [i, w] : iStackup.Sensitivity)
      sum += std::fabs(w) * ipT[i];
    return sum;
  }
};
} // namespace

const QAVTasStackupLaw& QAVTasWorstCaseLawInstance()
{
  static const QAVTasWorstCaseLaw law;
  return law;
}

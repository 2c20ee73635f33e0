// The linear row: V = sum_i s_i t_i with signed sensitivities, met inside a band
// Lower <= V <= Upper (a design relation between tolerances rather than a stack-up's spread).
#include "QAVTasStackupLaw.h"

namespace
{
class QAVTasLinearLaw final : public QAVTasStackupLaw
{
public:
  const char* Name() const override { return "linear"; }
  bool Band() const override { return true; }
  bool HasLinearPart() const override { return true; }
  bool HasCone() const override { return false; }
  Term TermOf(double iS, double) const override { return {iS, 0.0}; }
  double ConeFactor(const Stackup&) const override { return 0.0; }

  double Value(const Problem&, const Stackup& iStackup, const double* ipT) const override
  {
    double sum = 0.0;
    for (const auto& [i, w] : iStackup.Sensitivity)
      sum += w * ipT[i];
    return sum;
  }
};
} // namespace

const QAVTasStackupLaw& QAVTasLinearLawInstance()
{
  static const QAVTasLinearLaw law;
  return law;
}

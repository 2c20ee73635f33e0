// The mean shift: a dimension whose mean drifts by m t adds that drift in full and the rest of its
// spread as a root sum of squares: V = sum_i m_i |s_i| t_i + sqrt(sum_i ((1 - m_i) s_i t_i)^2).
#include "QAVTasStackupLaw.h"

#include <cmath>
#include <cstddef>

namespace
{
class QAVTasMeanShiftLaw final : public QAVTasStackupLaw
{
public:
  const char* Name() const override { return "mean-shift"; }
  bool HasLinearPart() const override { return true; }
  bool HasCone() const override { return true; }
  Term TermOf(double iS, double iM) const override { return {iM * std::fabs(iS), (1.0 - iM) * iS}; }
  double ConeFactor(const Stackup&) const override { return 1.0; }

  double Value(const Problem& iProblem, const Stackup& iStackup, const double* ipT) const override
  {
    double sum = 0.0, squares = 0.0;
    for (const auto& [i, w] : iStackup.Sensitivity)
    {
      const double t = ipT[i], m = iProblem.Dimensions[i].MeanShift;
      const double r = (1.0 - m) * w * t;
      sum += m * std::fabs(w) * t;
      squares += r * r;
    }
    return sum + std::sqrt(squares);
  }

  void Gradient(const Problem& iProblem, const Stackup& iStackup, const double* ipT, double* opG) const override
  {
    double squares = 0.0;
    for (const auto& [i, w] : iStackup.Sensitivity)
    {
      const double r = (1.0 - iProblem.Dimensions[i].MeanShift) * w * ipT[i];
      squares += r * r;
    }
    const double norm = std::sqrt(squares);
    for (std::size_t e = 0; e < iStackup.Sensitivity.size(); ++e)
    {
      const auto [i, w] = iStackup.Sensitivity[e];
      const double m = iProblem.Dimensions[i].MeanShift;
      opG[e] = m * std::fabs(w) + (norm > 0.0 ? (1.0 - m) * (1.0 - m) * w * w * ipT[i] / norm : 0.0);
    }
  }
};
} // namespace

const QAVTasStackupLaw& QAVTasMeanShiftLawInstance()
{
  static const QAVTasMeanShiftLaw law;
  return law;
}

// The root sum of squares, inflated by the stack-up's factor: V = f sqrt(sum_i (s_i t_i)^2).
#include "QAVTasStackupLaw.h"

#include <cmath>
#include <cstdio>

namespace
{
class QAVTasRssLaw final : public QAVTasStackupLaw
{
public:
  const char* Name() const override { return "rss"; }
  bool TakesFactor() const override { return true; }
  bool HasLinearPart() const override { return false; }
  bool HasCone() const override { return true; }
  Term TermOf(double iS, double) const override { return {0.0, iS}; }
  double ConeFactor(const Stackup& iStackup) const override { return iStackup.Factor; }

  double Value(const Problem&, const Stackup& iStackup, const double* ipT) const override
  {
    double squares = 0.0;
    for (const auto& [i, w] : iStackup.Sensitivity)
      squares += (w * ipT[i]) * (w * ipT[i]);
    return iStackup.Factor * std::sqrt(squares);
  }

  std::string ReportLine(const Stackup& iStackup) const override
  {
    if (iStackup.Factor == 1.0)
      return Name();
    char factor[32];
    std::snprintf(factor, sizeof factor, " x%g", iStackup.Factor);
    return Name() + std::string(factor);
  }
};
} // namespace

const QAVTasStackupLaw& QAVTasRssLawInstance()
{
  static const QAVTasRssLaw law;
  return law;
}

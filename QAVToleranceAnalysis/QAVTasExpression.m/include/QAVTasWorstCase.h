#ifndef QAVTasWorstCase_H
#define QAVTasWorstCase_H

#include "QAVTasExpression.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <vector>

// The least and greatest value of an expression over a box, with a proof.
//
// A local search finds the incumbents: f at the centre, at the corner the gradient there points to
// (the linear model's extreme) and at the corners (all of them up to MaxCorners, else that many
// drawn from a fixed stream), then projected gradient ascent from the best few. Interval branch and
// bound then proves them: a box is bounded by the meet of f's interval enclosure and its mean-value
// form f(c) + G (X - c) (G the interval gradient over the box), collapsed first onto the face where
// G shows f monotone in a variable; boxes that cannot beat the incumbent by the tolerance are
// dropped, the best open box is split across the variable of widest |G_i| w_i, and f at the centre
// of every box examined can raise the incumbent. Certified when no open box can beat either
// incumbent by RelativeTolerance x max(|min|, |max|); otherwise Gap says by how much the truth may
// still exceed what was found, when the node or time budget ran out.
class QAV_TASOPT_API QAVTasWorstCase
{
public:
  struct Settings
  {
    double RelativeTolerance = 1e-9;
    std::int64_t MaxNodes = 2000000; // boxes examined per side
    double MaxSeconds = 20.0;        // per side (0: no limit)
    std::int32_t MaxCorners = 1024;  // corners the local search starts from
  };

  struct Result
  {
    double Min = 0.0, Max = 0.0;               // attained, at ArgMin and ArgMax
    double LowerBound = 0.0, UpperBound = 0.0; // proven: LowerBound <= f <= UpperBound on the box
    bool Certified = false;
    double Gap = 0.0; // max(UpperBound - Max, Min - LowerBound)
    std::vector<double> ArgMin, ArgMax;
    std::int64_t Nodes = 0;
    bool Undefined = false; // f is not defined (or not finite) somewhere in the box
  };

  QAVTasWorstCase() = default;
  explicit QAVTasWorstCase(const Settings& iSettings) : _Settings(iSettings) {}

  // The box: ipLow[k] <= x_k <= ipHigh[k] for each input k of iF.
  Result Find(const QAVTasExpression& iF, const double* ipLow, const double* ipHigh) const;

private:
  Settings _Settings;
};

#endif

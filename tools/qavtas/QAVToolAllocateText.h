#ifndef QAVToolAllocateText_H
#define QAVToolAllocateText_H

#include "QAVTasSelectionPrices.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVToolAllocateAnswer.h"

#include <string>

// The human report of `qavtas allocate`: the status; for an optimum a table of dimensions
// (tolerance, cost, what binds it), a table of stack-ups (law, value, limit, slack, shadow price),
// the total cost with its certificate and what binds, most costly first; then whatever else the
// answer holds (loosening, selection, processes, yield, functions, capability). The figures the
// page prints alike are formatted here once.
class QAVToolAllocateText
{
public:
  static std::string Report(const QAVToolAllocateAnswer& iAnswer);

  // A limit, or a band "[lower, upper]", to 7 digits.
  static std::string Limit(const QAVToolAllocateAnswer::Band& iBand);
  // A figure in iFormat, or "-" when it is not finite; -0 is 0.
  static std::string Number(double iValue, const char* iFormat = "%.6g");
  // An estimate and its 95 % interval, "e [lo, hi]".
  static std::string Interval(const QAVTasStackupAnalysis::Interval& iY);
  // Whether a stack-up keeps a cheaper selection out: "yes", "no" or "not known".
  static const char* Said(QAVTasSelectionPrices::Verdict iVerdict);
  // The saving of a looser limit, or "not known".
  static std::string Saving(double iValue);
};

#endif

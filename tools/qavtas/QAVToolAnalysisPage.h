#ifndef QAVToolAnalysisPage_H
#define QAVToolAnalysisPage_H

#include "QAVTasStackupAnalysis.h"

#include <string>

// One self-contained HTML page of a stack-up analysis: per stack-up the histogram of the simulation
// with LSL, USL, the worst-case interval and the normal model drawn on it, and a Pareto chart of
// the contributions; the tables (sortable) and the command line that made it.
class QAVToolAnalysisPage
{
public:
  static constexpr std::int32_t kBins = 60;

  static std::string Html(const QAVTasAllocationProblem& iProblem, const QAVTasStackupAnalysis::Result& iResult,
                          const std::string& iTitle, const std::string& iMadeBy);
};

#endif

#ifndef QAVToolAllocationPage_H
#define QAVToolAllocationPage_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"

#include <cstdint>
#include <string>
#include <vector>

// One self-contained HTML page of an allocation: summary, certificate, the report's tables with
// sortable columns (a small inline script, nothing loaded from elsewhere), what binds, the picture
// inline, the yield when it was estimated, and the command line and version that produced it.
class QAVToolAllocationPage
{
public:
  struct YieldRow
  {
    std::string Name; // a stack-up, or "joint"
    double Yield, Low, High, PpmOut;
    double Exact; // NaN when no exact value exists
  };

  struct LooseningRow
  {
    std::string Name; // a stack-up
    double Amount;
    std::string Limit, Loosened;
  };

  struct Content
  {
    std::string Title;
    std::string Svg;             // the picture, inlined as is
    std::vector<YieldRow> Yield; // empty: no yield section
    std::string YieldMethod;     // "mc" or "qmc"
    std::int64_t YieldSamples = 0;
    std::vector<LooseningRow> Loosening; // empty: no such section
    std::string Selection;               // what each stack-up holds of a pure selection: a section, or empty
    std::string Capability;              // capability at the allocation and trade-off curves: sections, or empty
    std::string CommandLine;
    std::string Version;
  };

  static std::string Html(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult,
                          const Content& iContent);
  // The pages' common look and their sortable tables (any page whose tables have class "sortable").
  static const char* Style();
  static const char* Script();
};

#endif

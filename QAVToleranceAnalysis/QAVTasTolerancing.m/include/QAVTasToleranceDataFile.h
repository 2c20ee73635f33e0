#ifndef QAVTasToleranceDataFile_H
#define QAVTasToleranceDataFile_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <string>

class QAVTasOptimizerTolerancing;

// The tolerancing data file (the layout QAVTasOptimizerTolerancing::ReadDataFile reads, by the same
// steps) read from a text into a typed answer: the problem as an allocation problem, or the line
// where reading stopped and what the file should hold there. Nothing is reported or printed.
class QAV_TASOPT_API QAVTasToleranceDataFile
{
public:
  enum class Status
  {
    Read,      // Problem holds the file's problem
    Malformed, // a step failed: Line, Expected
    Unsolvable // read, but no solver can take it (a value not finite, crossed bounds): Line, Expected
  };

  struct Result
  {
    Status State = Status::Malformed;
    std::int32_t Form = 0; // 2 direct, 3 multiplier (as read; another number is kept)
    // X1..Xn with cost 1/X within [Xinf, Xsup], linear rows Y1..Ym between [Ymin, Ymax].
    QAVTasAllocationProblem Problem;
    std::int32_t Line = 0; // 1-based line of the text where the fault lies
    std::string Expected;  // what the file should hold there
    // What a genetic run of the direct form (which takes 1/X) would also need and the file lacks.
    std::string GeneticExpected;
  };

  static Result Read(const std::string& iText);
  // The same; when the text was read (Read or Unsolvable), ioOptimizer takes its problem as
  // ReadDataFile would have given it.
  static Result Read(const std::string& iText, QAVTasOptimizerTolerancing& ioOptimizer);
};

#endif

#ifndef QAVTasAllocationResult_H
#define QAVTasAllocationResult_H

#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <string>
#include <vector>

// The answer to a QAVTasAllocationProblem. Vectors are indexed like the problem's dimensions and
// stack-ups.
class QAV_TASOPT_API QAVTasAllocationResult
{
public:
  enum class Status
  {
    Optimal,    // feasible, and the relative gap to a proven lower bound is within the target
    Infeasible, // a certificate proves that no tolerances meet every requirement
    NotSolved   // neither could be proven; Reason says why
  };

  Status State = Status::NotSolved;
  std::string Reason;
  std::vector<double> Tolerances;
  double Cost = 0.0;
  double LowerBound = 0.0;  // a proven lower bound of the optimal cost
  double RelativeGap = 0.0; // (Cost - LowerBound) / max(1, |Cost|)
  std::vector<double> StackupValues;
  // Shadow prices -d cost / d limit >= 0: for a linear row, the price of its active side.
  std::vector<double> StackupPrices;
  // Prices of the dimensions' bounds: of Min (loosening = lowering it) and of Max (raising it).
  std::vector<double> MinPrices, MaxPrices;
  // Process selection: the chosen option of each dimension with options, -1 elsewhere.
  std::vector<std::int32_t> Processes;
  std::int64_t Nodes = 0; // branch-and-bound nodes explored (0 for a continuous problem)
  std::int32_t Iterations = 0;
};

#endif

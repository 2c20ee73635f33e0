#ifndef QAVTasAllocationDiagnosis_H
#define QAVTasAllocationDiagnosis_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <string>
#include <vector>

// Why an allocation problem has no answer: the least loosening of its limits that gives it one.
//
// Stack-up j may be loosened by r_j >= 0, relative to its own size: a limit T_j becomes
// T_j (1 + r_j); a linear row's band [lower, upper] becomes [lower - r_j S_j, upper + r_j S_j] with
//   S_j = max(|lower|, |upper|, upper - lower, sum_i |s_ij| tmin_i),
// tmin_i the dimension's smallest tolerance (Min, its fixed one, its tightest option): the last
// term gives an equality row [0, 0] the least spread its own dimensions give it. The diagnosis
// minimises sum_j r_j over the tolerances in their boxes or options (fixed ones fixed).
//
// The norm laws grow with every tolerance, so a dimension in no linear row takes its smallest
// tolerance. When no dimension left free is in a linear row, that settles every tolerance and
// r_j = max(0, V_j / T_j - 1) (a linear row: its distance out of the band over S_j), exactly.
// Otherwise the free dimensions of the linear rows are found by the allocation solver's
// interior-point method on min sum r subject to the loosened rows (a convex program), certified
// to Options::Gap; a dimension with options in a linear row is branched on, each node relaxing
// its run of options to their interval.
//
// A loosening above Options::Zero carries a margin of Options::Margin, so that the loosened problem
// keeps an interior (the exact least loosening often leaves a single feasible point); below Zero it
// is 0. So Loosened(problem, Loosening) is feasible and a solver finds it so. A problem with
// defects (QAVTasAllocationProblem::Validate) is refused: not Solved, the defects in Reason.
class QAV_TASOPT_API QAVTasAllocationDiagnosis
{
public:
  struct Options
  {
    double Gap = 1e-10;   // of the sum of loosenings, relative to max(1, sum)
    double Zero = 1e-9;   // loosenings up to this are none
    double Margin = 1e-9; // added to every loosening above Zero
    std::int64_t MaxNodes = 100000;
    double TimeLimit = 0.0; // seconds of the search over options; 0: no limit
    std::int32_t MaxIterations = 200;
  };

  struct Report
  {
    bool Solved = false; // the least loosening was found and proven (else Reason says why)
    std::string Reason;
    std::vector<double> Loosening;       // r_j of each stack-up, margin included; 0 where none is needed
    double Total = 0.0;                  // sum of the least loosenings (without margins)
    double LowerBound = 0.0;             // a proven lower bound of that sum
    std::vector<double> Tolerances;      // tolerances that meet the loosened limits
    std::vector<double> StackupValues;   // V_j at those tolerances
    std::vector<std::int32_t> Processes; // the chosen option of a dimension with options, -1 elsewhere
    // The stack-ups in conflict: those loosened, and those that sit on their limit (to 1e-6 of
    // its size) at Tolerances, holding the others back.
    std::vector<std::int32_t> Conflict;
    std::int64_t Nodes = 0;
  };

  QAVTasAllocationDiagnosis() = default;
  explicit QAVTasAllocationDiagnosis(const Options& iOptions) : _Options(iOptions) {}

  Report Diagnose(const QAVTasAllocationProblem& iProblem) const;

  // S_j above; for a law with a limit, the limit.
  static double Scale(const QAVTasAllocationProblem& iProblem, std::size_t iStackup);
  // The least r that a stack-up of value V needs, for its scale S.
  static double Needed(const QAVTasAllocationProblem::Stackup& iStackup, double iValue, double iScale);
  // The problem with every limit loosened by r (one entry per stack-up).
  static QAVTasAllocationProblem Loosened(const QAVTasAllocationProblem& iProblem, const std::vector<double>& iR);

private:
  Options _Options;
};

#endif

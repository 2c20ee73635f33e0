#ifndef QAVToolAllocateAnswer_H
#define QAVToolAllocateAnswer_H

// Everything one run of `qavtas allocate` shows, as plain figures, built once by Build from the
// problem and its solve. The report (QAVToolAllocateText), the JSON (QAVToolAllocateJson), the
// picture (QAVToolAllocationPicture) and the page (QAVToolAllocationPage) only format it. Rows
// follow the problem's dimensions and stack-ups; a figure the solve did not give is NaN.

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasFunctionAllocation.h"
#include "QAVTasSelectionPrices.h"
#include "QAVTasStackupAnalysis.h"
#include "QAVTasYieldEstimator.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAVToolAllocateYield;

struct QAVToolAllocateAnswer
{
  // What names the run, and what it is asked to show beside the report.
  struct Run
  {
    std::string Title;       // of the picture and the page
    std::string CommandLine; // on the page
    std::string Version;     // on the page
    bool Curves = false;     // the page's trade-off curves (a solve per point)
  };

  // A limit, or a linear row's band [Lower, Upper].
  struct Band
  {
    bool Linear = false;
    double Limit = 0.0, Lower = 0.0, Upper = 0.0;
  };

  struct Dimension
  {
    std::string Name;
    double Tolerance = 0.0;
    double Cost = 0.0;       // its chosen option's, else its cost model's at Tolerance
    std::string Binds;       // what holds it: "min", "max", "fixed", "option PROCESS", "option" or "-"
    bool Fixed = false;      // a fixed tolerance
    bool Continuous = false; // neither fixed nor made by a process: Min and Max bound it
    double Min = 0.0, Max = 0.0;
    double Low = 0.0, High = 0.0;  // the range it is placed in: its bounds, or its options' extremes
    std::string Process;           // the chosen option's process ("#k" when unnamed); empty: none chosen
    double ProcessTolerance = 0.0; // the chosen option's tolerance
  };

  // A dimension's share of a stack-up, in percent of the stack-up's value.
  struct Share
  {
    std::size_t Dimension = 0; // index into Dimensions
    double Percent = 0.0;
  };

  struct Stackup
  {
    std::string Name;
    std::string Law;     // as the file names it
    std::string LawLine; // the report's law column
    bool HasLaw = false;
    Band Limit;
    double Value = 0.0; // as the solve states it: a function's worst case on the true function
    double Slack = 0.0; // from Value to the limit (a band: to its nearer edge)
    double Price = 0.0;
    std::string Side; // where an answer on the limit sits: "limit", "equality", "upper" or "lower"
    double Utilisation = 0.0;
    std::vector<Share> Shares; // in the order of its sensitivities
  };

  // A requirement or bound and what a unit of loosening it saves.
  struct Priced
  {
    enum class Kind
    {
      Stackup,
      Min,
      Max
    };
    Kind Of = Kind::Stackup;
    std::size_t Index = 0; // into Stackups, or Dimensions
    double Price = 0.0;
  };

  // The least loosening of the limits that makes an infeasible problem feasible.
  struct LooseningRow
  {
    std::size_t Stackup = 0;
    double Amount = 0.0; // r: a limit T becomes T (1 + r)
    Band Loosened;
  };

  struct Diagnosis
  {
    bool Ran = false;    // the problem is infeasible and was diagnosed
    bool Solved = false; // the least loosening was found; else Reason says why
    std::string Reason;
    std::vector<LooseningRow> Rows; // the stack-ups loosened
    double Total = 0.0, LowerBound = 0.0;
    std::vector<std::size_t> Conflict; // loosened, or on their limit there
  };

  // A stack-up given by its function, checked on the true function.
  struct Function
  {
    std::size_t Stackup = 0;
    std::string Text;
    std::vector<std::pair<std::size_t, double>> Sensitivities; // dimension, at the nominals
    QAVTasFunctionAllocation::Check Check;
    double LinearValue = 0.0;              // the law on the linear model at the nominals
    QAVTasFunctionAllocation::Yield Yield; // not Defined: not simulated
  };

  struct CapabilityRow
  {
    std::string Name;
    double Mean = 0.0, Sigma = 0.0, Cp = 0.0, Cpk = 0.0, PpmBelow = 0.0, PpmAbove = 0.0;
  };

  // At the allocated tolerances of the drawing: each stack-up with a limit, and the joint yield.
  struct Capability
  {
    bool Applies = false; // some stack-up has a limit and every tolerance is allocated
    std::vector<CapabilityRow> Rows;
    std::int64_t Samples = 0;
    QAVTasStackupAnalysis::Interval Joint;
    double Target = 0.0; // the drawing's yield target; 0: none
  };

  // The optimal cost of a binding stack-up as its limit goes from half to twice its value.
  struct Curve
  {
    std::size_t Stackup = 0;
    std::vector<double> Points;   // limit, cost, limit, cost, ... where the solve proved an optimum
    double Low = 0.0, High = 0.0; // the least and the greatest cost
  };

  std::string Title, CommandLine, Version;

  QAVTasAllocationResult::Status State = QAVTasAllocationResult::Status::NotSolved;
  std::string Status; // "optimal", "infeasible" or "not solved"
  std::string Reason;
  double Cost = 0.0, LowerBound = 0.0, RelativeGap = 0.0;
  std::int32_t Iterations = 0;
  std::int64_t Nodes = 0;

  std::vector<Dimension> Dimensions;
  std::vector<Stackup> Stackups;
  std::vector<Priced> Binding; // the report's: what the answer sits on with a price, costliest first
  std::vector<Priced> Prices;  // the page's: everything with a price, costliest first
  bool AtCheapest = true;      // every process at one of its cheapest options

  bool FixedDesign = false; // every tolerance fixed
  Diagnosis Loosening;
  // What each stack-up holds of a pure selection (one per stack-up), or empty.
  std::vector<QAVTasSelectionPrices::Stackup> Held;
  bool Selected = false; // a selection to show: the optimum's, or the best of an unfinished search

  std::optional<QAVTasYieldEstimator::Report> Yield; // with --yield
  std::int32_t Seed = 1;

  std::vector<Function> Functions; // empty: no stack-up given by its function was checked
  // An optimum held on a true function by tangent rows: certified for those rows only.
  bool LocalOptimum = false;
  static constexpr const char* kLocalOptimum =
    "the certificate is the tangent rows': the answer meets the true problem's optimality conditions (a local "
    "optimum); that no other answer is cheaper is not proven on the true functions";
  std::int32_t FunctionSolves = 0;
  std::int64_t FunctionSamples = 0;

  Capability Capabilities;
  std::vector<Curve> Curves;
  std::int32_t CurvePoints = 0;
  std::size_t BindingStackups = 0; // of which Curves holds the costliest

  // The answer of a run: iDrawing as read, iProblem the problem solved
  // (QAVTasTargetRows::SolverProblem), iSolved its solve, iProcesses the run's selection and
  // yield options.
  static QAVToolAllocateAnswer Build(const QAVTasAllocationProblem& iDrawing, const QAVTasAllocationProblem& iProblem,
                                     const QAVTasFunctionAllocation::Result& iSolved,
                                     const QAVToolAllocateYield& iProcesses, const Run& iRun);
  // The answer of a bare solve: the status, the tables and what binds, nothing diagnosed or simulated.
  static QAVToolAllocateAnswer Solved(const QAVTasAllocationProblem& iProblem, const QAVTasAllocationResult& iResult);
};

#endif

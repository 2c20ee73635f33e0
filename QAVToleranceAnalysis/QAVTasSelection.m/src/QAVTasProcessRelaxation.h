#ifndef QAVTasProcessRelaxation_H
#define QAVTasProcessRelaxation_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <vector>

// The process-selection view of an allocation problem, for QAVTasProcessSelector.
//
// Each dimension with options is a "choice": its options sorted by tolerance, equal tolerances kept
// once at their lowest cost and, when the dimension sits in no linear row (where a looser tolerance
// can break a lower side), dominated options dropped (an option costing no less than a tighter one
// never helps). A node is a run [Lo, Hi] of positions per choice.
//
// Relax writes the node's relaxation (see QAVTasProcessSelector.h); the Lagrangian members compute
// the separable bound L(lambda) of that header for any prices lambda >= 0 and use it to trim runs.
// Exported for the tests only; not installed.
class QAV_TASOPT_API QAVTasProcessRelaxation
{
public:
  struct Point
  {
    double Tolerance, Cost;
    std::int32_t Option; // index into the dimension's Options
  };

  struct Runs
  {
    std::vector<std::int32_t> Lo, Hi;
  };

  // Per-dimension terms a_i t + b_i t^2 and the constant of L(lambda): rss rows enter squared
  // (b_i, see PricesAt), every other row by its gradient (a_i). Rows that are not laws of t (cuts
  // over options) add a price per option, in Extra (choice by choice, in PointsOf order; empty
  // when there are none).
  struct Prices
  {
    std::vector<double> Slope, Square, Extra;
    double Constant = 0.0;
  };

  explicit QAVTasProcessRelaxation(const QAVTasAllocationProblem& iProblem);

  const QAVTasAllocationProblem& Problem() const { return _Problem; }
  std::size_t Choices() const { return _Dim.size(); }
  std::int32_t DimensionOf(std::size_t iChoice) const { return _Dim[iChoice]; }
  const std::vector<Point>& PointsOf(std::size_t iChoice) const { return _Points[iChoice]; }
  // Free dimensions without options: a selection then needs the continuous solver.
  bool HasContinuous() const { return _HasContinuous; }
  Runs Root() const;
  static bool IsLeaf(const Runs& iRuns);

  // The relaxation of a node, in oRelaxed (reused storage); returns the cost of the choices it
  // fixes, which oRelaxed leaves out.
  double Relax(const Runs& iRuns, QAVTasAllocationProblem& oRelaxed) const;

  // d V / d t_i of a stack-up's law at t, one per entry of its sensitivities (s_i itself for a
  // linear row). The laws being convex and positively homogeneous, V(t') >= gradient . t' for all
  // t' >= 0.
  static std::vector<double> Gradient(const QAVTasAllocationProblem& iProblem,
                                      const QAVTasAllocationProblem::Stackup& iS, const double* ipT);

  // Prices from shadow prices at the tolerances t (non-finite or negative prices count as 0).
  Prices PricesAt(const double* ipT, const std::vector<double>& iLambda) const;
  double Lagrangian(const Runs& iRuns, const Prices& iPrices) const;
  // Drops options whose term alone lifts L(lambda) to iCutoff or above, from both ends of each run.
  // Returns false when some run empties (the node holds nothing better than iCutoff).
  bool Trim(Runs& ioRuns, const Prices& iPrices, double iCutoff) const;

  // Tolerances of a selection (every run of one option) with fixed dimensions set; continuous ones
  // are left as they are.
  void Place(const Runs& iRuns, std::vector<double>& ioT) const;
  // Cost of tolerances t whose choices are the selection iRuns.
  double CostOf(const Runs& iRuns, const double* ipT) const;
  // Loosens one choice at a time, the largest saving first, while t stays within iFeasibility;
  // t must be feasible on entry (pure selections only).
  void Loosen(Runs& ioRuns, std::vector<double>& ioT, double iFeasibility) const;

private:
  void Envelope(std::size_t iChoice, std::int32_t iLo, std::int32_t iHi,
                std::vector<std::pair<double, double>>& oPoints) const;
  double Term(std::size_t iChoice, std::int32_t iK, const Prices& iPrices) const;
  double TermMin(std::size_t iChoice, std::int32_t iLo, std::int32_t iHi, const Prices& iPrices) const;
  void AddGradient(const QAVTasAllocationProblem::Stackup& iS, const double* ipT, double iScale,
                   std::vector<double>& ioSlope) const;
  bool AddSquared(const QAVTasAllocationProblem::Stackup& iS, const double* ipT, double iLambda,
                  Prices& ioPrices) const;
  double ContinuousMin(std::size_t iDim, double iSlope) const;

  const QAVTasAllocationProblem& _Problem;
  std::vector<std::int32_t> _Dim;
  std::vector<std::vector<Point>> _Points;
  std::vector<std::size_t> _FirstPoint; // of each choice, counting every choice's points in turn
  std::vector<std::int32_t> _ChoiceOf;  // per dimension, -1 when it has no options
  bool _HasContinuous = false;
};

#endif

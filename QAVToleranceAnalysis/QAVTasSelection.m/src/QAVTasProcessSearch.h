#ifndef QAVTasProcessSearch_H
#define QAVTasProcessSearch_H

#include "QAVTasAllocationSolver.h"
#include "QAVTasProcessOpenList.h"
#include "QAVTasProcessRelaxation.h"
#include "QAVTasProcessSelector.h"
#include "QAVTasSelectionLP.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

// One branch-and-bound run of QAVTasProcessSelector (whose header describes the method).
class QAVTasProcessSearch
{
public:
  using Runs = QAVTasProcessRelaxation::Runs;

  // A branching candidate: the position at or below the relaxed tolerance, and where the tolerance
  // lies from it to the next option (0 to 1); on an option, Gap is the envelope's shortfall there.
  struct Candidate
  {
    std::int32_t Choice, Cut;
    bool OnPoint;
    double Fraction, Gap;
  };

  // Average bound increase per unit of fraction moved, per choice and side (pseudo-costs).
  struct Pseudo
  {
    double Sum[2] = {0.0, 0.0};
    std::int64_t Count[2] = {0, 0};
  };

  struct Node
  {
    Runs Choices;
    double Bound = -HUGE_VAL;
    QAVTasProcessRelaxation::Prices Prices;
    bool HasPrices = false;
    // Where it may branch: choices whose relaxed tolerance lies between options, or on an option the
    // envelope prices below its cost.
    std::vector<Candidate> Candidates;
    // How it was made: the choice its parent split, the side, and how far (as a fraction of the
    // options' gap) the split moved the relaxed tolerance; pseudo-costs learn from it.
    std::int32_t From = -1;
    bool Up = false;
    double Moved = 0.0, ParentBound = 0.0;

    // What it holds, its vectors' heap blocks included, for the open list's budget.
    std::int64_t Bytes() const;
  };

  QAVTasProcessSearch(const QAVTasAllocationProblem& iProblem, const QAVTasProcessSelector::Options& iOptions);

  QAVTasAllocationResult Run();

private:
  double Cutoff() const
  {
    return _Cost == HUGE_VAL ? HUGE_VAL : _Cost - _Options.Gap * std::max(1.0, std::fabs(_Cost));
  }
  bool OutOfBudget();
  void Observe(const std::optional<Node>& iNext);
  void Prune(double iBound) { _PrunedBound = std::min(_PrunedBound, iBound); }
  std::int32_t LpRoom() const;
  void CutRoot(const Runs& iRoot);
  void Consider(Node&& ioNode);
  bool Bound(Node& ioNode, std::vector<double>& oT);
  bool BoundByLp(Node& ioNode, std::vector<double>& oT);
  bool Settled(Node& ioNode, const std::vector<double>& iT, Runs& oPick);
  double Estimate(const Candidate& iC, bool iUp) const;
  void Learn(const Node& iNode);
  int Probe(const Node& iNode, const Candidate& iC);
  void Round(const Node& iNode, const std::vector<double>& iT);
  void Leaf(const Node& iNode);
  void Branch(const Node& iNode);
  void Push(Node&& ioNode);
  std::optional<Node> Plunge(std::vector<Node>& ioChildren);
  void Offer(const Runs& iRuns, const std::vector<double>& iT);
  void PriceSelection(QAVTasAllocationResult& ioResult);
  QAVTasAllocationResult Finish();

  const QAVTasProcessSelector::Options& _Options;
  QAVTasProcessRelaxation _Choices;
  QAVTasAllocationProblem _Relaxed;
  QAVTasAllocationSolver _Solver;
  std::optional<QAVTasSelectionLP> _Lp;
  std::chrono::steady_clock::time_point _Start;
  double _ObservedAt = -HUGE_VAL; // seconds into the search
  QAVTasProcessOpenList<Node> _Open;
  std::vector<Node>* _Catch = nullptr; // where Push puts nodes while a branch is made
  double _Cost = HUGE_VAL, _PrunedBound = HUGE_VAL;
  Runs _Best;
  std::vector<double> _BestT;
  std::int64_t _Nodes = 0;
  std::int32_t _Iterations = 0;
  std::string _Unproven, _Limit;
  std::vector<Pseudo> _Pseudo;
  Pseudo _PseudoAll;
};

#endif

#ifndef QAVTasStackupLaw_H
#define QAVTasStackupLaw_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <string>

// A stack-up law: how a stack-up's value V follows from its sensitivities s_i and the tolerances
// t_i. Every law has the form
//   V = sum_i a_i t_i + F sqrt(sum_i (b_i t_i)^2)
// with a term (a_i, b_i) per sensitivity, from s_i and the dimension's mean shift m_i, and a cone
// factor F >= 0. Worst case a = |s|, b = 0; rss a = 0, b = s, F = the stack-up's factor; mean shift
// a = m |s|, b = (1 - m) s, F = 1; linear a = s (signed), b = 0, met inside a band
// Lower <= V <= Upper instead of under a limit V <= Limit.
//
// Contract: a limit law has a_i >= 0, so V is convex and positively homogeneous in t (a norm on the
// tolerances). The solver's certificate, the selection's Lagrangian bound and the mean-shift
// tangents rest on it. A band law is linear (b = 0).
//
// A law is one class in one file; its key, a Law enumerator, and its instance make one line of
// QAVTasStackupLaws. Callers ask a law for structural properties (HasCone, HasLinearPart, Band),
// never for its identity, so that a new law of the same form needs no other change.
class QAV_TASOPT_API QAVTasStackupLaw
{
public:
  using Problem = QAVTasAllocationProblem;
  using Stackup = QAVTasAllocationProblem::Stackup;

  struct Term
  {
    double Linear = 0.0; // a_i
    double Cone = 0.0;   // b_i
  };

  virtual ~QAVTasStackupLaw() = default;

  // The law's name in the problem file ("worst-case", "rss", ...).
  virtual const char* Name() const = 0;
  // Met inside [Lower, Upper] (the file's "lower" and "upper") instead of under Limit ("limit").
  virtual bool Band() const { return false; }
  // Takes the stack-up's Factor (the file's "factor", >= 1).
  virtual bool TakesFactor() const { return false; }
  // Some a_i may be non-zero; some b_i may be non-zero. A limit law without a linear part is a
  // pure cone: F sqrt(Q(t)) <= T holds exactly when Q(t) <= (T / F)^2.
  virtual bool HasLinearPart() const = 0;
  virtual bool HasCone() const = 0;
  // The value is the largest deviation that tolerances allow (every part within its tolerances
  // meets the limit), so a function stack-up can be held to it on the function itself.
  virtual bool EveryPart() const { return false; }

  virtual Term TermOf(double iSensitivity, double iMeanShift) const = 0;
  virtual double ConeFactor(const Stackup& iStackup) const = 0;

  // V at the tolerances ipT (one per dimension of the problem).
  virtual double Value(const Problem& iProblem, const Stackup& iStackup, const double* ipT) const;
  // dV/dt_i per sensitivity, in the stack-up's order (0 for a cone term where the root is 0).
  virtual void Gradient(const Problem& iProblem, const Stackup& iStackup, const double* ipT, double* opG) const;
  // The part each sensitivity takes of V, in percent (summing to 100 when V > 0): its a_i t_i and
  // its share of the root in proportion to its square.
  void Shares(const Problem& iProblem, const Stackup& iStackup, const double* ipT, double* opPercent) const;
  // V of a lone unit term (s = 1, no mean shift): a lone term's value is Reach |s| t.
  double Reach(const Stackup& iStackup) const;
  // The yield test: a part meets the stack-up when its deviation d = sum_i s_i (x_i - centre_i)
  // has |d| <= oHalfWidth. False when the law has no yield test (a band).
  bool YieldWindow(const Stackup& iStackup, double& oHalfWidth) const;
  // The law as a report names it: its name and, when they matter, its parameters.
  virtual std::string ReportLine(const Stackup& iStackup) const;
};

#endif

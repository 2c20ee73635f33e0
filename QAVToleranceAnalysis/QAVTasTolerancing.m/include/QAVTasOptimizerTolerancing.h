#ifndef QAVTasOptimizerTolerancing_H
#define QAVTasOptimizerTolerancing_H

#include "QAVHResult.h"
#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"
#include "QAVTasGAOptimizer.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <cstdio>
#include <vector>

struct QAVTasToleranceStaging;

// Signed cube root: pow(x, 1/3) for x >= 0, -pow(-x, 1/3) otherwise; NaN for a NaN.
QAV_TASOPT_API double QAVTasSqrt3(double x);

// Chooses Nx values X within their domains [Xinf, Xsup] so that the Ny combinations Y = W X stay
// within [Ymin, Ymax] while sum 1/X_i is smallest, with the real-coded genetic algorithm it
// derives from. Two problem forms: 2, direct (genes X then delta, delta_j matched to Y_j) and 3,
// multiplier (genes lambda, one per Y bound, X_i = 1 / cbrt(0.5 sum_j W[j][i] lambda_j)).
//
// The problem comes from memory (the data constructor, which also asks for a Newton refinement of
// the genetic optimum) or from a text data file (default constructor, then ReadDataFile). Failures
// are reported through the platform error record and returned as E_FAIL (or the penalty fitness).
//
// It evaluates in one thread: its penalty fitness grows by 1.0 at each penalised call, and its
// working buffer and the error record are shared by all calls, so the order of the calls shows in
// the results. Its runs set one thread and no batch evaluator, whatever was set before.
class QAV_TASOPT_API QAVTasOptimizerTolerancing : public QAVTasGAOptimizer
{
public:
  QAVTasOptimizerTolerancing();
  // Deep copies; note the order Xsup before Xinf. A zero or negative count, or a null array or
  // row, gives an object without data.
  QAVTasOptimizerTolerancing(const std::int32_t iNy, std::int32_t iNx, double** ippW, double* ipYmin, double* ipYmax,
                             double* ipXsup, double* ipXinf);
  ~QAVTasOptimizerTolerancing() override;

  // Reads the problem from an open text stream (which stays open, after the last value read).
  // Atomic: the problem replaces the object's (and its result is released) only once the whole
  // file was read; a failed read leaves the object's problem and result as they were.
  HRESULT ReadDataFile(FILE* ipFileIn);

  // Fitness of a candidate of the current form; iNumParams is not used.
  double EvalFitness(std::int32_t iNumParams, double* ipX) override;

  // Writes the constraint report of _pParams to an open stream (not flushed, not closed).
  HRESULT CheckConstraints(FILE* iopFile);

  // oValues = a new float[_Nx] (the caller deletes it with delete[]) holding the multiplier-form
  // X of _pParams, computed in float.
  HRESULT GetValues(float*& oValues);

  // Runs the genetic algorithm on the problem and, for objects of the data constructor, refines
  // its optimum by a Newton minimisation; the result is in _pParams. Data that cannot be solved
  // (non-finite W or bounds, crossed bounds, Xinf <= 0 in the direct form) and a run the engine
  // refuses are reported (kind 1, see QAVTasDataFileItems) and leave _pParams as it was.
  HRESULT Optimize();

  // X of the result in _pParams: its first Nx genes in the direct form, the X of its multipliers
  // in the multiplier form (as the report prints them). E_FAIL without a result or in another form.
  HRESULT GetResultX(std::vector<double>& oX) const;

  // Solves the problem exactly, whatever the form: minimise sum 1/X_i within the X domains and the
  // Y bounds, certified to a relative duality gap of 1e-9 (see QAVTasAllocationSolver). The answer is
  // kept in _Exact; nothing that Optimize uses or stores is touched. Non-finite or crossed data,
  // a problem whose bounds admit no X, or one the solver cannot certify, is reported (kind 1) and
  // leaves _Exact empty.
  HRESULT OptimizeExact();

  // The data as an allocation problem: X1..Xn with cost 1/X within [Xinf, Xsup], linear rows
  // Y1..Ym between [Ymin, Ymax]. The bounds are copied as they are.
  QAVTasAllocationProblem AllocationProblem() const;

  // Writes the constraint report of the exact solution in the layout of the direct form, X as
  // "Xmoy" and delta = W X.
  HRESULT CheckExactConstraints(FILE* iopFile);

  std::int32_t _Formulation;
  std::int32_t _Ny;
  std::int32_t _Nx;
  double** _ppW;
  double* _pYmin;
  double* _pYmax;
  double* _pXsup;
  double* _pXinf;
  double* _pParams;
  unsigned char _WithNewtonRefinement;
  double _PenaltyFitness;
  QAVTasAllocationResult _Exact; // answer of OptimizeExact; Tolerances is empty when there is none

protected:
  // Writes the direct-form report of the point X (Nx values) with its matched values delta
  // (Ny values).
  void WriteDirectReport(FILE* iopFile, const double* ipX, const double* ipDelta) const;

private:
  friend class QAVTasToleranceDataFile; // hands over a problem it read

  HRESULT Adopt(QAVTasToleranceStaging& ioProblem);
  void ReleaseData();
  double EvalDirect(const double* ipX) const;
  double EvalMultiplier(const double* ipLambda);
  HRESULT CheckExactData() const;
  double Penalty();
  void WriteMultiplierReport(FILE* iopFile) const;
  HRESULT CheckOptimizeData(std::int32_t& oNumParams, double& oCross);
  HRESULT CheckValues(bool iDirectForm) const;
  HRESULT RunEngine(std::int32_t iNumParams, double* ipLower, double* ipUpper);
  HRESULT Refine(std::int32_t iNumParams);

  std::vector<double> _Work; // s_i of the multiplier form, kept so that evaluations do not allocate
};

#endif

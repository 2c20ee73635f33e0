#ifndef QAVTasEllipseSolver_H
#define QAVTasEllipseSolver_H

#include "QAVHResult.h"
#include "QAVMathGAOptimizer.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>

// Fits an ellipse of fixed level to a point set with the platform's real-coded optimiser.
//
// A candidate (a, b, c) is the ellipse (p − g)ᵀ·A·(p − g) = level, A = ((a, −c), (−c, b)), g the
// barycentre of the points (or the origin, SetWithoutUParameters(1)). Its fitness is
//     Σ (|p − F1| + |p − F2| − 2·major semi-axis)²
// over the points (F1, F2 its focal points): 0 when every point lies on it. A candidate that is no
// usable ellipse gets a penalty that grows by 1.0 each time, so no two of them tie. The points are
// copied at construction; their largest pairwise distance is worked out there once.
// Since the penalty depends on the order of the calls, the fit evaluates in one thread whatever
// SetEvaluationThreads said; a direct Minimize must keep to one thread as well.
class QAV_TASOPT_API QAVTasEllipseSolver : public QAVMathGAOptimizer
{
public:
  QAVTasEllipseSolver();
  QAVTasEllipseSolver(const double iLevel, const std::int32_t iPointCount, double* iPoints);
  virtual double EvalFitness(std::int32_t iCount, double* ipX) override;
  virtual ~QAVTasEllipseSolver();
  QAVTasEllipseSolver(const QAVTasEllipseSolver&) = delete;
  QAVTasEllipseSolver& operator=(const QAVTasEllipseSolver&) = delete;

  void SetWithoutUParameters(unsigned char iWithoutU);
  // Largest |x| and |y| of the points as stored.
  HRESULT GetLxAndLyMax(double& oLx, double& oLy);
  // Runs the fit and writes (_C0, _Cy, _Cyy, _Cx, _Cxy, _Cxx) of the best ellipse.
  HRESULT ComputeEllipseParameters(double* iopParameters);

  double _PenaltyFitness = 1000000.0;
  double _EllipseLevel = 0.0;
  std::int32_t _PointCount = 0;
  double* _pCoord = nullptr;
  unsigned char _WithoutU = 0;

private:
  double _MaxDistance = 0.0;
};

#endif

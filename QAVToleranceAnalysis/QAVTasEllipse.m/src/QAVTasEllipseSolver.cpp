#include "QAVTasEllipseSolver.h"

#include "ErrorDepthHandler.h"
#include "QAVGALimitsGuard.h"
#include "QAVGASettings.h"
#include "QAVSamReport.h"
#include "QAVTasCovarianceEllipse.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasEllipseSolver";

// Three genes (Cxx, Cyy, Cxy), a population of 30, no fitness reference below the best possible 0.
QAVGASettings RunSettings()
{
  QAVGASettings settings;
  settings.NumParams = 3;
  settings.MaxNumber = 10000000;
  settings.Process = 3;
  settings.PopulationSize = 30;
  settings.FitnessReference = 0.0;
  settings.Refresh = 100;
  settings.MutatValue = 0.8;
  settings.CrossValue = 0.75;
  settings.IdemFitnessCount = 1000;
  settings.EvaluationThreads = 1; // the penalty grows in call order
  return settings;
}
} // namespace

QAVTasEllipseSolver::QAVTasEllipseSolver() = default;

QAVTasEllipseSolver::QAVTasEllipseSolver(const double iLevel, const std::int32_t iPointCount, double* iPoints)
  : _EllipseLevel(iLevel)
{
  if (iPointCount > 0 && iPoints)
  {
    _PointCount = iPointCount;
    _pCoord = new double[2 * static_cast<std::size_t>(iPointCount)];
    std::copy(iPoints, iPoints + 2 * static_cast<std::size_t>(iPointCount), _pCoord);
    QAVTasGetMaxDistance(_pCoord, _PointCount, _MaxDistance);
  }
}

QAVTasEllipseSolver::~QAVTasEllipseSolver()
{
  delete[] _pCoord;
  _pCoord = nullptr;
}

void QAVTasEllipseSolver::SetWithoutUParameters(unsigned char iWithoutU)
{
  _WithoutU = iWithoutU;
}

double QAVTasEllipseSolver::EvalFitness(std::int32_t, double* ipX)
{
  ErrorDepthHandler depth;
  if (!ipX)
    return QAVSamReport(QAVSamKindNull, "ipX", kErrFile, 71, _PenaltyFitness += 1.0);
  // The ellipse lives on the stack: an evaluation allocates nothing.
  const QAVTasCovarianceEllipse ellipse(_EllipseLevel, 0.0, ipX[0], ipX[1], ipX[2], _pCoord, _PointCount, _WithoutU);
  if (!ellipse.IsAnEllipse())
  {
    const double fitness = _PenaltyFitness;
    _PenaltyFitness += 1.0;
    return fitness;
  }
  double fitness = 0.0;
  if (ellipse.GetVarianceOfDistanceFromPoints(_pCoord, _PointCount, _MaxDistance, fitness) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 82, _PenaltyFitness += 1.0);
  return fitness;
}

HRESULT QAVTasEllipseSolver::GetLxAndLyMax(double& oLx, double& oLy)
{
  ErrorDepthHandler depth;
  if (_PointCount == 0)
    return QAVSamReport(QAVSamKindNull, "_PointCount", kErrFile, 115);
  if (!_pCoord)
    return QAVSamReport(QAVSamKindNull, "_pCoord", kErrFile, 116);
  oLx = oLy = 0.0;
  for (std::int32_t i = 0; i < _PointCount; ++i)
  {
    // A NaN or infinite coordinate makes every candidate's fitness meaningless.
    if (!std::isfinite(_pCoord[2 * i]) || !std::isfinite(_pCoord[2 * i + 1]))
      return QAVSamReport(QAVSamKindFailed, "", kErrFile, 116);
    oLx = std::max(oLx, std::fabs(_pCoord[2 * i]));
    oLy = std::max(oLy, std::fabs(_pCoord[2 * i + 1]));
  }
  return S_OK;
}

HRESULT QAVTasEllipseSolver::ComputeEllipseParameters(double* iopParameters)
{
  ErrorDepthHandler depth;
  if (!iopParameters)
    return QAVSamReport(QAVSamKindNull, "iopParameters", kErrFile, 162);
  // A NaN or infinite level has no usable coefficient bound either.
  if (!(_EllipseLevel > 0) || !std::isfinite(_EllipseLevel))
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 166);
  double lx = 0.0, ly = 0.0;
  if (GetLxAndLyMax(lx, ly) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 185);
  // The coefficients' bound s = 2·level / L² comes from the smaller extent L; L = 0 has none.
  const double l = std::fabs(ly) > std::fabs(lx) ? lx : ly;
  if (l == 0.0)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 187);
  const double s = _EllipseLevel * 2.0 / (l * l);
  double lower[3] = {0.0, 0.0, -std::sqrt(s * s)};
  double upper[3] = {s, s, std::sqrt(s * s)};
  std::cout << "pSup[0]" << s << std::endl;
  std::cout << "pSup[1]" << s << std::endl;

  RunSettings().ApplyTo(*this);
  double best[3] = {0.0, 0.0, 0.0};
  {
    const QAVGALimitsGuard limits(*this, lower, upper);
    Minimize();
    GetOptimumParams(best);
  }

  const QAVTasCovarianceEllipse ellipse(_EllipseLevel, 0.0, best[0], best[1], best[2], _pCoord, _PointCount, _WithoutU);
  if (ellipse.GetAllParameters(iopParameters) != S_OK)
    return QAVSamReport(QAVSamKindFailed, "", kErrFile, 230);

  std::cout << "fitness=" << GetOptimumFitness() << std::endl;
  for (int i = 0; i < 6; ++i)
    std::cout << "iopParameters[" << i << "]=" << iopParameters[i] << std::endl;
  return S_OK;
}

// QAVTasOptimizerTolerancing: the constraint reports and the result's values.
#include "QAVTasOptimizerTolerancing.h"

#include "ErrorDepthHandler.h"
#include "QAVSamReport.h"
#include "QAVTasToleranceModel.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{
const char kErrFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";
const std::int32_t kDirectForm = 2;
const std::int32_t kMultiplierForm = 3;
const std::int32_t kLineExactReport = 720; // 720, 721: the exact report's stream and solution
using Model = QAVTasToleranceModel;

void Rule(FILE* iopFile, int iLineEnds)
{
  std::fputs("-------------------------------------------------------------------------------\n", iopFile);
  if (iLineEnds > 1)
    std::fputs("\n", iopFile);
}

// The reports count a NaN as inside its bounds, as they always printed it.
bool ReportsViolation(double iValue, double iLow, double iHigh)
{
  return Model::Violates(iValue, iLow, iHigh, Model::NaNPolicy::Passes);
}

// The first-constraint block of both reports: iRow(j) is the stacked value of bound j, printed as
// iName[j] when it breaks its bounds and against iLimit[j] when it does not.
template <class RowValue>
void WriteFirstConstraint(FILE* iopFile, std::int32_t iNy, const double* iLow, const double* iHigh, const char* iName,
                          const char* iLimit, RowValue&& iRow)
{
  bool violated = false;
  for (std::int32_t j = 0; j < iNy; ++j)
  {
    const double value = iRow(j);
    if (ReportsViolation(value, iLow[j], iHigh[j]))
    {
      violated = true;
      std::fprintf(iopFile, "First Constraint Violation On 0 < _ppW[%d]*Xmoy < Ymoy[%d]\n", j + 1, j + 1);
      std::fprintf(iopFile, "%s[%d] = %lf\n", iName, j + 1, value);
    }
    else
      std::fprintf(iopFile, "0 < %lf < %s[%d]\n", value, iLimit, j + 1);
  }
  if (!violated)
    std::fputs("\nNo violation for first constraint\n", iopFile);
  Rule(iopFile, 1);
}
} // namespace

HRESULT QAVTasOptimizerTolerancing::CheckConstraints(FILE* iopFile)
{
  ErrorDepthHandler depth;
  if (iopFile == nullptr)
    return QAVSamReport(QAVSamKindNull, "iopFile", kErrFile, 485);
  if (_pParams == nullptr)
    return QAVSamReport(QAVSamKindNull, "_pParams", kErrFile, 486);
  if (_Formulation == kDirectForm)
    WriteDirectReport(iopFile, _pParams, _pParams + _Nx);
  else if (_Formulation == kMultiplierForm)
    WriteMultiplierReport(iopFile);
  return S_OK;
}

void QAVTasOptimizerTolerancing::WriteDirectReport(FILE* iopFile, const double* ipX, const double* ipDelta) const
{
  const Model model = Model::Of(*this);
  std::fprintf(iopFile, "Objective_Function = %lf\n", model.SumOfInverses(ipX));
  Rule(iopFile, 1);
  for (std::int32_t i = 0; i < _Nx; ++i)
    std::fprintf(iopFile, "Xmoy[%d] = %lf\n", i + 1, ipX[i]);
  for (std::int32_t j = 0; j < _Ny; ++j)
    std::fprintf(iopFile, "delta[%d] = %lf\n", j + 1, ipDelta[j]);
  Rule(iopFile, 2);

  WriteFirstConstraint(iopFile, _Ny, _pYmin, _pYmax, "pWx", "pWx",
                       [&](std::int32_t j) { return model.StackUp(j, ipX); });

  bool violated = false;
  for (std::int32_t j = 0; j < _Ny; ++j)
  {
    if (ReportsViolation(ipDelta[j], _pYmin[j], _pYmax[j]))
    {
      violated = true;
      std::fprintf(iopFile, "Second Constraint Violation On 0 < delta[%d] < Ymoy[%d]\n", j + 1, j + 1);
    }
    else
      std::fprintf(iopFile, "delta[%d] = %lf\n", j + 1, ipDelta[j]);
  }
  if (!violated)
    std::fputs("\nNo violation for second constraint\n", iopFile);
  Rule(iopFile, 1);
}

void QAVTasOptimizerTolerancing::WriteMultiplierReport(FILE* iopFile) const
{
  const Model model = Model::Of(*this);
  std::vector<double> s(static_cast<std::size_t>(_Nx));
  double objective = 0.0;
  for (std::int32_t i = 0; i < _Nx; ++i)
  {
    s[i] = model.MultiplierS(i, _pParams);
    objective += s[i];
  }
  std::fprintf(iopFile, "Objective_Function = %lf\n", objective);
  Rule(iopFile, 1);
  for (std::int32_t i = 0; i < _Nx; ++i)
    std::fprintf(iopFile, "Xmoy[%d] = %lf\n", i + 1, 1.0 / s[i]);
  std::fputs("\n", iopFile);
  for (std::int32_t j = 0; j < _Ny; ++j)
    std::fprintf(iopFile, "lambda[%d] = %lf\n", j + 1, _pParams[j]);
  Rule(iopFile, 2);

  WriteFirstConstraint(iopFile, _Ny, _pYmin, _pYmax, "pWy", "Ymoy",
                       [&](std::int32_t j) { return model.StackUpOfInverse(j, s.data()); });
  for (std::int32_t j = 0; j < _Ny; ++j)
    std::fprintf(iopFile, "pWy[%d] = %lf\n", j + 1, model.RowSum(j));
}

HRESULT QAVTasOptimizerTolerancing::GetValues(float*& oValues)
{
  ErrorDepthHandler depth;
  if (_pParams == nullptr)
    return QAVSamReport(QAVSamKindNull, "_pParams", kErrFile, 665);
  const Model model = Model::Of(*this);
  oValues = new float[_Nx];
  for (std::int32_t i = 0; i < _Nx; ++i)
    oValues[i] = static_cast<float>(1.0 / model.MultiplierS<float>(i, _pParams));
  return S_OK;
}

HRESULT QAVTasOptimizerTolerancing::CheckExactConstraints(FILE* iopFile)
{
  ErrorDepthHandler depth;
  if (iopFile == nullptr)
    return QAVSamReport(QAVSamKindNull, "iopFile", kErrFile, kLineExactReport);
  if (_Exact.Tolerances.size() != static_cast<std::size_t>(_Nx) || _Nx <= 0)
    return QAVSamReport(QAVSamKindNull, "_Exact", kErrFile, kLineExactReport + 1);
  const Model model = Model::Of(*this);
  std::vector<double> delta(static_cast<std::size_t>(_Ny));
  for (std::int32_t j = 0; j < _Ny; ++j)
    delta[j] = model.StackUp(j, _Exact.Tolerances.data());
  WriteDirectReport(iopFile, _Exact.Tolerances.data(), delta.data());
  return S_OK;
}

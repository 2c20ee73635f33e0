#include "QAVMathGAOptimizer.h"

#include "QAVDifferentialEvolutionStep.h"
#include "QAVMathGAPopulation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace DE = QAVDifferentialEvolutionDetail;

namespace
{
// The partner draw needs five individuals besides the target.
const std::int32_t kMinPopulation = 6;
const std::int32_t kMaxGenes = 500;

struct SilentTraits : DE::RealFormulas
{
  using Gene = double;
  QAVMathGAOptimizer& optimizer;
  double Draw() { return drand48(); }
  double Evaluate(double* ipCode, std::int32_t iCount) { return optimizer.EvalFitness(iCount, ipCode); }
  void Fail(bool, DE::StepFailure) {}
};
} // namespace

QAVMathGAPopulation::QAVMathGAPopulation(std::int32_t iSize, std::int32_t iLength)
  : _Size(iSize), _Genes(static_cast<std::size_t>(iSize) * static_cast<std::size_t>(iLength)),
    _Storage(static_cast<std::size_t>(iSize))
{
  for (std::int32_t i = 0; i < iSize; ++i)
    _Storage[i] = QAVMathGAIndividual{_Genes.data() + static_cast<std::size_t>(i) * iLength, 0.0};
  _Individuals = _Storage.data();
}

QAVMathGAOptimizer::QAVMathGAOptimizer() : _OptimumFitness(std::numeric_limits<double>::quiet_NaN()) {}

QAVMathGAOptimizer::~QAVMathGAOptimizer() = default;

void QAVMathGAOptimizer::SetMaxNumber(std::int32_t iCount) { _MaxNumberOfGenerations = iCount > 0 ? iCount : 100; }
void QAVMathGAOptimizer::SetPopulationSize(std::int32_t iSize) { _PopulationSize = iSize > 0 ? iSize : 30; }
void QAVMathGAOptimizer::SetNumParams(std::int32_t iCount)
{
  _NumParams = iCount >= 1 && iCount <= kMaxGenes ? iCount : kMaxGenes;
}
void QAVMathGAOptimizer::SetCrossValue(double iValue) { _CrossValue = iValue >= 0 && iValue <= 1.0 ? iValue : 0.8; }
void QAVMathGAOptimizer::SetMutatValue(double iValue) { _MutatValue = iValue >= 0 && iValue <= 1.0 ? iValue : 1.0; }
void QAVMathGAOptimizer::SetParamValLimits(double* ipMin, double* ipMax)
{
  _ParamValMin = ipMin;
  _ParamValMax = ipMax;
}
void QAVMathGAOptimizer::SetFitnessReference(double iReference) { _FitnessReference = iReference; }
void QAVMathGAOptimizer::SetProcess(std::int32_t iProcess) { _Process = iProcess; }
void QAVMathGAOptimizer::SetRefresh(std::int32_t iRefresh) { _Refresh = iRefresh > 0 ? iRefresh : 1; }
void QAVMathGAOptimizer::SetSeed(std::int32_t iSeed) { _Seed = iSeed; }
void QAVMathGAOptimizer::SetIdemFitnessCount(std::int32_t iCount) { _IdemFitnessCount = iCount > 0 ? iCount : 10; }

void QAVMathGAOptimizer::GetOptimumParams(double* opParams) const
{
  if (opParams)
    std::copy(_OptimumCode.begin(), _OptimumCode.end(), opParams);
}

double QAVMathGAOptimizer::GetOptimumFitness() const { return _OptimumFitness; }
std::int32_t QAVMathGAOptimizer::GetGenerationCount() const { return _Generations; }

void QAVMathGAOptimizer::Minimize() { Run<DE::Minimizing>(); }
void QAVMathGAOptimizer::Maximize() { Run<DE::Maximizing>(); }

void QAVMathGAOptimizer::Initialize(bool iMaximizing)
{
  srand48(_Seed);
  const std::int32_t size = std::max(_PopulationSize, kMinPopulation);
  _OldPopulation.reset(new QAVMathGAPopulation(size, _NumParams));
  _NewPopulation.reset(new QAVMathGAPopulation(size, _NumParams));
  for (std::int32_t i = 0; i < size; ++i)
  {
    double* code = _OldPopulation->_Individuals[i]._Code;
    for (std::int32_t k = 0; k < _NumParams; ++k)
      code[k] = _ParamValMin[k] + drand48() * (_ParamValMax[k] - _ParamValMin[k]);
    _OldPopulation->_Individuals[i]._Fitness = EvalFitness(_NumParams, code);
  }
  DE::ComputeStatistics(_OldPopulation.get(), size);
  const QAVMathGAIndividual& best =
    _OldPopulation->_Individuals[iMaximizing ? _OldPopulation->_MaxIndex : _OldPopulation->_MinIndex];
  _OptimumCode.assign(best._Code, best._Code + _NumParams);
  _OptimumFitness = best._Fitness;
  _Leader.assign(static_cast<std::size_t>(_NumParams), 0.0);
  _Trial.assign(static_cast<std::size_t>(_NumParams), 0.0);
}

template <class Direction>
void QAVMathGAOptimizer::Run()
{
  _Generations = 0;
  if (_NumParams < 1 || !_ParamValMin || !_ParamValMax)
    return;
  Initialize(Direction::kMaximizing);

  SilentTraits traits{{}, *this};
  const std::int32_t size = _OldPopulation->_Size;
  double leaderFitness = 0.0;
  struct Generations
  {
    QAVMathGAOptimizer& o;
    SilentTraits& traits;
    DE::StepData<QAVMathGAPopulation, double> data;
    std::int32_t MaxGenerations() const { return o._MaxNumberOfGenerations; }
    std::int32_t IdemLimit() const { return o._IdemFitnessCount; }
    std::int32_t Refresh() const { return o._Refresh; }
    double OptimumFitness() const { return o._OptimumFitness; }
    bool GoesOn() const
    {
      return Direction::kMaximizing ? o._OptimumFitness < o._FitnessReference
                                    : o._OptimumFitness > o._FitnessReference;
    }
    void Generate()
    {
      data.oldPopulation = o._OldPopulation.get();
      data.newPopulation = o._NewPopulation.get();
      DE::Generate<Direction>(traits, data, o._Process);
    }
    // Minimize: progress is a relative change of the optimum above 0.1 %; Maximize: any change.
    bool NoProgress(double iLast, double iNow) const
    {
      return Direction::kMaximizing ? iNow == iLast : std::fabs((iNow - iLast) / iNow) <= 0.001;
    }
    void Report(std::int32_t) const {}
    void Shift() { std::swap(o._OldPopulation, o._NewPopulation); }
  } run{*this, traits,
        DE::StepData<QAVMathGAPopulation, double>{nullptr, nullptr, &size, _NumParams, _CrossValue, _MutatValue,
                                                  _ParamValMin, _ParamValMax, _Leader.data(), &leaderFitness,
                                                  _Trial.data(), _OptimumCode.data(), &_OptimumFitness}};
  _Generations = DE::RunGenerations(run).generations;
}

#include "QAVMathGAOptimizer.h"

#include "QAVDifferentialEvolutionStep.h"
#include "QAVMathGAPopulation.h"

#include <algorithm>
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

QAVMathGAOptimizer::QAVMathGAOptimizer() : _Optimum{{}, std::numeric_limits<double>::quiet_NaN()} {}

QAVMathGAOptimizer::~QAVMathGAOptimizer() = default;

void QAVMathGAOptimizer::SetMaxNumber(std::int32_t iCount)
{
  _MaxNumberOfGenerations = DE::SetterRule::MaxNumber(iCount);
}
void QAVMathGAOptimizer::SetPopulationSize(std::int32_t iSize)
{
  _PopulationSize = DE::SetterRule::PopulationSize(iSize);
}
void QAVMathGAOptimizer::SetNumParams(std::int32_t iCount)
{
  _NumParams = DE::SetterRule::NumParams(iCount, kMaxGenes);
}
void QAVMathGAOptimizer::SetCrossValue(double iValue)
{
  _CrossValue = DE::SetterRule::CrossValue(iValue);
}
void QAVMathGAOptimizer::SetMutatValue(double iValue)
{
  _MutatValue = DE::SetterRule::MutatValue(iValue);
}
void QAVMathGAOptimizer::SetParamValLimits(double* ipMin, double* ipMax)
{
  _ParamValMin = ipMin;
  _ParamValMax = ipMax;
}
void QAVMathGAOptimizer::SetFitnessReference(double iReference) { _FitnessReference = iReference; }
void QAVMathGAOptimizer::SetProcess(std::int32_t iProcess) { _Process = iProcess; }
void QAVMathGAOptimizer::SetRefresh(std::int32_t iRefresh)
{
  _Refresh = DE::SetterRule::Refresh(iRefresh);
}
void QAVMathGAOptimizer::SetSeed(std::int32_t iSeed) { _Seed = iSeed; }
void QAVMathGAOptimizer::SetIdemFitnessCount(std::int32_t iCount)
{
  _IdemFitnessCount = DE::SetterRule::IdemFitnessCount(iCount);
}

void QAVMathGAOptimizer::GetOptimumParams(double* opParams) const
{
  if (opParams)
    std::copy(_Optimum._Code.begin(), _Optimum._Code.end(), opParams);
}

double QAVMathGAOptimizer::GetOptimumFitness() const { return _Optimum._Fitness; }
std::int32_t QAVMathGAOptimizer::GetGenerationCount() const { return _Generations; }

// As the library's real engine: a fresh random population, each individual scored once, and the
// lowest-fitness one as the optimum, whichever driver runs.
void QAVMathGAOptimizer::Initialize()
{
  srand48(_Seed);
  _RunSize = std::max(_PopulationSize, kMinPopulation);
  _RunGenes = _NumParams;
  _OldPopulation.reset(new QAVMathGAPopulation(_RunSize, _RunGenes));
  _NewPopulation.reset(new QAVMathGAPopulation(_RunSize, _RunGenes));
  for (std::int32_t i = 0; i < _RunSize; ++i)
  {
    double* code = _OldPopulation->_Individuals[i]._Code;
    for (std::int32_t k = 0; k < _RunGenes; ++k)
      code[k] = _ParamValMin[k] + drand48() * (_ParamValMax[k] - _ParamValMin[k]);
  }
  for (std::int32_t i = 0; i < _RunSize; ++i)
  {
    QAVMathGAIndividual& individual = _OldPopulation->_Individuals[i];
    individual._Fitness = EvalFitness(_RunGenes, individual._Code);
  }
  DE::ComputeStatistics(_OldPopulation.get(), _RunSize);
  const QAVMathGAIndividual& best = _OldPopulation->_Individuals[_OldPopulation->_MinIndex];
  _Optimum._Code.assign(best._Code, best._Code + _RunGenes);
  _Optimum._Fitness = best._Fitness;
  _Leader.assign(static_cast<std::size_t>(_RunGenes), 0.0);
  _Trial.assign(static_cast<std::size_t>(_RunGenes), 0.0);
}

template <class Direction>
void QAVMathGAOptimizer::Generate()
{
  if (!_OldPopulation || !_NewPopulation)
    return;
  double leaderFitness = 0.0;
  const DE::StepData<QAVMathGAPopulation, double> data{
    _OldPopulation.get(), _NewPopulation.get(), &_RunSize, _RunGenes,           _CrossValue,
    _MutatValue,          _ParamValMin,         _ParamValMax, _Leader.data(), &leaderFitness,
    _Trial.data(),        _Optimum._Code.data(), &_Optimum._Fitness};
  SilentTraits traits{{}, *this};
  DE::Generate<Direction>(traits, data, _Process);
}

void QAVMathGAOptimizer::GenerateMin() { Generate<DE::Minimizing>(); }
void QAVMathGAOptimizer::GenerateMax() { Generate<DE::Maximizing>(); }
void QAVMathGAOptimizer::ShiftPopulation() { std::swap(_OldPopulation, _NewPopulation); }
void QAVMathGAOptimizer::Report(std::int32_t) {}

template <class Direction, class Rule>
void QAVMathGAOptimizer::Run()
{
  _Generations = 0;
  if (_NumParams < 1 || !_ParamValMin || !_ParamValMax)
    return;
  Initialize();
  _Generations = DE::RunEngine<Direction, Rule>(*this).generations;
}

void QAVMathGAOptimizer::Minimize() { Run<DE::Minimizing, DE::RelativeChange>(); }
void QAVMathGAOptimizer::Maximize() { Run<DE::Maximizing, DE::ExactChange>(); }

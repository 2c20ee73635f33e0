// The integer-coded engine: individuals, populations, the optimiser and its reports.
#include "QAVMathIntGAOptimizer.h"

#include "QAVDifferentialEvolutionStep.h"
#include "QAVGAReportWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <memory>
#include <utility>

namespace DE = QAVDifferentialEvolutionDetail;

namespace
{
constexpr double kInt32Max = 2147483647.0;
constexpr double kInt32Min = -2147483648.0;

// A floored value as a gene: saturated to the 32-bit range (NaN cannot arise, but would give the minimum).
std::int32_t ClampToGene(double iValue)
{
  if (iValue >= kInt32Max)
    return INT32_MAX;
  if (iValue > kInt32Min)
    return static_cast<std::int32_t>(iValue);
  return INT32_MIN;
}

// Gene sums and differences are exact in 64 bits, and so in a double; no 32-bit overflow.
double Exact(std::int64_t iValue)
{
  return static_cast<double>(iValue);
}

// gene = min + floor(u * (max - min)): in [min, max - 1] for max > min, in [max, min] otherwise.
std::int32_t RandomGene(std::int32_t iMin, std::int32_t iMax)
{
  const double u = IntGA_drand48();
  const double x = u * Exact(std::int64_t{iMax} - iMin);
  return static_cast<std::int32_t>(iMin + static_cast<std::int64_t>(std::floor(x)));
}

struct IntTraits
{
  using Gene = std::int32_t;

  QAVMathIntGAOptimizer& _Optimizer;
  std::int64_t& _Evaluations;

  double Draw() { return IntGA_drand48(); }
  DE::QAVTrialBatch<Gene>* _Batch;

  double Evaluate(Gene* ipCode, std::int32_t iCount)
  {
    ++_Evaluations;
    return _Optimizer.EvalFitness(iCount, ipCode);
  }
  DE::QAVTrialBatch<Gene>* Batch() { return _Batch; }
  void EvaluateBatch(DE::QAVTrialBatch<Gene>& ioBatch)
  {
    ioBatch.Evaluate([this](Gene* ipCode, std::int32_t iCount) { return _Optimizer.EvalFitness(iCount, ipCode); });
    _Evaluations += ioBatch.Count();
  }
  void Fail(bool iMaximizing, DE::StepFailure iWhere)
  {
    static const char* const kMin[] = {"GenerateMin failed -- lg 580 ", "GenerateMin failed -- lg 773 ",
                                       "GenerateMin failed -- lg 780 ",
                                       "QAVMathIntGAOptimizer::GenerateMin failed -- lg 866 "};
    static const char* const kMax[] = {
      "QAVMathIntGAOptimizer::GenerateMax failed -- lg 897 ", "QAVMathIntGAOptimizer::GenerateMax failed -- lg 1090 ",
      "QAVMathIntGAOptimizer::GenerateMax failed -- lg 1096 ", "QAVMathIntGAOptimizer::GenerateMax failed -- lg 1159 "};
    std::cout << (iMaximizing ? kMax : kMin)[static_cast<int>(iWhere)] << std::endl;
  }

  static Gene Best1(double f, Gene b, Gene x2, Gene x3)
  {
    return ClampToGene(b + std::floor(f * Exact(std::int64_t{x2} - x3)));
  }
  static Gene Rand1(double f, Gene x1, Gene x2, Gene x3) { return Best1(f, x1, x2, x3); }
  static Gene RandToBest1(double f, Gene t, Gene b, Gene x1, Gene x2)
  {
    return ClampToGene(t + std::floor(f * Exact(std::int64_t{b} - t) + f * Exact(std::int64_t{x1} - x2)));
  }
  static Gene Best2(double f, Gene b, Gene x1, Gene x2, Gene x3, Gene x4)
  {
    return ClampToGene(b + std::floor(f * Exact(std::int64_t{x1} + x2 - x3 - x4)));
  }
  static Gene Rand2(double f, Gene x5, Gene x1, Gene x2, Gene x3, Gene x4) { return Best2(f, x5, x1, x2, x3, x4); }
};

void CopyIndividual(QAVMathIntGAIndividual& oTo, const QAVMathIntGAIndividual& iFrom, std::int32_t iCount)
{
  DE::CopyGenes(oTo._Code, iFrom._Code, iCount);
  oTo._Fitness = iFrom._Fitness;
}

struct CoutSink
{
  void Text(const char* iText) { std::cout << iText; }
  template <class V>
  void Value(V iValue)
  {
    std::cout << iValue;
  }
  template <class V>
  void Value(V iValue, int iWidth)
  {
    std::cout << std::setw(iWidth) << iValue;
  }
  void EndLine() { std::cout << std::endl; }
  void Repeat(const char* iText, std::int32_t iCount) { IntGA_repchar(iText, iCount); }
};

const QAVGAReportDetail::Texts kReportTexts = {
  " QAVMathIntGAPopulation size       = ",
  " Number of QAVMathIntGAOptimizers  = ",
  "__________Initial QAVMathIntGAOptimizer statistics____________",
  " Initial QAVMathIntGAPopulation maximum fitness = ",
  " Initial QAVMathIntGAPopulation minimum fitness = ",
  "QAVMathIntGAPopulation report",
  "QAVMathIntGAOptimizer ",
  " Note : QAVMathIntGAOptimizer ",
  "  (QAVMathIntGAIndividual = ",
  nullptr,
  "Lg 509: pi == NULL",
  "InitReport failed -- lg 525 ",
};
} // namespace

// ---------------------------------------------------------------------------------------------
// Random source and report helper

double IntGA_drand48()
{
  return drand48();
}

void IntGA_srand48(const std::int32_t seed)
{
  srand48(seed);
}

void IntGA_repchar(const char* text, std::int32_t count)
{
  for (std::int32_t i = 0; i < count; ++i)
    std::cout << text;
}

// ---------------------------------------------------------------------------------------------
// QAVMathIntGAIndividual

QAVMathIntGAIndividual::QAVMathIntGAIndividual() : _CodeLength(0), _Code(nullptr), _Fitness(-1.0) {}

QAVMathIntGAIndividual::QAVMathIntGAIndividual(std::int32_t n) : _CodeLength(0), _Code(nullptr), _Fitness(-1.0)
{
  Initialize(n);
}

QAVMathIntGAIndividual::~QAVMathIntGAIndividual()
{
  delete[] _Code;
  _Code = nullptr;
}

void QAVMathIntGAIndividual::Initialize(std::int32_t n)
{
  // Allocated before the old genes go, so a failed allocation leaves the individual intact.
  const std::int32_t length = n > 0 ? n : 0;
  std::int32_t* pCode = new std::int32_t[length]();
  delete[] _Code;
  _Code = pCode;
  _CodeLength = length;
  _Fitness = -1.0;
}

// ---------------------------------------------------------------------------------------------
// QAVMathIntGAPopulation

QAVMathIntGAPopulation::QAVMathIntGAPopulation(std::int32_t size, std::int32_t length, std::int32_t* min,
                                               std::int32_t* max)
  : _Size(size < 6 ? 6 : size), _ChromosomeLength(length), _ParamValMin(min), _ParamValMax(max)
{
  AllocateIndividuals();
  // Without limits there is nothing to draw within; the genes stay zero.
  if (min == nullptr || max == nullptr)
    return;
  for (std::int32_t i = 0; i < _Size; ++i)
    for (std::int32_t j = 0; j < _ChromosomeLength; ++j)
      _Individuals[i]._Code[j] = RandomGene(min[j], max[j]);
}

QAVMathIntGAPopulation::QAVMathIntGAPopulation(QAVMathIntGAPopulation* source)
{
  if (source == nullptr)
    return;
  _Size = source->_Size;
  _ChromosomeLength = source->_ChromosomeLength;
  _ParamValMin = source->_ParamValMin;
  _ParamValMax = source->_ParamValMax;
  AllocateIndividuals();
  for (std::int32_t i = 0; i < _Size; ++i)
    DE::CopyGenes(_Individuals[i]._Code, source->_Individuals[i]._Code, _ChromosomeLength);
}

QAVMathIntGAPopulation::~QAVMathIntGAPopulation()
{
  delete[] _Individuals;
  _Individuals = nullptr;
  _ParamValMin = nullptr;
  _ParamValMax = nullptr;
}

QAVMathIntGAPopulation& QAVMathIntGAPopulation::operator=(const QAVMathIntGAPopulation& other)
{
  if (&other == this)
    return *this;
  _MaxIndex = other._MaxIndex;
  _MinIndex = other._MinIndex;
  _MaxFitness = other._MaxFitness;
  _MinFitness = other._MinFitness;
  delete[] _Individuals;
  _Individuals = nullptr;
  AllocateIndividuals();
  // A smaller source gives what it has; the rest stays zero.
  const std::int32_t count = other._Individuals == nullptr ? 0 : std::min(_Size, other._Size);
  const std::int32_t genes = std::min(_ChromosomeLength, other._ChromosomeLength);
  for (std::int32_t i = 0; i < count; ++i)
    DE::CopyGenes(_Individuals[i]._Code, other._Individuals[i]._Code, genes);
  return *this;
}

void QAVMathIntGAPopulation::AllocateIndividuals()
{
  // Held until every individual is sized: a failed allocation frees what was already taken.
  std::unique_ptr<QAVMathIntGAIndividual[]> individuals(new QAVMathIntGAIndividual[_Size > 0 ? _Size : 0]);
  for (std::int32_t i = 0; i < _Size; ++i)
    individuals[i].Initialize(_ChromosomeLength);
  _Individuals = individuals.release();
}

// ---------------------------------------------------------------------------------------------
// QAVMathIntGAOptimizer: configuration and results

QAVMathIntGAOptimizer::QAVMathIntGAOptimizer()
  : _MaxNumberOfGenerations(100), _PopulationSize(6), _NumParams(1), _CrossValue(0.8), _MutatValue(1.0),
    _ParamValMin(nullptr), _ParamValMax(nullptr), _FitnessReference(0.0), _Process(1), _Refresh(2), _Seed(-3),
    _IdemFitnessCount(100), _OldPopulation(nullptr), _NewPopulation(nullptr)
{
}

QAVMathIntGAOptimizer::~QAVMathIntGAOptimizer()
{
  delete _OldPopulation;
  delete _NewPopulation;
  _OldPopulation = nullptr;
  _NewPopulation = nullptr;
  _ParamValMin = nullptr;
  _ParamValMax = nullptr;
}

void QAVMathIntGAOptimizer::SetObserver(QAVGAObserver iObserver)
{
  _Observer = std::move(iObserver);
}

void QAVMathIntGAOptimizer::SetEvaluationThreads(std::int32_t n)
{
  Batch().SetThreads(n);
}

void QAVMathIntGAOptimizer::SetFitnessBatch(QAVFitnessBatch<std::int32_t>* ipBatch)
{
  Batch().SetEvaluator(ipBatch);
}

DE::QAVTrialBatch<std::int32_t>& QAVMathIntGAOptimizer::Batch()
{
  if (!_Batch)
    _Batch.reset(new DE::QAVTrialBatch<std::int32_t>);
  return *_Batch;
}

DE::QAVTrialBatch<std::int32_t>* QAVMathIntGAOptimizer::ActiveBatch() const
{
  return _Batch && _Batch->Active() ? _Batch.get() : nullptr;
}

void QAVMathIntGAOptimizer::SetMaxNumber(std::int32_t n)
{
  _MaxNumberOfGenerations = DE::SetterRule::MaxNumber(n);
}

void QAVMathIntGAOptimizer::SetPopulationSize(std::int32_t n)
{
  _PopulationSize = DE::SetterRule::IntegerPopulationSize(n);
}

void QAVMathIntGAOptimizer::SetNumParams(std::int32_t n)
{
  _NumParams = n > 0 ? n : 0;
  _Optimum.Initialize(_NumParams);
}

void QAVMathIntGAOptimizer::SetCrossValue(double v)
{
  _CrossValue = DE::SetterRule::CrossValue(v);
}

void QAVMathIntGAOptimizer::SetMutatValue(double v)
{
  _MutatValue = DE::SetterRule::MutatValue(v);
}

void QAVMathIntGAOptimizer::SetParamValLimits(std::int32_t* min, std::int32_t* max)
{
  _ParamValMin = min;
  _ParamValMax = max;
}

void QAVMathIntGAOptimizer::SetFitnessReference(double r)
{
  _FitnessReference = r;
}

void QAVMathIntGAOptimizer::SetProcess(std::int32_t p)
{
  _Process = p;
}

void QAVMathIntGAOptimizer::SetRefresh(std::int32_t n)
{
  _Refresh = DE::SetterRule::Refresh(n);
}

void QAVMathIntGAOptimizer::SetSeed(std::int32_t s)
{
  _Seed = s;
}

void QAVMathIntGAOptimizer::SetIdemFitnessCount(std::int32_t n)
{
  _IdemFitnessCount = DE::SetterRule::IdemFitnessCount(n);
}

void QAVMathIntGAOptimizer::GetOptimum(QAVMathIntGAIndividual& ind)
{
  CopyIndividual(ind, _Optimum, std::min(OptimumGenes(), ind._CodeLength));
}

void QAVMathIntGAOptimizer::GetOptimumParams(std::int32_t* out)
{
  DE::CopyGenes(out, _Optimum._Code, OptimumGenes());
}

// _NumParams, unless the optimum was never sized for them.
std::int32_t QAVMathIntGAOptimizer::OptimumGenes() const
{
  return std::min(_NumParams, _Optimum._CodeLength);
}

double QAVMathIntGAOptimizer::GetOptimumFitness()
{
  return _Optimum._Fitness;
}

// ---------------------------------------------------------------------------------------------
// QAVMathIntGAOptimizer: run

void QAVMathIntGAOptimizer::Initialize()
{
  IntGA_srand48(_Seed);
  delete _OldPopulation;
  delete _NewPopulation;
  // Cleared at once: a population that cannot be allocated must not leave a freed pointer behind.
  _OldPopulation = nullptr;
  _NewPopulation = nullptr;
  _OldPopulation = new QAVMathIntGAPopulation(_PopulationSize, _NumParams, _ParamValMin, _ParamValMax);
  _Evaluations = _PopulationSize;
  if (DE::QAVTrialBatch<std::int32_t>* batch = ActiveBatch())
    batch->EvaluateAll(_OldPopulation->_Individuals, _PopulationSize, _NumParams,
                       [this](std::int32_t* ipCode, std::int32_t iCount) { return EvalFitness(iCount, ipCode); });
  else
    for (std::int32_t i = 0; i < _PopulationSize; ++i)
      _OldPopulation->_Individuals[i]._Fitness = EvalFitness(_NumParams, _OldPopulation->_Individuals[i]._Code);
  _NewPopulation = new QAVMathIntGAPopulation(_OldPopulation);
  Statistics(_OldPopulation);
  CopyIndividual(_Optimum, _OldPopulation->_Individuals[_OldPopulation->_MinIndex], OptimumGenes());
}

void QAVMathIntGAOptimizer::Statistics(QAVMathIntGAPopulation* pop)
{
  DE::ComputeStatistics(pop, _PopulationSize);
}

void QAVMathIntGAOptimizer::ShiftPopulation()
{
  std::swap(_OldPopulation, _NewPopulation);
}

// A run needs genes, limits and an optimum sized for them; anything less would read out of bounds.
bool QAVMathIntGAOptimizer::CanRun(const char* iDriver) const
{
  const char* reason = nullptr;
  if (_NumParams <= 0)
    reason = "no genes (SetNumParams needs a count above 0)";
  else if (_ParamValMin == nullptr || _ParamValMax == nullptr)
    reason = "no gene limits (call SetParamValLimits)";
  else if (_Optimum._Code == nullptr || _Optimum._CodeLength < _NumParams)
    reason = "the optimum is not sized (call SetNumParams before the run)";
  if (reason != nullptr)
    std::cout << "QAVMathIntGAOptimizer::" << iDriver << " refused: " << reason << std::endl;
  return reason == nullptr;
}

template <class Direction>
void QAVMathIntGAOptimizer::Generate()
{
  // Per call, only the two working individuals are allocated.
  QAVMathIntGAIndividual leader(_NumParams);
  QAVMathIntGAIndividual trial(_NumParams);
  const DE::StepData<QAVMathIntGAPopulation, std::int32_t> data{
    _OldPopulation, _NewPopulation, &_PopulationSize, _NumParams,  _CrossValue,    _MutatValue,       _ParamValMin,
    _ParamValMax,   leader._Code,   &leader._Fitness, trial._Code, _Optimum._Code, &_Optimum._Fitness};
  IntTraits traits{*this, _Evaluations, ActiveBatch()};
  DE::Generate<Direction>(traits, data, _Process);
}

void QAVMathIntGAOptimizer::GenerateMin()
{
  Generate<DE::Minimizing>();
}

void QAVMathIntGAOptimizer::GenerateMax()
{
  Generate<DE::Maximizing>();
}

template <class Direction>
void QAVMathIntGAOptimizer::Run()
{
  if (!CanRun(Direction::kMaximizing ? "Maximize" : "Minimize"))
    return;
  Initialize();
  InitReport();
  DE::RunEngine<Direction, DE::ExactChange>(*this, [this](std::int32_t g) { return Observe(g); });
}

bool QAVMathIntGAOptimizer::Observe(std::int32_t iGeneration)
{
  return _Observer &&
    _Observer(QAVGAProgress{iGeneration, _Optimum._Fitness, _Evaluations}) == QAVGAObserverReply::Stop;
}

void QAVMathIntGAOptimizer::Minimize()
{
  Run<DE::Minimizing>();
}

void QAVMathIntGAOptimizer::Maximize()
{
  Run<DE::Maximizing>();
}

// ---------------------------------------------------------------------------------------------
// QAVMathIntGAOptimizer: reports on standard output

void QAVMathIntGAOptimizer::InitReport()
{
  CoutSink out;
  QAVGAReportDetail::WriteInitReport(out, kReportTexts, _OldPopulation, _PopulationSize, _NumParams,
                                     _MaxNumberOfGenerations, _CrossValue, _MutatValue);
}

void QAVMathIntGAOptimizer::Report(std::int32_t generation)
{
  CoutSink out;
  QAVGAReportDetail::WriteReport(out, kReportTexts, _OldPopulation, _NewPopulation, _NumParams, generation);
}

void QAVMathIntGAOptimizer::Print(QAVMathIntGAIndividual& ind, const char* title)
{
  CoutSink out;
  // Never more genes than the individual holds.
  const std::int32_t genes = ind._CodeLength < _NumParams ? ind._CodeLength : _NumParams;
  QAVGAReportDetail::WritePrint(out, ind, genes, title);
}

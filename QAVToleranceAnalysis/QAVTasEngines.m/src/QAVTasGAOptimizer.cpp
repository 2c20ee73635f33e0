// The real-coded engine: populations, the optimiser, its reports and the evaluation counter.
#include "QAVTasGAOptimizer.h"

#include "QAVDRQOutput.h"
#include "QAVDifferentialEvolutionStep.h"
#include "QAVGAReportWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <new>
#include <utility>

namespace DE = QAVDifferentialEvolutionDetail;

std::int32_t nbeval = 0;
std::int32_t PhirCount = 1;

namespace
{
constexpr std::int32_t kCapacity = QAVTasMathGAIndividual::kCapacity;

// A length the individuals can hold: 0 to 500.
std::int32_t Held(std::int32_t iLength)
{
  return std::max(0, std::min(iLength, kCapacity));
}

void Debug(const char* iLine)
{
  std::cout << iLine << std::endl;
}

struct RealTraits : DE::RealFormulas
{
  using Gene = double;

  QAVTasGAOptimizer& _Optimizer;
  std::int64_t& _Evaluations;
  DE::QAVTrialBatch<Gene>* _Batch;

  double Draw() { return drand48(); }
  double Evaluate(Gene* ipCode, std::int32_t iCount)
  {
    const double f = _Optimizer.EvalFitness(iCount, ipCode);
    ++nbeval;
    ++_Evaluations;
    return f;
  }
  DE::QAVTrialBatch<Gene>* Batch() { return _Batch; }
  void EvaluateBatch(DE::QAVTrialBatch<Gene>& ioBatch)
  {
    ioBatch.Evaluate([this](Gene* ipCode, std::int32_t iCount) { return _Optimizer.EvalFitness(iCount, ipCode); });
    nbeval += ioBatch.Count();
    _Evaluations += ioBatch.Count();
  }
  void Fail(bool iMaximizing, DE::StepFailure iWhere)
  {
    static const char* const kMin[] = {
      "QAVTasGAOptimizer::GenerateMin failed -- lg 583 ", "QAVTasGAOptimizer::GenerateMin failed -- lg 776 ",
      "QAVTasGAOptimizer::GenerateMin failed -- lg 782 ", "QAVTasGAOptimizer::GenerateMin failed -- lg 862 "};
    static const char* const kMax[] = {
      "QAVTasGAOptimizer::GenerateMax failed -- lg 893 ", "QAVTasGAOptimizer::GenerateMax failed -- lg 1086 ",
      "QAVTasGAOptimizer::GenerateMax failed -- lg 1092 ", "QAVTasGAOptimizer::GenerateMax failed -- lg 1155 "};
    std::cout << (iMaximizing ? kMax : kMin)[static_cast<int>(iWhere)] << std::endl;
  }
};

void CopyIndividual(QAVTasMathGAIndividual& oTo, const QAVTasMathGAIndividual& iFrom, std::int32_t iCount)
{
  DE::CopyGenes(oTo._Code, iFrom._Code, iCount);
  oTo._Fitness = iFrom._Fitness;
}

// Every statement fetches the platform stream anew; lines end with an unflushed "\n".
struct PlatformSink
{
  void Text(const char* iText) { QAVDRQOutput::GetOut() << iText; }
  template <class V>
  void Value(V iValue)
  {
    QAVDRQOutput::GetOut() << iValue;
  }
  template <class V>
  void Value(V iValue, int iWidth)
  {
    QAVDRQOutput::GetOut() << drqsetw(iWidth) << iValue;
  }
  void EndLine() { QAVDRQOutput::GetOut() << "\n"; }
  void Repeat(const char* iText, std::int32_t iCount) { repchar(iText, iCount); }
};

const QAVGAReportDetail::Texts kReportTexts = {
  " QAVTasMathGAPopulation size       = ",
  " Number of QAVMathGAOptimizers  = ",
  "__________Initial QAVTasGAOptimizer statistics____________",
  " Initial QAVTasMathGAPopulation maximum fitness = ",
  " Initial QAVTasMathGAPopulation minimum fitness = ",
  "QAVTasMathGAPopulation report",
  "QAVTasGAOptimizer ",
  " Note : QAVTasGAOptimizer ",
  "  (QAVTasMathGAIndividual = ",
  "QAVTasGAOptimizer::Report failed: _OldPopulation == NULL",
  "QAVTasGAOptimizer::Report failed -- lg 470 ",
  "QAVTasGAOptimizer::Report failed -- lg 489 ",
};
} // namespace

void repchar(const char* text, std::int32_t count)
{
  for (std::int32_t i = 0; i < count; ++i)
    QAVDRQOutput::GetOut() << text;
}

// ---------------------------------------------------------------------------------------------
// QAVTasMathGAPopulation

QAVTasMathGAPopulation::QAVTasMathGAPopulation(std::int32_t size, std::int32_t length, double* min, double* max)
  : _Size(size), _ChromosomeLength(length), _ParamValMin(min), _ParamValMax(max)
{
  AllocateIndividuals();
  const std::int32_t genes = Held(_ChromosomeLength);
  for (std::int32_t i = 0; i < _Size; ++i)
  {
    if (_Individuals == nullptr)
    {
      std::cout << "QAVTasMathGAPopulation::QAVTasMathGAPopulation failed -- lg 203 " << std::endl;
      return;
    }
    // Without limits there is nothing to draw within; the genes stay zero.
    if (min == nullptr || max == nullptr)
      return;
    for (std::int32_t j = 0; j < genes; ++j)
      _Individuals[i]._Code[j] = min[j] + drand48() * (max[j] - min[j]);
  }
}

QAVTasMathGAPopulation::QAVTasMathGAPopulation(QAVTasMathGAPopulation* source)
{
  if (source == nullptr)
    return;
  _Size = source->_Size;
  _ChromosomeLength = source->_ChromosomeLength;
  _ParamValMin = source->_ParamValMin;
  _ParamValMax = source->_ParamValMax;
  AllocateIndividuals();
  if (_Individuals == nullptr || source->_Individuals == nullptr)
    return;
  for (std::int32_t i = 0; i < _Size; ++i)
    DE::CopyGenes(_Individuals[i]._Code, source->_Individuals[i]._Code, Held(_ChromosomeLength));
}

QAVTasMathGAPopulation::~QAVTasMathGAPopulation()
{
  delete[] _Individuals;
  _Individuals = nullptr;
  _ParamValMin = nullptr;
  _ParamValMax = nullptr;
}

QAVTasMathGAPopulation& QAVTasMathGAPopulation::operator=(const QAVTasMathGAPopulation& other)
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
  if (_Individuals == nullptr || other._Individuals == nullptr)
    return *this;
  // A smaller source gives what it has; the rest stays zero.
  const std::int32_t count = std::min(_Size, other._Size);
  const std::int32_t genes = Held(std::min(_ChromosomeLength, other._ChromosomeLength));
  for (std::int32_t i = 0; i < count; ++i)
    DE::CopyGenes(_Individuals[i]._Code, other._Individuals[i]._Code, genes);
  return *this;
}

// Raw, zeroed storage; null when the block cannot be had (the constructor reports it).
void QAVTasMathGAPopulation::AllocateIndividuals()
{
  _Individuals = new (std::nothrow) QAVTasMathGAIndividual[std::max(_Size, 0)]();
}

// ---------------------------------------------------------------------------------------------
// QAVTasGAOptimizer: configuration and results

QAVTasGAOptimizer::QAVTasGAOptimizer() : _MaxNumberOfGenerations(100), _Optimum{}
{
  Debug("DEBUG TasOptimizer: QAVMathGAOptimiser constructor beginning");
  _PopulationSize = 30;
  _NumParams = 1;
  _CrossValue = 0.8;
  _MutatValue = 1.0;
  _ParamValMin = nullptr;
  _ParamValMax = nullptr;
  _FitnessReference = 0.0;
  _Process = 2;
  _Refresh = 2;
  _Seed = -3;
  _IdemFitnessCount = 10;
  _OldPopulation = nullptr;
  _NewPopulation = nullptr;
  Debug("DEBUG TasOptimizer: QAVMathGAOptimiser constructor ending");
}

QAVTasGAOptimizer::~QAVTasGAOptimizer()
{
  delete _OldPopulation;
  _OldPopulation = nullptr;
  delete _NewPopulation;
  _NewPopulation = nullptr;
  _ParamValMin = nullptr;
  _ParamValMax = nullptr;
}

void QAVTasGAOptimizer::SetObserver(QAVGAObserver iObserver)
{
  _Observer = std::move(iObserver);
}

void QAVTasGAOptimizer::SetMaxNumber(std::int32_t n)
{
  _MaxNumberOfGenerations = DE::SetterRule::MaxNumber(n);
}

void QAVTasGAOptimizer::SetPopulationSize(std::int32_t n)
{
  _PopulationSize = DE::SetterRule::PopulationSize(n);
}

void QAVTasGAOptimizer::SetNumParams(std::int32_t n)
{
  _NumParams = DE::SetterRule::NumParams(n, kCapacity);
}

void QAVTasGAOptimizer::SetCrossValue(double v)
{
  _CrossValue = DE::SetterRule::CrossValue(v);
}

void QAVTasGAOptimizer::SetMutatValue(double v)
{
  _MutatValue = DE::SetterRule::MutatValue(v);
}

void QAVTasGAOptimizer::SetParamValLimits(double* min, double* max)
{
  _ParamValMin = min;
  _ParamValMax = max;
}

void QAVTasGAOptimizer::SetFitnessReference(double r)
{
  _FitnessReference = r;
}

void QAVTasGAOptimizer::SetProcess(std::int32_t p)
{
  _Process = p;
}

void QAVTasGAOptimizer::SetRefresh(std::int32_t n)
{
  _Refresh = DE::SetterRule::Refresh(n);
}

void QAVTasGAOptimizer::SetSeed(std::int32_t s)
{
  _Seed = s;
}

void QAVTasGAOptimizer::SetIdemFitnessCount(std::int32_t n)
{
  _IdemFitnessCount = DE::SetterRule::IdemFitnessCount(n);
}

// _NumParams, never more than an individual holds.
std::int32_t QAVTasGAOptimizer::HeldGenes() const
{
  return Held(_NumParams);
}

void QAVTasGAOptimizer::GetOptimum(QAVTasMathGAIndividual& ind)
{
  CopyIndividual(ind, _Optimum, HeldGenes());
}

void QAVTasGAOptimizer::GetOptimumParams(double* out)
{
  DE::CopyGenes(out, _Optimum._Code, HeldGenes());
}

double QAVTasGAOptimizer::GetOptimumFitness()
{
  return _Optimum._Fitness;
}

void QAVTasGAOptimizer::SetEvaluationThreads(std::int32_t n)
{
  Batch().SetThreads(n);
}

void QAVTasGAOptimizer::SetFitnessBatch(QAVFitnessBatch<double>* ipBatch)
{
  Batch().SetEvaluator(ipBatch);
}

DE::QAVTrialBatch<double>& QAVTasGAOptimizer::Batch()
{
  if (!_Batch)
    _Batch.reset(new DE::QAVTrialBatch<double>);
  return *_Batch;
}

DE::QAVTrialBatch<double>* QAVTasGAOptimizer::ActiveBatch() const
{
  return _Batch && _Batch->Active() ? _Batch.get() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// QAVTasGAOptimizer: run

void QAVTasGAOptimizer::Initialize()
{
  Debug("DEBUG TasOptimiser: QAVTasGAOptimiser::Initialize beginning");
  srand48(_Seed);
  delete _OldPopulation;
  delete _NewPopulation;
  _NewPopulation = nullptr;
  _OldPopulation = new QAVTasMathGAPopulation(_PopulationSize, _NumParams, _ParamValMin, _ParamValMax);
  _Evaluations = 0;
  QAVTasMathGAIndividual* individuals = _OldPopulation->_Individuals;
  DE::QAVTrialBatch<double>* batch = individuals != nullptr ? ActiveBatch() : nullptr;
  if (batch != nullptr)
  {
    const std::int32_t count = std::max(0, std::min(_PopulationSize, _OldPopulation->_Size));
    batch->EvaluateAll(individuals, count, _NumParams,
                       [this](double* ipCode, std::int32_t iCount) { return EvalFitness(iCount, ipCode); });
    nbeval += count;
    _Evaluations += count;
  }
  for (std::int32_t i = 0;
       batch == nullptr && individuals != nullptr && i < std::min(_PopulationSize, _OldPopulation->_Size); ++i)
  {
    individuals[i]._Fitness = EvalFitness(_NumParams, individuals[i]._Code);
    ++nbeval;
    ++_Evaluations;
  }
  _NewPopulation = new QAVTasMathGAPopulation(_OldPopulation);
  Statistics(_OldPopulation);
  if (individuals != nullptr && _OldPopulation->_Size > 0)
    CopyIndividual(_Optimum, individuals[_OldPopulation->_MinIndex], HeldGenes());
  Debug("DEBUG TasOptimiser: QAVTasGAOptimiser::Initialize ending");
}

void QAVTasGAOptimizer::Statistics(QAVTasMathGAPopulation* pop)
{
  DE::ComputeStatistics(pop, _PopulationSize);
}

void QAVTasGAOptimizer::ShiftPopulation()
{
  std::swap(_OldPopulation, _NewPopulation);
}

namespace
{
// A NaN or infinite limit would draw NaN genes into the initial population, which is evaluated
// unconditionally.
bool LimitsFinite(const double* ipMin, const double* ipMax, std::int32_t iCount)
{
  for (std::int32_t i = 0; i < iCount; ++i)
    if (!std::isfinite(ipMin[i]) || !std::isfinite(ipMax[i]))
      return false;
  return true;
}
} // namespace

// The partner draw needs five individuals besides the target, and the step needs limits and
// genes an individual can hold; a run without them would hang or read out of bounds.
bool QAVTasGAOptimizer::CanRun(const char* iDriver) const
{
  const char* reason = nullptr;
  if (_PopulationSize < 6)
    reason = "fewer than 6 individuals (SetPopulationSize needs 6 or more)";
  else if (_ParamValMin == nullptr || _ParamValMax == nullptr)
    reason = "no gene limits (call SetParamValLimits)";
  else if (_NumParams < 1 || _NumParams > kCapacity)
    reason = "the gene count is outside 1 to 500";
  else if (!LimitsFinite(_ParamValMin, _ParamValMax, _NumParams))
    reason = "a gene limit is not finite";
  if (reason != nullptr)
    std::cout << "QAVTasGAOptimizer::" << iDriver << " refused: " << reason << std::endl;
  return reason == nullptr;
}

template <class Direction>
void QAVTasGAOptimizer::Generate()
{
  // The working individuals are plain values: a generation allocates nothing.
  QAVTasMathGAIndividual leader;
  QAVTasMathGAIndividual trial;
  const DE::StepData<QAVTasMathGAPopulation, double> data{
    _OldPopulation, _NewPopulation, &_PopulationSize, HeldGenes(), _CrossValue,    _MutatValue,       _ParamValMin,
    _ParamValMax,   leader._Code,   &leader._Fitness, trial._Code, _Optimum._Code, &_Optimum._Fitness};
  RealTraits traits{{}, *this, _Evaluations, ActiveBatch()};
  DE::Generate<Direction>(traits, data, _Process);
}

void QAVTasGAOptimizer::GenerateMin()
{
  Generate<DE::Minimizing>();
}

void QAVTasGAOptimizer::GenerateMax()
{
  Generate<DE::Maximizing>();
}

void QAVTasGAOptimizer::Minimize()
{
  if (!CanRun("Minimize"))
    return;
  Debug("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize beginning");
  Initialize();
  InitReport();
  const DE::RunCounters counters =
    DE::RunEngine<DE::Minimizing, DE::RelativeChange>(*this, [this](std::int32_t g) { return Observe(g); });
  QAVDRQOutput::GetOut() << "_MaxNumberOfGenerations = " << _MaxNumberOfGenerations << "\n";
  QAVDRQOutput::GetOut() << "nbgen = " << counters.generations << "\n"
                         << "\n";
  QAVDRQOutput::GetOut() << "_Optimum._Fitness = " << _Optimum._Fitness << "\n";
  QAVDRQOutput::GetOut() << "_FitnessReference = " << _FitnessReference << "\n"
                         << "\n";
  QAVDRQOutput::GetOut() << "idemFitnessCount  = " << counters.idem << "\n";
  QAVDRQOutput::GetOut() << "_IdemFitnessCount = " << _IdemFitnessCount << "\n"
                         << "\n";
  Debug("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize ending");
}

void QAVTasGAOptimizer::Maximize()
{
  if (!CanRun("Maximize"))
    return;
  Initialize();
  InitReport();
  DE::RunEngine<DE::Maximizing, DE::ExactChange>(*this, [this](std::int32_t g) { return Observe(g); });
}

bool QAVTasGAOptimizer::Observe(std::int32_t iGeneration)
{
  return _Observer &&
    _Observer(QAVGAProgress{iGeneration, _Optimum._Fitness, _Evaluations}) == QAVGAObserverReply::Stop;
}

// ---------------------------------------------------------------------------------------------
// QAVTasGAOptimizer: reports on the platform stream

void QAVTasGAOptimizer::InitReport()
{
  PlatformSink out;
  QAVGAReportDetail::WriteInitReport(out, kReportTexts, _OldPopulation, _PopulationSize, _NumParams,
                                     _MaxNumberOfGenerations, _CrossValue, _MutatValue);
}

void QAVTasGAOptimizer::Report(std::int32_t generation)
{
  PlatformSink out;
  QAVGAReportDetail::WriteReport(out, kReportTexts, _OldPopulation, _NewPopulation, HeldGenes(), generation);
}

void QAVTasGAOptimizer::Print(QAVTasMathGAIndividual& ind, const char* title)
{
  PlatformSink out;
  QAVGAReportDetail::WritePrint(out, ind, HeldGenes(), title);
}

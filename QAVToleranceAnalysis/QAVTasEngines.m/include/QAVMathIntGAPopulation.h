#ifndef QAVMathIntGAPopulation_H
#define QAVMathIntGAPopulation_H

#include "QAVMathIntGAIndividual.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>

// A fixed array of integer chromosomes of one length, drawn within borrowed gene limits, and the
// fitness statistics of the last pass over it (written by the optimiser, not by the population).
class QAV_TASOPT_API QAVMathIntGAPopulation
{
public:
  // Random population: at least 6 individuals, gene j drawn in [min[j], max[j] - 1].
  QAVMathIntGAPopulation(std::int32_t size, std::int32_t length, std::int32_t* min, std::int32_t* max);
  // Copy of the source's genes; fitness values and statistics are not copied.
  explicit QAVMathIntGAPopulation(QAVMathIntGAPopulation* source);
  ~QAVMathIntGAPopulation();

  QAVMathIntGAPopulation(const QAVMathIntGAPopulation&) = delete;
  // Takes other's statistics and genes, keeping its own size, length and limits.
  QAVMathIntGAPopulation& operator=(const QAVMathIntGAPopulation& other);

  std::int32_t _MaxIndex = 0;
  std::int32_t _MinIndex = 0;
  double _MaxFitness = 0.0;
  double _MinFitness = 0.0;
  std::int32_t _Size = 0;
  std::int32_t _ChromosomeLength = 0;
  std::int32_t* _ParamValMin = nullptr;
  std::int32_t* _ParamValMax = nullptr;
  QAVMathIntGAIndividual* _Individuals = nullptr;

private:
  void AllocateIndividuals();
};

#endif

#ifndef QAVTasMathGAPopulation_H
#define QAVTasMathGAPopulation_H

#include "QAVTasMathGAIndividual.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>

// A block of double chromosomes of one length, drawn within borrowed gene limits, and the
// fitness statistics of the last pass over it (written by the optimiser, not by the population).
class QAV_TASOPT_API QAVTasMathGAPopulation
{
public:
  // Random population of exactly size individuals, gene j drawn in [min[j], max[j]).
  QAVTasMathGAPopulation(std::int32_t size, std::int32_t length, double* min, double* max);
  // Copy of the source's genes; fitness values and statistics are not copied. Null: empty.
  explicit QAVTasMathGAPopulation(QAVTasMathGAPopulation* source);
  ~QAVTasMathGAPopulation();

  QAVTasMathGAPopulation(const QAVTasMathGAPopulation&) = delete;
  // Takes other's statistics and genes, keeping its own size, length and limits.
  QAVTasMathGAPopulation& operator=(const QAVTasMathGAPopulation& other);

  std::int32_t _MaxIndex = 0;
  std::int32_t _MinIndex = 0;
  double _MaxFitness = 0.0;
  double _MinFitness = 0.0;
  std::int32_t _Size = 0;
  std::int32_t _ChromosomeLength = 0;
  double* _ParamValMin = nullptr;
  double* _ParamValMax = nullptr;
  QAVTasMathGAIndividual* _Individuals = nullptr;

private:
  void AllocateIndividuals();
};

#endif

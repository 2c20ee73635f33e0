#ifndef QAVMathGAPopulation_H
#define QAVMathGAPopulation_H

#include <cstdint>
#include <vector>

// One individual of the platform optimiser: its genes live in the population's gene block.
struct QAVMathGAIndividual
{
  double* _Code;
  double _Fitness;
};

// A population of the platform optimiser, with the fields the shared generation step reads.
class QAVMathGAPopulation
{
public:
  QAVMathGAPopulation(std::int32_t iSize, std::int32_t iLength);
  QAVMathGAPopulation(const QAVMathGAPopulation&) = delete;
  QAVMathGAPopulation& operator=(const QAVMathGAPopulation&) = delete;

  std::int32_t _MaxIndex = 0;
  std::int32_t _MinIndex = 0;
  double _MaxFitness = 0.0;
  double _MinFitness = 0.0;
  std::int32_t _Size;
  QAVMathGAIndividual* _Individuals;

private:
  std::vector<double> _Genes;
  std::vector<QAVMathGAIndividual> _Storage;
};

#endif

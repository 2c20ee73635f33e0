#ifndef QAVMathIntGAIndividual_H
#define QAVMathIntGAIndividual_H

#include "QAVTasOptimizerExport.h"

#include <cstdint>

// One chromosome of integer genes with its fitness (-1.0 until it is evaluated).
// The engine copies genes and fitness explicitly; copying the object itself would share _Code.
class QAV_TASOPT_API QAVMathIntGAIndividual
{
public:
  QAVMathIntGAIndividual();
  explicit QAVMathIntGAIndividual(std::int32_t n);
  ~QAVMathIntGAIndividual();

  QAVMathIntGAIndividual(const QAVMathIntGAIndividual&) = delete;
  QAVMathIntGAIndividual& operator=(const QAVMathIntGAIndividual&) = delete;

  // Replaces the genes by n fresh (zeroed) ones and forgets the fitness; the old genes are lost.
  void Initialize(std::int32_t n);

  std::int32_t _CodeLength;
  std::int32_t* _Code;
  double _Fitness;
};

#endif

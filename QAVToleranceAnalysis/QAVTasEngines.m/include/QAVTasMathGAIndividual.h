#ifndef QAVTasMathGAIndividual_H
#define QAVTasMathGAIndividual_H

#include "QAVTasOptimizerExport.h"

#include <cstdint>

// A chromosome of up to 500 double genes with its fitness: a plain record, created and copied as
// raw storage. Only the owner's first _NumParams genes mean anything.
struct QAV_TASOPT_API QAVTasMathGAIndividual
{
  static constexpr std::int32_t kCapacity = 500;

  double _Code[kCapacity];
  double _Fitness;
};

#endif

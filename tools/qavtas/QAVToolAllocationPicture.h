#ifndef QAVToolAllocationPicture_H
#define QAVToolAllocationPicture_H

#include "QAVToolAllocateAnswer.h"

#include <string>

// The picture of an allocation, in the style of the tool's other pictures (white page, sans-serif,
// the same colours): per stack-up a bar of its utilisation with the limit marked, and under it its
// contributors sorted by share; then each free tolerance placed between its bounds.
class QAVToolAllocationPicture
{
public:
  // The whole SVG document.
  static std::string Svg(const QAVToolAllocateAnswer& iAnswer);
};

#endif

#ifndef QAVMSHNode_H
#define QAVMSHNode_H

#include <cstdint>

// Mesh node. Its storage starts with the three coordinates x, y, z.
struct QAVMSHNode
{
  double _Coordinates[3];
  std::int32_t _Number;
};

#endif

#ifndef QAVTasScratch_H
#define QAVTasScratch_H

#include <cstddef>
#include <vector>

// Per-thread scratch space of the expression's sweeps and gathers: each buffer grows to the largest
// size asked of it, then stays, so that evaluating a sample allocates nothing. Every Slot is a
// buffer of its own; callers whose buffers are alive at the same time use different slots.
template <class T, int Slot>
struct QAVTasScratch
{
  static std::vector<T>& Get(std::size_t iSize)
  {
    thread_local std::vector<T> buffer;
    if (buffer.size() < iSize)
      buffer.resize(iSize);
    return buffer;
  }
};

#endif

// A generation of the real engine must allocate nothing. This binary replaces the global
// allocation operators with counting ones, so every allocation in the process is seen,
// the library's included.
#include "QAVCoutCapture.h"
#include "QAVSumOfGenes.h"
#include "QAVTasGAOptimizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace
{
std::atomic<long> gAllocations{0};

void* Counted(std::size_t iSize)
{
  ++gAllocations;
  return std::malloc(iSize != 0 ? iSize : 1);
}

// Out of line, so that the compiler does not see free() meet a pointer from operator new.
[[gnu::noinline]] void Release(void* ipBlock) noexcept
{
  std::free(ipBlock);
}
} // namespace

void* operator new(std::size_t iSize)
{
  if (void* p = Counted(iSize))
    return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t iSize)
{
  return operator new(iSize);
}
void* operator new(std::size_t iSize, const std::nothrow_t&) noexcept
{
  return Counted(iSize);
}
void* operator new[](std::size_t iSize, const std::nothrow_t&) noexcept
{
  return Counted(iSize);
}
void operator delete(void* ipBlock) noexcept
{
  Release(ipBlock);
}
void operator delete[](void* ipBlock) noexcept
{
  Release(ipBlock);
}
void operator delete(void* ipBlock, std::size_t) noexcept
{
  Release(ipBlock);
}
void operator delete[](void* ipBlock, std::size_t) noexcept
{
  Release(ipBlock);
}
void operator delete(void* ipBlock, const std::nothrow_t&) noexcept
{
  Release(ipBlock);
}
void operator delete[](void* ipBlock, const std::nothrow_t&) noexcept
{
  Release(ipBlock);
}

TEST(RealGAAllocation, GenerationsAllocateNothing)
{
  std::vector<double> min(50, -10.0), max(50, 10.0);
  QAVSumOfGenes<QAVTasGAOptimizer, double> o;
  o.SetNumParams(50);
  o.SetPopulationSize(30);
  o.SetParamValLimits(min.data(), max.data());
  QAVCoutCapture quiet;
  for (std::int32_t process = 1; process <= 10; ++process)
  {
    o.SetProcess(process);
    const long beforeInit = gAllocations;
    o.Initialize();
    // The counter sees the library's allocations: Initialize builds two populations.
    ASSERT_GE(gAllocations - beforeInit, 2);
    const long before = gAllocations;
    for (int g = 0; g < 10; ++g)
    {
      o.GenerateMin();
      o.ShiftPopulation();
      o.GenerateMax();
      o.ShiftPopulation();
    }
    EXPECT_EQ(gAllocations - before, 0) << "process " << process;
  }
}

#ifndef QAVSamEndBlockGuard_H
#define QAVSamEndBlockGuard_H

#include "QAVPlatformExport.h"

#include <cstdint>

// The two end-of-operation blocks an operation may run when it fails.
enum class QAVSamEndBlock
{
  EndError,    // releases the operation's temporaries, then returns its failure value
  ReturnE_FAIL // returns E_FAIL
};

// Entering an end-of-operation block: hands the pending record over, and catches a block that is
// entered again before it was left (an error report inside the block that leads back into it, a
// loop). Each source file keeps one counter for its blocks:
//     static std::int32_t sEndBlockCount = 0;
//     ...
//     QAVSamEndBlockGuard block(sEndBlockCount, QAVSamEndBlock::EndError, kErrFile, 590);
//     if (block.MustJump()) return failure;   // re-entered: leave at once
// A second entry writes four lines on the trace, records a failed check and sets _MustJump_.
class QAV_PLATFORM_API QAVSamEndBlockGuard
{
public:
  QAVSamEndBlockGuard(std::int32_t& ioCounter, QAVSamEndBlock iBlock, const char* iFile, std::int32_t iLine);
  ~QAVSamEndBlockGuard();
  QAVSamEndBlockGuard(const QAVSamEndBlockGuard&) = delete;
  QAVSamEndBlockGuard& operator=(const QAVSamEndBlockGuard&) = delete;

  bool MustJump() const;

private:
  std::int32_t& _Counter;
};

#endif

#ifndef QAVToolJsonInput_H
#define QAVToolJsonInput_H

#include <cstdint>
#include <string>

class QAVTasAllocationProblem;

// Reads a JSON input of the tool whole: JSON has no lines, so only the total is bounded (1 GiB,
// refused before reading when the file says its size, else once that much has come). "-" is
// standard input and a folder is refused as "is a directory". A UTF-8 byte-order mark at the start
// is skipped. Reading stops at once at a NUL byte or when the first visible byte cannot begin a JSON
// object, so "/dev/zero" and an endless stream of anything else end quickly. Every error is one
// text naming the path.
class QAVToolJsonInput
{
public:
  static constexpr std::uint64_t kMaxBytes = std::uint64_t(1) << 30;

  // True with the text, or false with oError; iMaxBytes is the bound (lowered only by tests).
  static bool Read(const std::string& iPath, std::string& oText, std::string& oError,
                   std::uint64_t iMaxBytes = kMaxBytes);
  // The problem file at iPath, or false with oError naming the path and the item. The text is let
  // go before returning: a solve's memory peaks later.
  static bool ReadProblem(const std::string& iPath, QAVTasAllocationProblem& oProblem, std::string& oError);
};

#endif

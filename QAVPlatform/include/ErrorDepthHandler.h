#ifndef ErrorDepthHandler_H
#define ErrorDepthHandler_H

#include "QAVPlatformExport.h"

#include <cstdint>
#include <string>

// The process-wide error record and its depth bookkeeping.
//
// Every operation that may report holds one handler for its whole body:
//     ErrorDepthHandler depth;
// A handler made at depth 0 (a top-level operation) starts a fresh record; nested operations keep
// it, so a report made by a callee is still "pending" for its caller. The record is not cleared
// when the operation returns: a caller (or a test) reads what was reported last.
// Reports are made with the one-line calls of QAVSamReport.h.
class QAV_PLATFORM_API ErrorDepthHandler
{
public:
  ErrorDepthHandler();
  ~ErrorDepthHandler();
  ErrorDepthHandler(const ErrorDepthHandler&) = delete;
  ErrorDepthHandler& operator=(const ErrorDepthHandler&) = delete;

  // True when the record holds a report made since the current top-level operation began.
  static bool IsErrorPending();
  // Empties the record (kind 0, no text, no file, line 0).
  static void ClearRecord();

  static std::int32_t _ier_;       // kind: 1 failed computation, 3 null value
  static std::string _c_err_;      // text: empty for kind 1, the checked expression for kind 3
  static std::int32_t _i_err_;     // message number, -1 for every report
  static std::string _errfile_;    // source path of the report
  static std::int32_t _i_errline_; // source line of the report
  static std::string _errincfile_; // passed on to the service, never written by a report
  static std::int32_t _i_errincline_;
  static std::int32_t _SamDepth_;  // number of live handlers
  static unsigned char _MustJump_; // set by the re-entry guard of the end-of-operation blocks
};

#endif

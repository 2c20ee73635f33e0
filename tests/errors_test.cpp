#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVSamEndBlockGuard.h"
#include "QAVSamInstanciateError.h"
#include "QAVSamReport.h"
#include "QAVSysCheckFailure.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace
{
const char kFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/Sample";
const std::string kFailedAt = std::string("error: ") + kFile + ":";
typedef ErrorDepthHandler R;

// A nested operation as callers write them: a handler for the body, one line per failure.
HRESULT Inner(bool iFail)
{
  ErrorDepthHandler depth;
  if (iFail)
    return QAVSamReport(QAVSamKindNull, "ipX", kFile, 71);
  return S_OK;
}

HRESULT Outer(bool iInnerFails, std::int32_t iLine)
{
  ErrorDepthHandler depth;
  if (Inner(iInnerFails) != S_OK || iInnerFails == false)
    return QAVSamReportUnlessPending(kFile, iLine);
  return S_OK;
}

void ExpectRecord(std::int32_t iKind, const char* iText, std::int32_t iLine)
{
  EXPECT_EQ(R::_ier_, iKind);
  EXPECT_EQ(R::_c_err_, iText);
  EXPECT_EQ(R::_i_errline_, iLine);
  EXPECT_EQ(R::_errfile_, kFile);
}
} // namespace

TEST(ErrorRecord, ReportSurvivesTheReturnPendingReportsAreKeptAndTopLevelStartsAfresh)
{
  EXPECT_EQ(Inner(true), E_FAIL);
  EXPECT_EQ(R::_SamDepth_, 0);
  EXPECT_EQ(R::_i_err_, -1);
  ExpectRecord(3, "ipX", 71);
  EXPECT_EQ(Outer(true, 247), E_FAIL); // the callee's report is kept
  ExpectRecord(3, "ipX", 71);
  EXPECT_EQ(Outer(false, 247), E_FAIL); // nothing pending: the caller's own kind-1 report
  ExpectRecord(1, "", 247);
  {
    ErrorDepthHandler top;
    EXPECT_FALSE(R::IsErrorPending());
    EXPECT_EQ(R::_errfile_, "");
    EXPECT_EQ(QAVSamReport(QAVSamKindFailed, "", kFile, 82, 1000001.0), 1000001.0); // returned as named
    ErrorDepthHandler nested;
    EXPECT_EQ(R::_SamDepth_, 2);
    EXPECT_TRUE(R::IsErrorPending());
    EXPECT_EQ(QAVSamReportUnlessPending(kFile, 5, -2), -2);
  }
  EXPECT_EQ(R::_SamDepth_, 0);
  ExpectRecord(1, "", 82);
}

TEST(ErrorSink, EachReportReachesTheSinkOnceWhateverTheHandOvers)
{
  QAVCoutCapture capture(std::cerr);
  Inner(true); // no sink: nothing printed
  EXPECT_EQ(capture.Text(), "");
  const QAVSamErrorSink previous = QAVSamSetErrorSink(QAVSamPrintError);
  EXPECT_EQ(Outer(true, 247), E_FAIL); // reported once, handed over twice
  EXPECT_EQ(Outer(false, 250), E_FAIL);
  {
    // The same site failing twice in one operation is two errors.
    ErrorDepthHandler depth;
    QAVSamReport(QAVSamKindFailed, "", kFile, 82);
    QAVSamReport(QAVSamKindFailed, "", kFile, 82);
    QAVSamHandOverRecord();
  }
  EXPECT_EQ(QAVSamSetErrorSink(previous), QAVSamPrintError);
  EXPECT_EQ(capture.Text(),
            kFailedAt + "71: null value 'ipX'\n" + kFailedAt + "250: computation failed\n" + kFailedAt +
              "82: computation failed\n" + kFailedAt + "82: computation failed\n");
}

TEST(EndBlockGuard, FirstEntryIsQuietAndHandsTheRecordOver)
{
  static std::int32_t counter = 0;
  QAVCoutCapture capture(std::cerr);
  const QAVSamErrorSink previous = QAVSamSetErrorSink(QAVSamPrintError);
  const std::int32_t checks = QAVSysCheckFailureCount();
  {
    ErrorDepthHandler depth;
    QAVSamSetError(QAVSamKindFailed, "", kFile, 557);
    QAVSamSetErrorUnlessPending(kFile, 560); // a later step keeps the failing step's report
    EXPECT_EQ(capture.Text(), "");
    QAVSamEndBlockGuard block(counter, QAVSamEndBlock::EndError, kFile, 600);
    EXPECT_FALSE(block.MustJump());
    EXPECT_EQ(counter, 1);
  }
  QAVSamSetErrorSink(previous);
  EXPECT_EQ(counter, 0);
  EXPECT_EQ(R::_MustJump_, 0);
  EXPECT_EQ(QAVSysCheckFailureCount(), checks);
  EXPECT_EQ(capture.Text(), kFailedAt + "557: computation failed\n");
}

TEST(EndBlockGuard, ReentryTracesFourLinesFailsTheCheckAndSetsMustJump)
{
  const char* border = "**************************************************************\n";
  const char* warning = "* WARNING : Programming Error in Error Management            *\n";
  struct Case
  {
    QAVSamEndBlock block;
    const char* loop;
  } cases[] = {
    {QAVSamEndBlock::EndError, "*   Cpu loop. Do not use error macro in QAVSamEndError_      *\n"},
    {QAVSamEndBlock::ReturnE_FAIL, "*   Cpu loop. Do not use error macro in QAVSamReturnE_FAIL_  *\n"},
  };
  for (const Case& c : cases)
  {
    static std::int32_t counter = 0;
    QAVCoutCapture capture(std::cerr);
    const std::int32_t checks = QAVSysCheckFailureCount();
    {
      QAVSamEndBlockGuard first(counter, c.block, kFile, 610);
      EXPECT_EQ(capture.Text(), "");
      QAVSamEndBlockGuard again(counter, c.block, kFile, 611);
      EXPECT_TRUE(again.MustJump());
      EXPECT_EQ(counter, 0);
    }
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(R::_MustJump_, 1);
    EXPECT_EQ(capture.Text(), std::string(border) + warning + c.loop + border);
    EXPECT_EQ(QAVSysCheckFailureCount(), checks + 1);
    EXPECT_STREQ(QAVSysLastCheckExpression(), "ExpressionCheck:InfiniteLoopDetected == 0");
    EXPECT_EQ(QAVSysLastCheckLine(), 611);

    // The next operation enters its block normally again.
    QAVSamEndBlockGuard next(counter, c.block, kFile, 610);
    EXPECT_FALSE(next.MustJump());
  }
}

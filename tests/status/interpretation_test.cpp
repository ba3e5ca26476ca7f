// Status interpretation: which port status the spooler is shown for each reply, the
// timeout and purge edges, and the low-paper debounce.
#include "port/settings.h"
#include "status/status_interpret.h"
#include "status/status_query.h"
#include "status/status_reply.h"
#include "status_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

class Interpretation : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    port_ = quietPort("USB");
    ASSERT_NE(port_, nullptr);
  }

  // Interprets a reply and answers the byte 3 the caller's buffer holds afterwards.
  BYTE interpret(BYTE status1, BYTE status2) {
    Bytes reply = shortReply('S', status1, status2);
    ProcessQXStatusString(port_, reply.data(), static_cast<DWORD>(reply.size()));
    return reply[3];
  }

  INIPORT* port_ = nullptr;
};

TEST_F(Interpretation, FakeStatusPutsThePortOffLine) {
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  BYTE fake[STATUS_REPLY_SIZE];
  const DWORD length = qxMakeFakeStatus(port_, fake);
  ProcessQXStatusString(port_, fake, length);
  EXPECT_TRUE(trace.contains("Bitwise status = a020 "));
  EXPECT_EQ(1u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), postedSeverity(port_));
  EXPECT_EQ(1u, port_->status.PrinterStatus.load());
}

TEST_F(Interpretation, NotReadyAloneIsShownOffLine) {
  EXPECT_EQ(0xA0, interpret(0x80, 0x00));
  EXPECT_EQ(1u, postedStatus(port_));
  // A document in progress explains the not-ready printer.
  EXPECT_EQ(0x80, interpret(0x80, 0x80));
  EXPECT_EQ(0u, postedStatus(port_));
}

TEST_F(Interpretation, TicketNotTakenIsBinFullUnlessDisabled) {
  interpret(0x00, 0x08);
  EXPECT_EQ(4u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_INFO), postedSeverity(port_));

  setting("JAVAticketNotTakenDisable", 1);
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);  // after the settings read, which sets "EnableDiags" too
  interpret(0x00, 0x08);
  EXPECT_EQ(0u, postedStatus(port_));
  EXPECT_FALSE(trace.contains("No set port status errors"));
  EXPECT_TRUE(trace.contains("Transistion from Bin Full to not Bin Full"));
}

TEST_F(Interpretation, BinFullClearedIsPostedWithoutConditionEntries) {
  setting("DRWenable", 1);
  interpret(0x00, 0x08);
  const size_t linesAtBinFull = logLines(port_).size();
  interpret(0x00, 0x00);
  EXPECT_EQ(0u, postedStatus(port_));
  EXPECT_EQ(linesAtBinFull, logLines(port_).size());
}

TEST_F(Interpretation, LaterConditionsWin) {
  interpret(HEAD_LEVER_UP | CUTTER_JAM, 0);
  EXPECT_EQ(2u, postedStatus(port_));
  interpret(MANUAL_DESELECT | OUT_OF_PAPER, 0);
  EXPECT_EQ(3u, postedStatus(port_));
  interpret(HEAD_LEVER_UP, 0);
  EXPECT_EQ(7u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), postedSeverity(port_));
}

TEST_F(Interpretation, OutputJamSeverityDependsOnNotReady) {
  interpret(OUTPUT_JAM, 0);
  EXPECT_EQ(2u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_INFO), postedSeverity(port_));
  interpret(0, 0);
  interpret(SYSTEM_NOT_READY | OUTPUT_JAM, 0);
  EXPECT_EQ(2u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), postedSeverity(port_));
}

TEST_F(Interpretation, LowPaperDependsOnLowPaperMode) {
  port_->status.LowPaper = TRUE;
  setting("LPmode", 1);
  interpret(0, 0);
  EXPECT_EQ(3u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), postedSeverity(port_));
  setting("LPmode", 0);
  interpret(0, 0);
  EXPECT_EQ(5u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_INFO), postedSeverity(port_));
  setting("JAVAlowPaperDisable", 1);
  interpret(0, 0);
  EXPECT_EQ(0u, postedStatus(port_));
}

TEST_F(Interpretation, LowPaperReadThroughTheReadPortIsOffLine) {
  // In low-paper busy mode the read itself shows the printer not ready.
  setting("LPmode", 1);
  port_->status.LowPaper = TRUE;
  printer(port_).setStatus(0x00, 0x00);
  EXPECT_TRUE(ReadCommand(port_, FALSE, nullptr, 0));
  EXPECT_EQ(1u, postedStatus(port_));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), postedSeverity(port_));
}

TEST_F(Interpretation, TimeoutAndPurgeAreLoggedOncePerEdge) {
  setting("DRWenable", 1);
  interpret(0, PRINTER_TIMEOUT);
  interpret(0, PRINTER_TIMEOUT);
  EXPECT_EQ(1u, logCount(port_, "\"0026\""));
  interpret(0, 0);
  EXPECT_FALSE(port_->status.PrinterTimeout.load());
  interpret(0, PRINTER_TIMEOUT);
  EXPECT_EQ(2u, logCount(port_, "\"Printer Timeout\""));

  interpret(SYSTEM_DIAG_ERROR, PRINTER_TIMEOUT);
  interpret(SYSTEM_DIAG_ERROR, PRINTER_TIMEOUT);
  EXPECT_EQ(1u, logCount(port_, "\"Document aborted\""));
  EXPECT_FALSE(port_->status.PrinterTimeout.load());
  EXPECT_TRUE(port_->status.PrinterPurge.load());
}

TEST_F(Interpretation, FailedPostIsRetriedWithTheNextReply) {
  spooler().failNext(sim::SpoolerCall::SetPort, ERROR_ACCESS_DENIED);
  interpret(OUT_OF_PAPER, 0);
  EXPECT_EQ(0u, port_->status.PrinterStatus.load());
  EXPECT_EQ(99u, postedStatus(port_));
  interpret(OUT_OF_PAPER, 0);
  EXPECT_EQ(3u, port_->status.PrinterStatus.load());
  EXPECT_EQ(3u, postedStatus(port_));
  interpret(OUT_OF_PAPER, 0);
  EXPECT_EQ(2u, setPorts(port_).size());
}

TEST_F(Interpretation, RepliesWithoutStatusBytesChangeNothing) {
  port_->status.PrinterStatus = 3;
  Bytes addressed = {'A', '0', '3', '0', '4', '5'};
  ProcessQXStatusString(port_, addressed.data(), static_cast<DWORD>(addressed.size()));
  Bytes cut = {'S', '0', '0', 0x01};
  ProcessQXStatusString(port_, cut.data(), static_cast<DWORD>(cut.size()));
  // A buffer whose first byte would pass for a letter, but which holds no reply.
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  ProcessQXStatusString(port_, cut.data(), 0);
  EXPECT_TRUE(trace.contains("ProcessQXStatusString - return because length = 0"));
  EXPECT_FALSE(trace.contains("return because not S,N,E,C"));
  EXPECT_EQ(3u, port_->status.PrinterStatus.load());
  EXPECT_TRUE(setPorts(port_).empty());
}

TEST_F(Interpretation, LowPaperNeedsTwoAgreeingReadings) {
  const DWORD readings[] = {1, 0, 1, 1};
  BOOL seen[4];
  for (int i = 0; i < 4; ++i) {
    processLMLowPaper(port_, readings[i]);
    seen[i] = port_->status.LowPaper;
  }
  EXPECT_FALSE(seen[0]);
  EXPECT_FALSE(seen[1]);
  EXPECT_FALSE(seen[2]);
  EXPECT_TRUE(seen[3]);
  processLMLowPaper(port_, 0x8000);
  EXPECT_TRUE(port_->status.LowPaper.load());
  processLMLowPaper(port_, 0x8000);
  EXPECT_FALSE(port_->status.LowPaper.load());
}

}  // namespace

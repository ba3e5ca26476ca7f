// The end of a document through the function table: which jobs the spooler learns
// have left the printer, the bounded wait for the printer to finish, the page count
// in the event log, and the port handed back to the status thread.
#include <gtest/gtest.h>

#include "job_test_support.h"
#include "platform/clock.h"

namespace {

typedef JobTest JobEnd;

const char kEndOfDocQuery[] = "MonEndDocPortUSB - End Of Doc ";

TEST_F(JobEnd, EachJobIsSettledAtItsOwnEnd) {
  INIPORT* port = openPort("USB220");
  ASSERT_NE(port, nullptr);

  EXPECT_TRUE(printJob(port, 5, ticket(1)));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{5});

  // A job with no data printed all it had; none stays listed for later.
  ASSERT_TRUE(startDoc(port, 6));
  EXPECT_TRUE(endDoc(port));
  EXPECT_EQ(port->pIniJob, nullptr);

  EXPECT_TRUE(printJob(port, 7, ticket(2)));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{5, 6, 7}));
  EXPECT_EQ(port->pIniJob, nullptr);
  EXPECT_EQ(spooler().openPrinterCount(), 0);
}

TEST_F(JobEnd, TheCarefulMethodReportsNothingWhileThePrinterIsInError) {
  trace();
  setting("EOJEjectSendLastPage", 0);
  INIPORT* port = openPort("USB221");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);

  EXPECT_TRUE(printJob(port, 8, ticket(1)));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{8});

  ASSERT_TRUE(startDoc(port, 9));
  writeAll(port, ticket(2));
  printer.setStatus(sim::status1::OutOfPaper, 0);
  EXPECT_FALSE(endDoc(port));
  EXPECT_TRUE(trace().contains("MonEndDocPortUSB - Break because of ERROR"));
  EXPECT_TRUE(trace().contains("updateSpoolerWithEODStatus - SendJobLastPageEjected - NOT SENT BECAUSE OF ERROR"));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{8});
  expectIdle(port);
}

TEST_F(JobEnd, ThePrinterIsWaitedForABoundedTime) {
  trace();
  INIPORT* port = openPort("USB222");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);

  // A printer that never leaves its document: 21 queries, then the time-out.
  printer.holdDocInProgress(0, true);
  ASSERT_TRUE(startDoc(port, 10));
  writeAll(port, ticket(1));
  trace().clear();
  EXPECT_TRUE(endDoc(port));
  EXPECT_EQ(trace().count(kEndOfDocQuery), 21u);
  EXPECT_EQ(trace().count("MonEndDocPortUSB - END OF DOC TIMEOUT"), 1u);
  expectIdle(port);

  // A link with CRC errors: the rest of the job is swallowed, the printer is not
  // asked while it cannot answer, and the end takes the 12 s recovery pause.
  printer.holdDocInProgress(0, false);
  ASSERT_TRUE(startDoc(port, 11));
  // The first write waits for the page job 10 ended, while the link still answers.
  writeAll(port, plainData(10));
  printer.addFault(sim::Fault::failWrite(1, ERROR_CRC, true));
  printer.addFault(sim::Fault::failRead(1, ERROR_CRC, true));
  writeAll(port, ticket(2));
  writeAll(port, ticket(3));
  trace().clear();
  const DWORD started = clockTickCount();
  EXPECT_FALSE(endDoc(port));
  EXPECT_GE(clockTickCount() - started, 12000u);
  EXPECT_EQ(trace().count(kEndOfDocQuery), 0u);
  EXPECT_TRUE(trace().contains("MonEndDocPortUSB - Abort end of doc because of Abort or USB CRC error"));
  EXPECT_TRUE(trace().contains("MonEndDocPortUSB - Start of CRC error wait"));
  EXPECT_TRUE(trace().contains("MonEndDocPortUSB - End of CRC error wait"));
  // Whatever the printer took is unknown: the job is not reported printed.
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{10});
  EXPECT_EQ(spooler().jobStatusTexts(11), std::vector<std::string>{"Not printed: printer link failed"});
  printer.clearFaults();
  expectIdle(port);
}

TEST_F(JobEnd, PageCountAndHeadTemperatureGoToTheEventLog) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_DOCUMENTS);
  INIPORT* port = openPort("USB224");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  printer.setTicketCount(120);
  printer.setHeadTemperature(45);
  clearLog(port);

  Bytes job = ticket(1);
  for (BYTE seed : {2, 3}) {
    const Bytes more = ticket(seed);
    job.insert(job.end(), more.begin(), more.end());
  }
  EXPECT_TRUE(printJob(port, 12, job));
  EXPECT_EQ(printer.ticketCount(), 123u);
  EXPECT_EQ(port->doc.DocCountSOD, 3u);
  const std::string log = logFile(port);
  const std::string line = lineWith(log, "End Doc 3 pages, total pages 123, temp 045");
  EXPECT_NE(line.find("0005"), std::string::npos) << log;
}

TEST_F(JobEnd, ThePortIsIdleAfterwardsAndTheStatusThreadHasReadOnce) {
  INIPORT* port = openPort("USB225");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  ASSERT_TRUE(startDoc(port, 13));
  EXPECT_EQ(clockWait(port->PortFree, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  writeAll(port, ticket(1));
  EXPECT_TRUE(endDoc(port));
  expectIdle(port);
  EXPECT_EQ(port->pIniJob, nullptr);

  // Without the event log the end itself reads nothing after the lower end of
  // document: the read that follows it is the status thread's.
  const std::vector<sim::Call> calls = printer.calls();
  bool ended = false;
  bool readAfter = false;
  for (const sim::Call& call : calls) {
    if (call.entry == sim::Entry::EndDocPort) ended = true;
    if (ended && call.entry == sim::Entry::ReadPort) readAfter = true;
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(readAfter);
}

TEST_F(JobEnd, ACounterThatCouldNotBeReadIsNotCounted) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_DOCUMENTS);
  INIPORT* port = openPort("USB227");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  printer.setTicketCount(120);
  printer.setHeadTemperature(45);
  clearLog(port);

  printer.setSilent(true);
  ASSERT_TRUE(startDoc(port, 14));
  printer.setSilent(false);
  writeAll(port, ticket(1));
  EXPECT_TRUE(endDoc(port));
  EXPECT_NE(lineWith(logFile(port), "End Doc unknown pages, total pages 121, temp 045"), "") << logFile(port);

  ASSERT_TRUE(startDoc(port, 15));
  writeAll(port, ticket(2));
  printer.setSilent(true);
  EXPECT_TRUE(endDoc(port));
  printer.setSilent(false);
  EXPECT_NE(lineWith(logFile(port), "End Doc unknown pages, total pages unknown, temp NULL"), "") << logFile(port);
}

}  // namespace

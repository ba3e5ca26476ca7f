// The write entry through the function table: packets, page ends found in the data
// and told to the printer, the wait for a busy printer, and what each kind of write
// failure does to the document.
#include <algorithm>
#include <gtest/gtest.h>

#include "job_test_support.h"
#include "platform/clock.h"
#include "sim/page_scanner.h"
#include "sim/recording_event_log.h"

namespace {

typedef JobTest JobWrite;

const BYTE kEndOfPage = sim::request::EndOfPage;

Bytes tail(const Bytes& data, size_t from) {
  return Bytes(data.begin() + static_cast<std::ptrdiff_t>(from), data.end());
}

// The time of the first vendor request with this code at or after a time.
DWORD vendorRequestTime(sim::Printer& printer, BYTE code, DWORD from) {
  for (const sim::Call& call : printer.calls(sim::Entry::GetPrinterDataFromPort)) {
    if (call.time >= from && call.in.size() == 8 && call.in[0] == code) return call.time;
  }
  ADD_FAILURE() << "no vendor request " << static_cast<int>(code);
  return from;
}

// Each end-of-page request follows the write that took its page end, one for each
// write that ended a page, as the printer counts pages from what reached it.
void expectPageEndsToldAfterTheirWrites(sim::Printer& printer) {
  sim::PageScanner wire;
  unsigned writesEndingPages = 0;
  unsigned told = 0;
  for (const sim::Call& call : printer.calls()) {
    if (call.entry == sim::Entry::WritePort) {
      writesEndingPages += wire.feed(call.in.data(), call.count) > 0;
    } else if (call.entry == sim::Entry::GetPrinterDataFromPort && call.in.size() == 8 && call.in[0] == kEndOfPage) {
      ++told;
      EXPECT_LE(told, writesEndingPages) << "a page end was told before its write";
    }
  }
  EXPECT_EQ(told, writesEndingPages);
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST_F(JobWrite, EveryByteThePortTookIsScannedOnceAndItsPageEndToldAfterIt) {
  INIPORT* port = openPort("USB206");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  Bytes job = plainData(10000);
  for (size_t at : {100u, 5000u, 9000u}) {
    job[at] = ESC;
    job[at + 1] = 'e';
  }
  ASSERT_TRUE(startDoc(port, 41));
  printer.clearRecords();

  // A long buffer goes out odd piece first, then in whole packets; each piece's
  // page end is told after its write, 35 ms on either side of the request.
  DWORD written = 0;
  ASSERT_TRUE(write(port, job, &written));
  EXPECT_EQ(written, 1808u);
  ASSERT_TRUE(write(port, tail(job, 1808), &written));
  EXPECT_EQ(written, 4096u);
  ASSERT_TRUE(write(port, tail(job, 1808 + 4096), &written));
  const DWORD returned = clockTickCount();
  EXPECT_EQ(written, 4096u);
  EXPECT_EQ(writeSizes(port), (std::vector<DWORD>{1808, 4096, 4096}));
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 3u);
  const DWORD lastWrite = printer.calls(sim::Entry::WritePort).back().time;
  const DWORD request = vendorRequestTime(printer, kEndOfPage, lastWrite);
  EXPECT_GE(request - lastWrite, 35u);
  EXPECT_GE(returned - request, 35u);

  // A port that takes a few bytes at a time splits commands and raster blocks.
  printer.addFault(sim::Fault::shortWrite(1, 5, true));
  const Bytes tickets = joined({ticket(1), ticket(2), ticket(3)});
  writeAll(port, tickets);
  printer.clearFaults();
  EXPECT_EQ(printer.documentBytes(), joined({job, tickets}));
  EXPECT_EQ(printer.documents().back().pages, 6u);
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 6u);
  expectPageEndsToldAfterTheirWrites(printer);
  EXPECT_TRUE(endDoc(port));
}

TEST_F(JobWrite, BytesTakenBeforeAFailedWriteAreNotWrittenAgain) {
  setting("USBAbortOnWriteTimeout", 0);
  INIPORT* port = openPort("USB218");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  ASSERT_TRUE(startDoc(port, 63));
  printer.clearRecords();
  // A time-out the setting retries, then an error while the printer shows no fault,
  // each after part of the write, the second inside the first page's end.
  printer.addFault(sim::Fault::partWrite(1, 20, ERROR_TIMEOUT));
  printer.addFault(sim::Fault::partWrite(2, 35, ERROR_SEM_TIMEOUT));
  const Bytes job = joined({ticket(1), ticket(2)});
  writeAll(port, job);
  EXPECT_EQ(printer.documentBytes(), job);
  EXPECT_EQ(printer.documents().back().pages, 2u);
  expectPageEndsToldAfterTheirWrites(printer);
  EXPECT_TRUE(endDoc(port));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{63});
}

TEST_F(JobWrite, PageEndsAreFoundThroughCommandBlocksAndAcrossCalls) {
  INIPORT* port = openPort("USB207");
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(startDoc(port, 42));
  DWORD written = 0;

  // Three data bytes skipped, then the page end.
  ASSERT_TRUE(write(port, {ESC, 'd', 3, 0, 'a', 'b', 'c', ESC, 'e'}, &written));
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 1u);
  // The ESC is the block's one data byte, so no page ends here.
  ASSERT_TRUE(write(port, {ESC, 'd', 1, 0, ESC, 'e'}, &written));
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 1u);
  // A call that ends after ESC: the next call goes on with the command letter.
  ASSERT_TRUE(write(port, {'x', ESC}, &written));
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 1u);
  ASSERT_TRUE(write(port, {'e', 'y'}, &written));
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 2u);
  // Two page ends in one call: one request for the call.
  ASSERT_TRUE(write(port, {ESC, 'e', 'z', ESC, 'e'}, &written));
  EXPECT_EQ(vendorRequests(port, kEndOfPage), 3u);

  EXPECT_EQ(printerOf(port).documents().back().pages, 4u);
  EXPECT_TRUE(endDoc(port));
}

TEST_F(JobWrite, AfterAPageTheNextWriteWaitsForTheBusyPrinter) {
  trace();
  INIPORT* port = openPort("USB208");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  // Long enough that a loaded machine still finds the printer busy at the next write.
  printer.setBusyAfterPage(20000);
  ASSERT_TRUE(startDoc(port, 43));

  writeAll(port, ticket(1));
  const DWORD pageWritten = printer.calls(sim::Entry::WritePort).back().time;
  writeAll(port, ticket(2));
  EXPECT_GE(printer.calls(sim::Entry::WritePort).back().time - pageWritten, 20000u);
  EXPECT_GE(trace().count("waitForPrinterNotBusy - Reading port is still busy"), 1u);

  // A printer busy for good: 660 polls, then the job goes back to the spooler held;
  // once the printer is ready the spooler's next try prints it.
  printer.setStatus(0, sim::status2::Busy);
  trace().clear();
  const size_t writesBefore = printer.calls(sim::Entry::WritePort).size();
  const Bytes more = ticket(3);
  DWORD written = 0;
  EXPECT_FALSE(write(port, more, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(trace().count("waitForPrinterNotBusy - Reading port is still busy"), 660u);
  EXPECT_EQ(trace().count("waitForPrinterNotBusy - timeout, holding the job"), 1u);
  EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), writesBefore);

  printer.setStatus(0, 0);
  writeAll(port, more);
  EXPECT_TRUE(endDoc(port));
  expectIdle(port);
}

// The wait after a page end carries over the end of the document: its end request,
// and a job that starts while the printer is still busy with the last page of the
// one before, wait too, or they are lost.
TEST_F(JobWrite, AJobAfterAPageEndWaitsForTheBusyPrinter) {
  INIPORT* port = openPort("USB209");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  printer.setBusyAfterPage(20000);
  ASSERT_TRUE(printJob(port, 44, ticket(1)));
  const Bytes next = ticket(2);
  ASSERT_TRUE(printJob(port, 45, next));
  Bytes got = printer.documents().back().data;
  got.resize(std::min(got.size(), next.size()));
  EXPECT_EQ(got, next);
  EXPECT_EQ(printer.lostBytes(), 0u);
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{44, 45}));

  // A job aborted right after a page: its end request waits for the printer all the
  // same, or the printer loses it with the zeros before it.
  ASSERT_TRUE(startDoc(port, 46));
  writeAll(port, ticket(3));
  port->doc.AbortPending = TRUE;
  DWORD written = 0;
  EXPECT_TRUE(write(port, ticket(4), &written));
  EXPECT_FALSE(endDoc(port));
  EXPECT_EQ(printer.lostBytes(), 0u);
}

TEST_F(JobWrite, PurgeAndClientAbortEndTheWaitAndSwallowTheDocument) {
  trace();
  INIPORT* port = openPort("USB209");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  DWORD written = 0;

  // The printer timed the document out and purged it.
  ASSERT_TRUE(startDoc(port, 44));
  writeAll(port, ticket(1));
  printer.setStatus(sim::status1::SystemDiagError, sim::status2::PrinterTimeout);
  size_t writesBefore = printer.calls(sim::Entry::WritePort).size();
  EXPECT_TRUE(write(port, ticket(2), &written));
  EXPECT_EQ(trace().count("waitForPrinterNotBusy - DETECTED PURGE SETTING ABORT DOCUMENT!"), 3u);
  EXPECT_TRUE(trace().contains("MonWritePortUSBPaper - Abort after wait for printer"));
  EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), writesBefore);
  printer.setStatus(0, 0);
  EXPECT_FALSE(endDoc(port));
  EXPECT_EQ(spooler().jobStatusTexts(44), std::vector<std::string>{"Not printed: purged by the printer"});

  // A pipe client asked to abort while the printer stays busy.
  ASSERT_TRUE(startDoc(port, 45));
  EXPECT_FALSE(port->doc.AbortDoc.load());
  writeAll(port, ticket(3));
  printer.setStatus(0, sim::status2::Busy);
  port->doc.AbortPending = TRUE;
  trace().clear();
  writesBefore = printer.calls(sim::Entry::WritePort).size();
  EXPECT_TRUE(write(port, ticket(4), &written));
  // The abort is honoured at the write, before any wait for the printer.
  EXPECT_EQ(trace().count("waitForPrinterNotBusy - Reading port is still busy"), 0u);
  EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), writesBefore);
  printer.setStatus(0, 0);
  EXPECT_FALSE(endDoc(port));
  EXPECT_EQ(spooler().jobStatusTexts(45), std::vector<std::string>{"Not printed: aborted"});
  expectIdle(port);
}

TEST_F(JobWrite, UsbErrorsSwallowTheRestOfTheDocumentAndTimeoutsFollowTheSetting) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_ERRORS);
  INIPORT* port = openPort("USB210");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);

  for (DWORD error : {static_cast<DWORD>(ERROR_CRC), static_cast<DWORD>(ERROR_GEN_FAILURE)}) {
    SCOPED_TRACE(error);
    clearLog(port);
    ASSERT_TRUE(startDoc(port, 46));
    writeAll(port, ticket(1));
    printer.addFault(sim::Fault::failWrite(1, error));
    const size_t writesBefore = printer.calls(sim::Entry::WritePort).size();
    const Bytes data = ticket(2);
    DWORD written = 0;
    EXPECT_TRUE(write(port, data, &written));
    EXPECT_EQ(written, data.size());
    EXPECT_TRUE(write(port, data, &written));
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), writesBefore + 1);
    EXPECT_EQ(port->status.LastWinError, error);
    const std::string log = logFile(port);
    EXPECT_NE(lineWith(log, "WritePortPaper - CRC Error").find("0002"), std::string::npos) << log;
    EXPECT_NE(log.find("OS err = " + std::to_string(error)), std::string::npos) << log;
    EXPECT_FALSE(endDoc(port));  // what the printer took is unknown: not reported printed
  }

  // With "USBAbortOnWriteTimeout" set (the default) a time-out swallows the rest too.
  clearLog(port);
  ASSERT_TRUE(startDoc(port, 47));
  printer.addFault(sim::Fault::failWrite(1, ERROR_TIMEOUT));
  size_t writesBefore = printer.calls(sim::Entry::WritePort).size();
  DWORD written = 0;
  EXPECT_TRUE(write(port, ticket(3), &written));
  EXPECT_TRUE(write(port, ticket(4), &written));
  EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), writesBefore + 1);
  EXPECT_EQ(logFile(port).find("WritePortPaper - CRC Error"), std::string::npos);
  EXPECT_FALSE(endDoc(port));
  EXPECT_EQ(spooler().jobStatusTexts(47), std::vector<std::string>{"Not printed: write timed out"});

  // Without it the write is tried again after a status read, and the data arrives.
  setting("USBAbortOnWriteTimeout", 0);
  INIPORT* retrying = openPort("USB211");
  ASSERT_NE(retrying, nullptr);
  sim::Printer& second = printerOf(retrying);
  ASSERT_TRUE(startDoc(retrying, 48));
  second.clearRecords();
  second.addFault(sim::Fault::failWrite(1, ERROR_TIMEOUT));
  const Bytes data = ticket(5);
  EXPECT_TRUE(write(retrying, data, &written));
  EXPECT_EQ(written, data.size());
  const std::vector<sim::Call> calls = second.calls();
  std::vector<sim::Entry> order;
  for (const sim::Call& call : calls) {
    if (call.entry == sim::Entry::WritePort || call.entry == sim::Entry::ReadPort) order.push_back(call.entry);
  }
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order.front(), sim::Entry::WritePort);
  EXPECT_EQ(order[1], sim::Entry::ReadPort);
  EXPECT_EQ(order.back(), sim::Entry::WritePort);
  EXPECT_EQ(second.documentBytes(), data);
  EXPECT_TRUE(endDoc(retrying));
}

// A condition the operator clears holds the job: each write returns FALSE with what
// the printer took, the port shows the condition, and once it is cleared the job goes
// on where it stopped, every ticket once and the spooler told once.
TEST_F(JobWrite, APrinterConditionHoldsTheJobUntilItClears) {
  struct Case {
    const char* port;
    BYTE status1;
    DWORD portStatus;
    DWORD error;
  };
  const Case cases[] = {
      {"USB212", sim::status1::OutOfPaper, PORT_STATUS_PAPER_OUT, ERROR_OUT_OF_PAPER},
      {"USB213", sim::status1::CutterJam, PORT_STATUS_PAPER_JAM, ERROR_NOT_READY},
      {"USB214", sim::status1::ManualDeselect, PORT_STATUS_OFFLINE, ERROR_NOT_READY},
      {"USB215", sim::status1::HeadLeverUp, PORT_STATUS_DOOR_OPEN, ERROR_NOT_READY},
  };
  // One ticket a packet, so the condition meets the job between two tickets.
  setting("USBPacketSize", static_cast<DWORD>(ticket(0).size()));
  DWORD jobId = 50;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    INIPORT* port = openPort(c.port);
    ASSERT_NE(port, nullptr);
    sim::Printer& printer = printerOf(port);
    // The condition comes after the first ticket and stays until the operator clears it.
    printer.addCondition({c.status1, 0, 1, 0, 0});
    Bytes job;
    for (BYTE seed = 1; seed <= 3; ++seed) {
      const Bytes t = ticket(seed);
      job.insert(job.end(), t.begin(), t.end());
    }
    ++jobId;
    int holds = 0;
    EXPECT_TRUE(spoolJob(port, jobId, job, [&](int held, DWORD error) {
      holds = held;
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(port->status.PrinterStatus, c.portStatus);
      EXPECT_NE(port->flags & PP_IN_DOC, 0u);
      if (held == 2) printer.clearConditions();
      return held < 5;
    }));
    EXPECT_EQ(holds, 2);
    EXPECT_EQ(printer.documentBytes(), withEndOfJobRequest(job));
    EXPECT_EQ(printer.pagesPrinted(), 3u);
    EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{jobId});
    expectIdle(port);
    spooler().reset();
    close(port);
  }
}

// A held job the spooler gives up on ends not printed, with its status text and
// one event record, whatever the diagnostic log's settings.
TEST_F(JobWrite, AHeldJobThatIsCancelledIsNotPrintedAndRecorded) {
  setting("USBPacketSize", static_cast<DWORD>(ticket(0).size()));
  INIPORT* port = openPort("USB218");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  sim::clearRecordedEvents();
  printer.addCondition({sim::status1::OutOfPaper, 0, 1, 0, 0});
  Bytes job = ticket(1);
  const Bytes second = ticket(2);
  job.insert(job.end(), second.begin(), second.end());
  EXPECT_FALSE(spoolJob(port, 70, job, [](int held, DWORD) { return held < 2; }));
  EXPECT_TRUE(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED).empty());
  EXPECT_EQ(spooler().jobStatusTexts(70), std::vector<std::string>{"Not printed: ended with data not sent"});
  const std::vector<std::string> events = sim::recordedEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], "1 1 Job 70 on USB218 not printed: ended with data not sent, " +
                           std::to_string(ticket(1).size()) + " of " + std::to_string(job.size()) +
                           " bytes delivered");
  EXPECT_EQ(port->doc.Jobs.notPrinted, 1u);
  expectIdle(port);
  printer.clearConditions();
  sim::clearRecordedEvents();
}

TEST_F(JobWrite, UnreadableStatusAfterAFailedWriteHoldsTheJob) {
  trace();
  INIPORT* port = openPort("USB216");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  ASSERT_TRUE(startDoc(port, 61));
  printer.addFault(sim::Fault::failWrite(1, ERROR_SEM_TIMEOUT, true));
  printer.addFault(sim::Fault::failRead(1, ERROR_SEM_TIMEOUT, true));
  const Bytes data = ticket(1);
  DWORD written = 0;
  EXPECT_FALSE(write(port, data, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(trace().count("MonWritePortUSBPaper - Retry read = "), 10u);
  EXPECT_TRUE(trace().contains("MonWritePortUSBPaper - Retry read = 10"));
  EXPECT_FALSE(port->doc.AbortDoc.load());
  // Once the printer answers, the spooler's next try prints the job.
  printer.clearFaults();
  writeAll(port, data);
  EXPECT_EQ(printer.documentBytes(), data);
  EXPECT_TRUE(endDoc(port));
  expectIdle(port);
}

TEST_F(JobWrite, SerialPortsTakeNoJobDataThroughTheMonitor) {
  INIPORT* port = openPort("COM7:");
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(startDoc(port, 62));
  SetLastError(ERROR_SUCCESS);
  DWORD written = 0;
  EXPECT_FALSE(write(port, ticket(1), &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(printerOf(port).documentBytes().empty());
  EXPECT_FALSE(endDoc(port));
  EXPECT_EQ(spooler().jobStatusTexts(62), std::vector<std::string>{"Not printed: serial port takes no job data"});
}

}  // namespace

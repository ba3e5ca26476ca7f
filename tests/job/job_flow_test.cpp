// Whole jobs through the function table in the situations that once could hang the
// spooler's thread or mix up ports: no heartbeat, two ports at once, a packet size
// of 0, a printer that falls silent while busy, a lower port that keeps failing.
#include <gtest/gtest.h>

#include <thread>

#include "job_test_support.h"
#include "platform/clock.h"

namespace {

typedef JobTest JobFlow;

const BYTE kEndOfPage = sim::request::EndOfPage;
// Half the longest the end of a document would wait for the status thread.
const DWORD kPrompt = 30000;

TEST_F(JobFlow, JobsEndPromptlyWhenTheStatusThreadMakesNoHeartbeatRead) {
  trace();
  const Bytes job = ticket(1);

  // FILE: ports never take a heartbeat; the switch is monitor-wide.
  INIPORT* file = openPort("FILE:");
  ASSERT_NE(file, nullptr);
  ASSERT_FALSE(HeartbeatOn.load());
  DWORD started = clockTickCount();
  EXPECT_TRUE(printJob(file, 81, job));
  EXPECT_LT(clockTickCount() - started, kPrompt);
  EXPECT_EQ(printerOf(file).documentBytes(), withEndOfJobRequest(job));
  expectIdle(file);
  close(file);

  setting("EnableHeartBeat", 0);
  INIPORT* usb = openPort("USB226");
  ASSERT_NE(usb, nullptr);
  ASSERT_FALSE(HeartbeatOn.load());
  started = clockTickCount();
  EXPECT_TRUE(printJob(usb, 82, job));
  EXPECT_LT(clockTickCount() - started, kPrompt);
  expectIdle(usb);

  EXPECT_FALSE(trace().contains("MonEndDocPortUSB - no fresh status read from the status thread"));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{81, 82}));
}

TEST_F(JobFlow, TwoPortsFollowTheirOwnPageEnds) {
  INIPORT* a = openPort("USB230");
  INIPORT* b = openPort("USB231");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  DWORD written = 0;

  ASSERT_TRUE(startDoc(a, 91));
  ASSERT_TRUE(startDoc(b, 92));
  // A is inside an 8-byte block when B ends a page.
  ASSERT_TRUE(write(a, {ESC, 'd', 8, 0, '1', '2'}, &written));
  ASSERT_TRUE(write(b, {ESC, 'e'}, &written));
  ASSERT_TRUE(write(a, {ESC, 'e', ESC, 'e', '3', '4'}, &written));
  EXPECT_EQ(vendorRequests(a, kEndOfPage), 0u);
  EXPECT_EQ(vendorRequests(b, kEndOfPage), 1u);
  ASSERT_TRUE(write(a, {ESC, 'e'}, &written));
  EXPECT_EQ(vendorRequests(a, kEndOfPage), 1u);

  // A start of document on B leaves A's block alone.
  ASSERT_TRUE(write(a, {ESC, 'x', 2, 'a'}, &written));
  EXPECT_TRUE(endDoc(b));
  ASSERT_TRUE(startDoc(b, 93));
  ASSERT_TRUE(write(a, {ESC, 'e', 'b', ESC, 'e'}, &written));
  EXPECT_EQ(vendorRequests(a, kEndOfPage), 2u);
  EXPECT_EQ(printerOf(a).documents().back().pages, 2u);
  EXPECT_TRUE(endDoc(a));
  EXPECT_TRUE(endDoc(b));  // empty, so all it had printed

  // Both at once from two threads, in small writes that split every command.
  Bytes job;
  for (BYTE seed = 0; seed < 12; ++seed) {
    const Bytes t = ticket(seed);
    job.insert(job.end(), t.begin(), t.end());
  }
  const size_t requestsA = vendorRequests(a, kEndOfPage);
  const size_t requestsB = vendorRequests(b, kEndOfPage);
  auto print = [&](INIPORT* port, DWORD jobId) {
    EXPECT_TRUE(startDoc(port, jobId));
    for (size_t at = 0; at < job.size(); at += 5) {
      const size_t end = at + 5 < job.size() ? at + 5 : job.size();
      DWORD done = 0;
      Bytes piece(job.begin() + static_cast<std::ptrdiff_t>(at), job.begin() + static_cast<std::ptrdiff_t>(end));
      EXPECT_TRUE(write(port, piece, &done));
    }
    EXPECT_TRUE(endDoc(port));
  };
  std::thread first(print, a, 94);
  std::thread second(print, b, 95);
  first.join();
  second.join();
  EXPECT_EQ(vendorRequests(a, kEndOfPage) - requestsA, 12u);
  EXPECT_EQ(vendorRequests(b, kEndOfPage) - requestsB, 12u);
  EXPECT_EQ(printerOf(a).documentBytes(), withEndOfJobRequest(job));
  EXPECT_EQ(printerOf(b).documentBytes(), withEndOfJobRequest(job));
}

TEST_F(JobFlow, APacketSizeOfZeroPrintsWithTheDefault) {
  setting("USBPacketSize", 0);
  INIPORT* port = openPort("USB232");
  ASSERT_NE(port, nullptr);
  const Bytes job = plainData(10000);
  EXPECT_TRUE(printJob(port, 96, job));
  EXPECT_EQ(writeSizes(port), (std::vector<DWORD>{1808, 4096, 4096, 3}));
  EXPECT_EQ(printerOf(port).documentBytes(), withEndOfJobRequest(job));
}

TEST_F(JobFlow, APrinterThatFallsSilentWhileBusyHoldsTheJob) {
  trace();
  INIPORT* port = openPort("USB233");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  printer.setBusyAfterPage(100000000);
  ASSERT_TRUE(startDoc(port, 97));
  writeAll(port, ticket(1));
  // The first poll still reads the busy printer; every read after it is empty.
  printer.addFault(sim::Fault::zeroRead(3, true));
  const size_t writes = printer.calls(sim::Entry::WritePort).size();
  const Bytes data = ticket(2);
  DWORD written = 0;
  EXPECT_FALSE(write(port, data, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), writes);
  // Passes without a reply of their own tell nothing, busy or not.
  EXPECT_EQ(trace().count("waitForPrinterNotBusy - Reading port is still busy"), 0u);
  EXPECT_TRUE(trace().contains("waitForPrinterNotBusy - printer not answering, holding the job"));
  // The spooler gives up on the held job: it did not print, and says why.
  EXPECT_FALSE(endDoc(port));
  EXPECT_EQ(spooler().jobStatusTexts(97), std::vector<std::string>{"Not printed: ended with data not sent"});
  expectIdle(port);

  // Silent right after a page, its last reply from before the page: the stale "not
  // busy" is no verdict, and nothing is sent to the busy printer to be lost.
  INIPORT* other = openPort("USB237");
  ASSERT_NE(other, nullptr);
  sim::Printer& silent = printerOf(other);
  silent.setBusyAfterPage(100000000);
  ASSERT_TRUE(startDoc(other, 98));
  writeAll(other, ticket(3));
  silent.setSilent(true);
  EXPECT_FALSE(write(other, data, &written));
  EXPECT_EQ(silent.lostBytes(), 0u);
  silent.setSilent(false);
  EXPECT_FALSE(endDoc(other));

  // Garbled replies right after a page are no verdict either.
  INIPORT* third = openPort("USB238");
  ASSERT_NE(third, nullptr);
  sim::Printer& garbled = printerOf(third);
  garbled.setBusyAfterPage(100000000);
  ASSERT_TRUE(startDoc(third, 99));
  writeAll(third, ticket(4));
  garbled.addFault(sim::Fault::garbageRead(1, Bytes(32, 0x5A), true));
  EXPECT_FALSE(write(third, data, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(garbled.lostBytes(), 0u);
  garbled.clearFaults();
  EXPECT_FALSE(endDoc(third));
}

TEST_F(JobFlow, ALowerPortThatKeepsFailingHoldsTheJobAndAnAbortEndsIt) {
  trace();
  INIPORT* port = openPort("USB234");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);

  // The printer shows no error, so the write is tried again, ten times in each call,
  // and the job goes back to the spooler held with the lower port's error.
  ASSERT_TRUE(startDoc(port, 98));
  printer.clearRecords();
  printer.addFault(sim::Fault::failWrite(1, ERROR_ACCESS_DENIED, true));
  const Bytes data = ticket(1);
  DWORD written = 0;
  for (size_t call = 1; call <= 2; ++call) {
    EXPECT_FALSE(write(port, data, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), 10u * call);
  }
  EXPECT_EQ(trace().count("MonWritePortUSBPaper - Write port finds printer busy with No error"), 18u);

  // A client's abort is honoured at the next write: the job ends not printed.
  port->doc.AbortPending = TRUE;
  EXPECT_TRUE(write(port, data, &written));
  EXPECT_EQ(printer.calls(sim::Entry::WritePort).size(), 20u);
  printer.clearFaults();
  EXPECT_FALSE(endDoc(port));
  EXPECT_TRUE(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED).empty());
  EXPECT_EQ(spooler().jobStatusTexts(98), std::vector<std::string>{"Not printed: aborted"});
  expectIdle(port);
}

// A job cut inside a raster block: the block is finished with zero bytes before the
// end-of-document request, so the printer reads that request, and the next job, as
// commands again.
TEST_F(JobFlow, AJobCutInsideABlockIsFinishedBeforeItsEnd) {
  INIPORT* port = openPort("USB235");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  const Bytes cut = {ESC, 'd', 10, 0, '1', '2', '3'};
  EXPECT_TRUE(printJob(port, 100, cut));
  Bytes expected = cut;
  expected.insert(expected.end(), 7, 0);
  EXPECT_EQ(printer.documentBytes(), withEndOfJobRequest(expected));
  EXPECT_TRUE(printJob(port, 101, ticket(1)));
  EXPECT_EQ(printer.pagesPrinted(), 1u);
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{100, 101}));
}

// The zeros that finish a cut block wait for a printer that took none of them, and
// the end request with them: the next job sends them before its own bytes. So does
// the zero that finishes an end request cut after its ESC.
TEST_F(JobFlow, ZerosThePrinterDidNotTakeGoFirstInTheNextJob) {
  INIPORT* port = openPort("USB237");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  const Bytes cut = {ESC, 'd', 10, 0, '1', '2', '3'};
  ASSERT_TRUE(startDoc(port, 103));
  writeAll(port, cut);
  printer.addFault(sim::Fault::failWrite(1, ERROR_TIMEOUT));
  EXPECT_TRUE(endDoc(port));
  EXPECT_EQ(printer.documentBytes(), cut);

  EXPECT_TRUE(printJob(port, 104, ticket(1)));
  Bytes expected(7, 0);
  const Bytes next = ticket(1);
  expected.insert(expected.end(), next.begin(), next.end());
  EXPECT_EQ(printer.documentBytes(), withEndOfJobRequest(expected));
  EXPECT_EQ(printer.pagesPrinted(), 1u);
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{103, 104}));

  // An end request cut after its ESC leaves the parser in a command, which would
  // take the next job's first ESC of a page end: one zero finishes it first.
  ASSERT_TRUE(startDoc(port, 105));
  writeAll(port, ticket(1));
  printer.addFault(sim::Fault::partWrite(1, 1, ERROR_BUSY));
  EXPECT_TRUE(endDoc(port));
  EXPECT_TRUE(printJob(port, 106, ticket(1)));
  expected.assign(1, 0);
  expected.insert(expected.end(), next.begin(), next.end());
  EXPECT_EQ(printer.documentBytes(), withEndOfJobRequest(expected));
  EXPECT_EQ(printer.pagesPrinted(), 3u);
}

// A printer that restarts inside a block reads the rest of the block as commands,
// and forgets the document: the job is not printed, and the next one finds the
// printer's parser out of any block.
TEST_F(JobFlow, APrinterRestartedInADocumentLosesTheJobAndTheNextOnePrints) {
  INIPORT* port = openPort("USB238");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  ASSERT_TRUE(startDoc(port, 105));
  writeAll(port, {ESC, 'd', 0, 1, 'a', 'b'});
  printer.powerCycle(0);
  Bytes rest = plainData(250);
  for (BYTE b : {ESC, BYTE('e'), BYTE('c'), BYTE('d'), ESC, BYTE('e')}) rest.push_back(b);
  writeAll(port, rest);
  endDoc(port);
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{});
  EXPECT_EQ(spooler().jobStatusTexts(105), std::vector<std::string>{"Not printed: printer restarted"});

  const unsigned before = printer.pagesPrinted();
  EXPECT_TRUE(printJob(port, 106, ticket(2)));
  EXPECT_EQ(printer.pagesPrinted(), before + 1);
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{106});
}

// A ReadPort of another thread in the middle of a job, even one that fails on the
// link, changes nothing of what the job's writes do.
TEST_F(JobFlow, AForeignReadDuringAJobLeavesItsWritesAlone) {
  INIPORT* port = openPort("USB236");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  ASSERT_TRUE(startDoc(port, 102));
  writeAll(port, ticket(1));
  printer.addFault(sim::Fault::failRead(1, ERROR_CRC));
  BYTE reply[64];
  DWORD count = 0;
  std::thread reader([&] { table()->Monitor.pfnReadPort(port, reply, sizeof reply, &count); });
  reader.join();
  writeAll(port, ticket(2));
  EXPECT_TRUE(endDoc(port));
  Bytes job = ticket(1);
  const Bytes second = ticket(2);
  job.insert(job.end(), second.begin(), second.end());
  EXPECT_EQ(printer.documentBytes(), withEndOfJobRequest(job));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{102});
}

}  // namespace

// The start of a document through the function table: refusals, failures that must
// leave nothing behind, and the printer's ticket counter read for the event log.
#include <gtest/gtest.h>

#include <thread>

#include "job_test_support.h"
#include "jobs/document.h"
#include "platform/clock.h"
#include "status/status_query.h"

namespace {

typedef JobTest JobStart;

// Nobody keeps the mutex: another thread gets it (the status thread may hold it
// for one pass).
bool mutexFree(HANDLE mutex) {
  bool free = false;
  std::thread other([&] {
    if (clockWait(mutex, 5000) == WAIT_OBJECT_0) {
      free = true;
      ReleaseMutex(mutex);
    }
  });
  other.join();
  return free;
}

TEST_F(JobStart, RefusedCallsLeaveThePortAndTheFirstJobAlone) {
  INIPORT* port = openPort("USB201");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  printer.clearRecords();

  EXPECT_FALSE(startDoc(port, 1, kPrinterName, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_FALSE(startDoc(port, 1, kPrinterName, 1, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(startDoc(port, 1, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(startDoc(port, 1, ""));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // None of them reached the printer or the spooler (the port's heartbeat may poll
  // meanwhile, so only a document's own traffic counts).
  EXPECT_TRUE(printer.calls(sim::Entry::StartDocPort).empty());
  EXPECT_EQ(vendorRequests(port, VENDOR_START_OF_DOCUMENT), 0u);
  EXPECT_TRUE(spooler().calls(sim::SpoolerCall::OpenPrinter).empty());
  expectIdle(port);

  ASSERT_TRUE(startDoc(port, 11));
  EXPECT_FALSE(startDoc(port, 12));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  ASSERT_NE(port->pIniJob, nullptr);
  EXPECT_EQ(port->pIniJob->JobId, 11u);
  EXPECT_EQ(port->pIniJob->pNext, nullptr);
  EXPECT_EQ(printer.calls(sim::Entry::StartDocPort).size(), 1u);
  EXPECT_EQ(spooler().openPrinterCount(), 1);

  writeAll(port, ticket(1));
  EXPECT_TRUE(endDoc(port));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{11});
  EXPECT_EQ(spooler().openPrinterCount(), 0);
}

TEST_F(JobStart, AHandleThatIsNoPortIsRefusedWithoutReadingIt) {
  ASSERT_NE(openPort("USB212"), nullptr);  // the monitor's table
  // Not a port record: its bytes must not be read as the printer's name.
  std::vector<char> notAPort(sizeof(INIPORT), 'A');
  TraceCapture capture(DIAG_INFO | DIAG_ERRORS | DIAG_PRINTER_PREFIX);
  EXPECT_FALSE(startDoc(reinterpret_cast<INIPORT*>(notAPort.data()), 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(capture.contains("MonStartDoc - Error bad start doc parameters"));
  EXPECT_FALSE(capture.contains("AAAA"));
}

TEST_F(JobStart, FailedStartsLeaveNothingBehind) {
  INIPORT* port = openPort("USB202");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);

  auto expectNothingLeft = [&]() {
    EXPECT_EQ(port->pIniJob, nullptr);
    EXPECT_EQ(spooler().openPrinterCount(), 0);
    EXPECT_TRUE(mutexFree(port->pipe.hPipeDoingStatus));
    EXPECT_TRUE(mutexFree(port->status.StatusNotInProgress));
    expectIdle(port);
  };

  spooler().failNext(sim::SpoolerCall::OpenPrinter, ERROR_INVALID_NAME);
  EXPECT_FALSE(startDoc(port, 21));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_TRUE(printer.calls(sim::Entry::StartDocPort).empty());
  expectNothingLeft();

  printer.addFault(sim::Fault::failStartDoc(ERROR_SEM_TIMEOUT));
  EXPECT_FALSE(startDoc(port, 22));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
  // The job's own printer handle was opened and closed again.
  EXPECT_EQ(spooler().calls(sim::SpoolerCall::ClosePrinter).size(), 1u);
  expectNothingLeft();

  // An update that never ends holds the job only so long.
  port->flash.FlashInProgress = TRUE;
  clockSetScale(0.0001);
  EXPECT_FALSE(startDoc(port, 24));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  clockSetScale(0.01);
  port->flash.FlashInProgress = FALSE;
  EXPECT_EQ(printer.calls(sim::Entry::StartDocPort).size(), 1u);
  expectNothingLeft();

  EXPECT_TRUE(printJob(port, 23, ticket(2)));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{23});
  expectNothingLeft();
}

TEST_F(JobStart, TicketCounterIsReadOnlyForTheDocumentLogAndNeverOnSerial) {
  const BYTE kTicketCounterRequest = sim::request::FirstField + 2;
  trace();

  INIPORT* quiet = openPort("USB203");
  ASSERT_NE(quiet, nullptr);
  printerOf(quiet).setTicketCount(120);
  printerOf(quiet).clearRecords();
  EXPECT_TRUE(printJob(quiet, 31, ticket(3)));
  EXPECT_EQ(vendorRequests(quiet, kTicketCounterRequest), 0u);

  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_ERRORS);  // no document entries
  INIPORT* errorsOnly = openPort("USB204");
  ASSERT_NE(errorsOnly, nullptr);
  EXPECT_TRUE(printJob(errorsOnly, 32, ticket(4)));
  EXPECT_EQ(vendorRequests(errorsOnly, kTicketCounterRequest), 0u);

  setting("DRWdebugMask", DRW_ERRORS | DRW_DOCUMENTS);
  INIPORT* usb = openPort("USB205");
  ASSERT_NE(usb, nullptr);
  printerOf(usb).setTicketCount(120);
  ASSERT_TRUE(startDoc(usb, 33));
  EXPECT_EQ(vendorRequests(usb, kTicketCounterRequest), 1u);
  EXPECT_EQ(usb->doc.DocCountSOD, 120u);  // "00000120": leading zeros are digits too
  writeAll(usb, ticket(5));
  EXPECT_TRUE(endDoc(usb));

  // The request is lost, so the reply read is a short status: no digits from byte 3.
  printerOf(usb).addFault(sim::Fault::failVendorRequest(1, ERROR_GEN_FAILURE, true));
  ASSERT_TRUE(startDoc(usb, 34));
  EXPECT_EQ(usb->doc.DocCountSOD, 0u);
  EXPECT_TRUE(trace().contains("MonStartDoc - Doc count before print = 0"));
  EXPECT_FALSE(trace().contains("MonStartDoc - get doc count failed"));
  EXPECT_TRUE(endDoc(usb));  // an empty job printed all it had
  printerOf(usb).clearFaults();

  INIPORT* serial = openPort("COM7:");
  ASSERT_NE(serial, nullptr);
  printerOf(serial).setTicketCount(120);
  trace().clear();
  ASSERT_TRUE(startDoc(serial, 35));
  EXPECT_FALSE(trace().contains("MonStartDoc - Doc count before print"));
  EXPECT_FALSE(trace().contains("MonStartDoc - get doc count failed"));
  EXPECT_EQ(serial->doc.DocCountSOD, 0u);
  endDoc(serial);
}

// With the heartbeat off nothing talks to the printer before the first job, as when
// the spooler starts a job the moment it has opened the port; a read error left
// by a heartbeat bars the printer's requests the same way.
TEST_F(JobStart, TheFirstJobAfterTheOpenIsToldToThePrinterAndCounted) {
  setting("EnableHeartBeat", 0);
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_DOCUMENTS);
  INIPORT* counted = openPort("USB217");
  ASSERT_NE(counted, nullptr);
  printerOf(counted).setTicketCount(120);
  clearLog(counted);
  EXPECT_TRUE(printJob(counted, 36, ticket(1)));
  EXPECT_NE(lineWith(logFile(counted), "End Doc 1 pages, total pages 121"), "") << logFile(counted);

  // Without the document log no counter query opens the way either.
  setting("DRWdebugMask", DRW_ERRORS);
  INIPORT* port = openPort("USB219");
  ASSERT_NE(port, nullptr);
  ASSERT_FALSE(port->link.goodCommWithPrinter.load());
  EXPECT_TRUE(printJob(port, 37, ticket(2)));
  EXPECT_EQ(vendorRequests(port, sim::request::StartOfDocument), 1u);
  EXPECT_EQ(vendorRequests(port, sim::request::EndOfPage), 1u);

  port->link.UsbCrcError = TRUE;
  EXPECT_TRUE(printJob(port, 38, ticket(3)));
  EXPECT_EQ(vendorRequests(port, sim::request::StartOfDocument), 2u);
  EXPECT_EQ(printerOf(port).pagesPrinted(), 2u);
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{36, 37, 38}));
}

// A CRC error on a read before the job, and on the first link check, says nothing of
// the job: the check asks again, the job's data all reaches the printer and is reported.
TEST_F(JobStart, FailedReadsBeforeTheJobDoNotDoomIt) {
  setting("EnableHeartBeat", 0);
  INIPORT* port = openPort("USB220");
  ASSERT_NE(port, nullptr);
  sim::Printer& printer = printerOf(port);
  sim::Fault crc = sim::Fault::failRead(1, ERROR_CRC);
  crc.times = 8;
  printer.addFault(crc);
  EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
  const Bytes data = ticket(4);
  EXPECT_TRUE(printJob(port, 39, data));
  EXPECT_EQ(printer.documentBytes(), withEndOfJobRequest(data));
  EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{39});
}

}  // namespace

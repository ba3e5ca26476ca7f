// Status queries against the virtual printer: which requests and reads they make,
// what stands in for a missing reply, and what they record about the exchange.
#include <atomic>
#include <cstring>

#include "log/event_log.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "port/debug_trace.h"
#include "port/settings.h"
#include "status/status_query.h"
#include "status/status_reply.h"
#include "status_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

const BYTE kComplete[] = {0x1B, 'I', 'C'};

class StatusQuery : public StatusTest {};

TEST_F(StatusQuery, UsbHeartbeatIsTwoQueriesAndAnswersTheSecond) {
  INIPORT* port = quietPort("USB");
  EXPECT_TRUE(ReadCommand(port, FALSE, nullptr, 0));
  EXPECT_EQ(2u, reads(port));
  EXPECT_TRUE(printer(port).vendorRequests().empty());

  // The first query fails (read and re-read), the second succeeds.
  printer(port).addFault(sim::Fault::failRead(1, ERROR_TIMEOUT));
  printer(port).addFault(sim::Fault::failRead(2, ERROR_TIMEOUT));
  EXPECT_TRUE(ReadCommand(port, FALSE, nullptr, 0));
  printer(port).clearFaults();
  // The first query succeeds, the second fails.
  printer(port).addFault(sim::Fault::failRead(2, ERROR_TIMEOUT));
  printer(port).addFault(sim::Fault::failRead(3, ERROR_TIMEOUT));
  EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
}

TEST_F(StatusQuery, SpecificUsbQueryInterpretsTheStaleReplyApart) {
  setting("DRWenable", 1);
  INIPORT* port = talkingPort("USB");
  clockSetScale(0.5);
  printer(port).setStatus(SYSTEM_NOT_READY | OUT_OF_PAPER, 0);
  EXPECT_TRUE(ReadCommand(port, TRUE, kComplete, sizeof kComplete));

  EXPECT_EQ(std::vector<Bytes>({{3, '1', '2', 0, 0, 0, 0, 0}}), printer(port).vendorRequests());
  const auto calls = printer(port).calls();
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(sim::Entry::GetPrinterDataFromPort, calls[0].entry);
  EXPECT_EQ('S', calls[1].out.at(0));
  EXPECT_EQ('C', calls[2].out.at(0));
  EXPECT_GE(calls[1].time - calls[0].time, 50u);
  EXPECT_GE(calls[2].time - calls[1].time, 80u);
  // The change to paper out came with the stale reply, taken apart from the caller's state.
  EXPECT_EQ(1u, logCount(port, "\"Paper-Out NONE\""));
  EXPECT_EQ(PRINTER_STATE_HEARTBEAT, port->status.printerState.load());
  EXPECT_EQ(3u, postedStatus(port));
  EXPECT_STREQ(" (Complete)", port->status.StatusTypeText);
}

TEST_F(StatusQuery, PipeStateComesBackWhateverTheStaleReplyInterleaving) {
  INIPORT* port = talkingPort("USB");
  // A pipe client waits for a live status; its time-out ends, and the pipe puts its
  // state back, while the status thread is taking the stale reply.
  port->status.printerState = PRINTER_STATE_PIPE_REQUEST;
  struct Pipe {
    INIPORT* port;
    std::atomic<bool> restored;  // the port's pipe thread may trace meanwhile
  } pipe = {port, {false}};
  const DWORD diags = Settings.EnableDiags;
  Settings.EnableDiags = DIAG_INFO | DIAG_ERRORS;
  debugOutputCapture(
      [](LPCSTR line, void* context) {
        Pipe* p = static_cast<Pipe*>(context);
        if (p->restored || strstr(line, "ProcessQXStatusString - Status =") == nullptr) return;
        p->port->status.printerState = PRINTER_STATE_HEARTBEAT;
        p->restored = true;
      },
      &pipe);
  EXPECT_TRUE(ReadCommand(port, TRUE, kComplete, sizeof kComplete));
  debugOutputCapture(nullptr, nullptr);
  Settings.EnableDiags = diags;
  EXPECT_TRUE(pipe.restored);
  EXPECT_EQ(PRINTER_STATE_HEARTBEAT, port->status.printerState.load());
}

TEST_F(StatusQuery, PrintTicketRequestCarriesItsParameters) {
  INIPORT* port = talkingPort("USB");
  const BYTE ticket[] = {0x1B, 'I', 'A', 'c', 1, 2, 3, 4, 5, 6, 7};
  ReadCommand(port, TRUE, ticket, sizeof ticket);
  ReadCommand(port, TRUE, ticket, 6);
  EXPECT_EQ(std::vector<Bytes>({{41, 1, 2, 3, 4, 5, 6, 7}, {41, 1, 2, 0, 0, 0, 0, 0}}), printer(port).vendorRequests());
}

TEST_F(StatusQuery, InvalidRequestSendsAndReadsNothing) {
  INIPORT* port = quietPort("USB");
  const BYTE field16[] = {0x1B, 'I', 'A', 0x10};
  ResetEvent(port->status.DoneReading);
  EXPECT_FALSE(ReadCommand(port, TRUE, field16, sizeof field16));
  EXPECT_TRUE(printer(port).calls().empty());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->status.DoneReading, 0));
}

TEST_F(StatusQuery, EmptyUsbReadStandsInTheFakeStatus) {
  INIPORT* port = quietPort("USB");
  printer(port).addFault(sim::Fault::zeroRead(1, true));
  EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
  EXPECT_EQ(QX_ERROR_ZERO_BYTES_READ, port->status.LastWinError.load());
  EXPECT_TRUE(port->status.StatusReadFailed.load());
  EXPECT_EQ(0u, port->status.LastStatusLength);
  EXPECT_EQ(1u, postedStatus(port));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), postedSeverity(port));
}

TEST_F(StatusQuery, UsbDeviceErrorsAreRememberedAsReadErrorsOnly) {
  INIPORT* port = quietPort("USB");
  for (DWORD error : {static_cast<DWORD>(ERROR_CRC), static_cast<DWORD>(ERROR_GEN_FAILURE)}) {
    printer(port).addFault(sim::Fault::failRead(1, error, true));
    EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
    EXPECT_FALSE(port->link.UsbCrcError.load()) << error;
    EXPECT_EQ(error, port->status.LastWinError.load());
    EXPECT_EQ(1u, postedStatus(port));
    printer(port).clearFaults();
    EXPECT_TRUE(ReadCommand(port, FALSE, nullptr, 0));
    EXPECT_EQ(0u, port->status.LastWinError.load());
  }
}

TEST_F(StatusQuery, SilentSerialPrinterGoesOffLine) {
  INIPORT* port = quietPort("COM");
  printer(port).setSilent(true);
  ResetEvent(port->status.DoneReading);
  EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
  EXPECT_EQ(1u, postedStatus(port));
  EXPECT_TRUE(port->status.StatusReadFailed.load());
  EXPECT_EQ(1u, printer(port).calls(sim::Entry::StartDocPort).size());
  EXPECT_EQ(1u, printer(port).calls(sim::Entry::EndDocPort).size());
  EXPECT_FALSE(printer(port).inDocument());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->status.DoneReading, 0));
  const auto writes = printer(port).calls(sim::Entry::WritePort);
  ASSERT_EQ(1u, writes.size());
  EXPECT_EQ(std::string("<lm><SS>"), std::string(writes[0].in.begin(), writes[0].in.end()));
}

TEST_F(StatusQuery, FailedSerialLinkShowsThePortOffLine) {
  for (const sim::Fault& fault : {sim::Fault::failRead(1, ERROR_GEN_FAILURE, true),
                                  sim::Fault::failStartDoc(ERROR_ACCESS_DENIED, true)}) {
    SCOPED_TRACE(fault.describe());
    INIPORT* port = talkingPort("COM");
    printer(port).addFault(fault);
    EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
    EXPECT_EQ(1u, postedStatus(port));
    EXPECT_TRUE(port->status.StatusReadFailed.load());
    EXPECT_EQ(fault.error, port->status.LastWinError.load());
    EXPECT_FALSE(printer(port).inDocument());
  }
}

TEST_F(StatusQuery, OnlyFreshStatusRepliesFeedTheLowPaperDebounce) {
  INIPORT* port = talkingPort("USB");
  const BYTE shortStatus[] = {0x1B, 'I', 'S'};
  const BYTE ticketCount[] = {0x1B, 'I', 'A', 0x02};
  printer(port).setStatus(0, LOW_PAPER);
  EXPECT_TRUE(ReadCommand(port, TRUE, shortStatus, sizeof shortStatus));
  // Neither an A reply nor an empty read is a second reading of the sensor.
  EXPECT_TRUE(ReadCommand(port, TRUE, ticketCount, sizeof ticketCount));
  printer(port).addFault(sim::Fault::zeroRead(2));  // the answer after the stale reply
  EXPECT_FALSE(ReadCommand(port, TRUE, shortStatus, sizeof shortStatus));
  EXPECT_FALSE(port->status.LowPaper.load());
  EXPECT_TRUE(ReadCommand(port, TRUE, shortStatus, sizeof shortStatus));
  EXPECT_TRUE(port->status.LowPaper.load());
}

TEST_F(StatusQuery, SerialReplyOfTheWrongTypeIsDiscarded) {
  INIPORT* port = quietPort("COM");
  // An answer to an earlier request is still on the line.
  BYTE normal[] = {0x1B, 'I', 'N'};
  DWORD written = 0;
  port->link.fn.pfnStartDocPort(port->link.hPort, port->PrinterNameW, 1, 0, nullptr);
  port->link.fn.pfnWritePort(port->link.hPort, normal, sizeof normal, &written);
  port->link.fn.pfnEndDocPort(port->link.hPort);
  port->status.PrinterStatus = 3;
  printer(port).setStatus(0, 0);

  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  EXPECT_FALSE(ReadCommand(port, FALSE, nullptr, 0));
  EXPECT_TRUE(trace.contains("Unexpected first character from serial read"));
  EXPECT_EQ(3u, port->status.PrinterStatus.load());
  EXPECT_TRUE(setPorts(port).empty());
  EXPECT_EQ(2u, reads(port));  // the reply and the rest of the line
  EXPECT_EQ(0u, port->status.LastStatusLength);  // neither stands as the last status a client reads
  EXPECT_FALSE(printer(port).inDocument());
}

TEST_F(StatusQuery, SerialRequestIsWrittenAsItIsAndWhole) {
  INIPORT* port = quietPort("COM");
  const BYTE bitFlags[] = {0x1B, 'I', 'A', 0x00};
  EXPECT_TRUE(ReadCommand(port, TRUE, bitFlags, sizeof bitFlags));
  const auto writes = printer(port).calls(sim::Entry::WritePort);
  ASSERT_EQ(1u, writes.size());
  EXPECT_EQ(Bytes(bitFlags, bitFlags + sizeof bitFlags), writes[0].in);
  EXPECT_EQ('A', port->status.LastStatus[0]);

  // A port that takes part of a request is given the rest, or the printer would
  // read the part as ticket data and the next request after it.
  printer(port).clearRecords();
  printer(port).addFault(sim::Fault::shortWrite(1, 5));
  EXPECT_TRUE(ReadCommand(port, FALSE, nullptr, 0));
  EXPECT_EQ(2u, printer(port).calls(sim::Entry::WritePort).size());
  EXPECT_TRUE(printer(port).documentBytes().empty());
  EXPECT_FALSE(port->status.StatusReadFailed.load());

  // Also when the write that cut it failed.
  printer(port).clearRecords();
  printer(port).addFault(sim::Fault::partWrite(1, 4, ERROR_TIMEOUT));
  EXPECT_TRUE(ReadCommand(port, FALSE, nullptr, 0));
  EXPECT_TRUE(printer(port).documentBytes().empty());
}

TEST_F(StatusQuery, LongGapsBetweenQueriesAreLoggedWhileIdle) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_WATCHDOG);
  INIPORT* port = quietPort("USB");
  port->status.LastRefreshTime = clockTickCount() - 8000;
  ReadCommand(port, FALSE, nullptr, 0);
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_EQ(1u, logCount(port, "ReadCommand - Time since last refresh (HB or Pipe) = 8."));
  EXPECT_EQ(1u, logCount(port, "\"0025\""));

  port->status.printerState = PRINTER_STATE_PRINTING;
  port->status.LastRefreshTime = clockTickCount() - 9000;
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_EQ(1u, logCount(port, "\"0025\""));
}

}  // namespace

// The event-log entries that status interpretation writes: printer conditions when
// the port status changes, platform errors, and the state reports.
#include "log/event_log.h"
#include "platform/clock.h"
#include "status/log_printer_requests.h"
#include "status/status_query.h"
#include "status/status_reply.h"
#include "status_test_support.h"

namespace {

class StatusLog : public StatusTest {
 protected:
  INIPORT* loggingPort(DWORD mask) {
    setting("DRWenable", 1);
    setting("DRWdebugMask", mask);
    return talkingPort("USB");
  }

  bool hasLine(INIPORT* pIniPort, const std::string& code, const std::string& text) {
    for (const std::string& line : logLines(pIniPort)) {
      const std::string head = "\"" + code + "\",\"";
      const std::string tail = "\",\"" + text + "\"";
      if (line.compare(0, head.size(), head) == 0 && line.size() > tail.size() &&
          line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(StatusLog, PaperOutIsLoggedWithThePortStatusChange) {
  INIPORT* port = loggingPort(DRW_ERRORS);
  EXPECT_TRUE(logLines(port).empty());
  printer(port).setStatus(SYSTEM_NOT_READY | OUT_OF_PAPER, 0);
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_TRUE(hasLine(port, "0015", "Paper-Out Heart Beat"));
  EXPECT_EQ(0u, logCount(port, "Ready"));
  // No change, no entry.
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_EQ(1u, logLines(port).size());
}

TEST_F(StatusLog, ReadyWhileIdleLogsTheSerialNumber) {
  INIPORT* port = loggingPort(DRW_ERRORS);
  printer(port).setSerialNumber("QX-4242");
  port->status.PrinterStatus = PORT_STATUS_OFFLINE;
  ReadCommand(port, FALSE, nullptr, 0);
  runLogPrinterRequests(port);  // as the status thread does after its query
  const auto lines = logLines(port);
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(hasLine(port, "0021", "Ready Heart Beat"));
  EXPECT_TRUE(hasLine(port, "0021", "Printer Serial Number = QX-4242"));
  EXPECT_EQ(0u, postedStatus(port));
}

TEST_F(StatusLog, TheSerialNumberRequestGoesOutWholeOnASerialPort) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_ERRORS);
  INIPORT* port = talkingPort("COM");
  printer(port).setSerialNumber("QX-4242");
  port->status.PrinterStatus = PORT_STATUS_OFFLINE;
  ReadCommand(port, FALSE, nullptr, 0);
  // The port takes two bytes of the request at first: the printer gets the rest.
  printer(port).addFault(sim::Fault::shortWrite(1, 2));
  runLogPrinterRequests(port);
  EXPECT_TRUE(hasLine(port, "0021", "Printer Serial Number = QX-4242"));
  EXPECT_TRUE(printer(port).documentBytes().empty());
}

TEST_F(StatusLog, TheLogAsksThePrinterOnlyAfterTheQueryHasItsOwnReply) {
  INIPORT* port = loggingPort(DRW_ERRORS);
  printer(port).setSerialNumber("QX-4242");
  port->status.PrinterStatus = PORT_STATUS_OFFLINE;  // the change to ready wants the serial number
  const BYTE complete[] = {0x1B, 'I', 'C'};
  EXPECT_TRUE(ReadCommand(port, TRUE, complete, sizeof complete));
  EXPECT_EQ(std::vector<Bytes>({{3, '1', '2', 0, 0, 0, 0, 0}}), printer(port).vendorRequests());
  EXPECT_EQ('C', port->status.LastStatus[0]);
  EXPECT_EQ(0u, logCount(port, "Printer Serial Number"));

  runLogPrinterRequests(port);
  EXPECT_TRUE(hasLine(port, "0021", "Printer Serial Number = QX-4242"));
  // The log's exchange answers no query: the copies keep the query's reply.
  EXPECT_EQ('C', port->status.LastStatus[0]);

  // The number is as long as the reply says, whatever follows it.
  const std::string reply = "A0904SN42\x01XY";
  char number[16];
  serialNumberFromReply(reinterpret_cast<const BYTE*>(reply.data()), static_cast<DWORD>(reply.size()), number,
                        sizeof number);
  EXPECT_STREQ("SN42", number);
}

TEST_F(StatusLog, OutputJamWithNotReadyWritesBothJamLines) {
  INIPORT* port = loggingPort(DRW_ERRORS);
  printer(port).setStatus(SYSTEM_NOT_READY | OUTPUT_JAM, 0);
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_TRUE(hasLine(port, "0013", "Output Jam Heart Beat"));
  EXPECT_TRUE(hasLine(port, "0014", "Output Jam ex Heart Beat"));
  EXPECT_EQ(0u, logCount(port, "Ready"));
}

TEST_F(StatusLog, ARepeatedPlatformErrorIsLoggedOnce) {
  INIPORT* port = loggingPort(DRW_ERRORS);
  printer(port).addFault(sim::Fault::failRead(1, ERROR_GEN_FAILURE, true));
  ReadCommand(port, FALSE, nullptr, 0);
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_EQ(1u, logCount(port, "\"0024\""));
  EXPECT_EQ(1u, logCount(port, "OS err = 31, "));
  EXPECT_TRUE(hasLine(port, "0019", "Printer Not responding Heart Beat"));

  printer(port).clearFaults();
  printer(port).addFault(sim::Fault::zeroRead(1, true));
  ReadCommand(port, FALSE, nullptr, 0);
  EXPECT_GE(logCount(port, "OS err = 80000, QX USB good read with 0 bytes returned"), 1u);
}

TEST_F(StatusLog, PipeRequestReportsTheRequestKind) {
  INIPORT* port = loggingPort(DRW_PIPE);
  const BYTE complete[] = {0x1B, 'I', 'C'};
  port->status.printerState = PRINTER_STATE_PIPE_REQUEST;
  ReadCommand(port, TRUE, complete, sizeof complete);
  EXPECT_TRUE(hasLine(port, "0021", "Ready Pipe Request (Complete)"));
  EXPECT_EQ(0u, logCount(port, "Print head temp"));
  EXPECT_EQ(1u, logLines(port).size());
}

TEST_F(StatusLog, IdlePollReportsOncePerPollTime) {
  INIPORT* port = loggingPort(DRW_POLL);
  setting("DRWpollTime", 1);
  printer(port).setHeadTemperature(45);
  port->status.LastPollLogTime = clockTickCount() - 61000;
  ReadCommand(port, FALSE, nullptr, 0);
  runLogPrinterRequests(port);
  EXPECT_TRUE(hasLine(port, "0021", "Ready Poll"));
  EXPECT_TRUE(hasLine(port, "0020", "Print head temp 045 Poll"));
  EXPECT_EQ(PRINTER_STATE_HEARTBEAT, port->status.printerState.load());
  ReadCommand(port, FALSE, nullptr, 0);
  runLogPrinterRequests(port);
  EXPECT_EQ(2u, logLines(port).size());
}

TEST_F(StatusLog, IdlePollFollowsTheClockOfTheStatusThread) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_POLL);
  setting("DRWpollTime", 1);
  setting("HeartBeatRate", 5000);
  clockSetScale(0.01);
  INIPORT* port = openPort("USB");
  clockSleep(3 * 60000 + 30000);
  const size_t reports = logCount(port, "\"Ready Poll\"");
  EXPECT_GE(reports, 1u);
  EXPECT_LE(reports, 4u);
  EXPECT_EQ(reports, logCount(port, "Print head temp"));
}

TEST_F(StatusLog, AnEntryWrittenInsideAStateReportLeavesTheReportWhole) {
  INIPORT* port = loggingPort(DRW_POLL | DRW_WATCHDOG);
  printer(port).setHeadTemperature(45);
  printer(port).setWatchdogAlwaysReported(true);
  printer(port).setWatchdogCounts(2, 1);
  port->link.WDCountsKnown = TRUE;
  port->link.WDEnumerations = 1;
  port->link.WDTimeouts = 1;
  // The report's head temperature request, made after it, reads the changed
  // counter and logs it beside the report's own lines.
  DRWlogger(port, 0, DRW_POLL);
  runLogPrinterRequests(port);
  EXPECT_TRUE(hasLine(port, "0021", "Ready Heart Beat"));
  EXPECT_EQ(1u, logCount(port, "ENUMERATION CHANGE SINCE LAST HB, NEW VALUE = 2"));
  EXPECT_TRUE(hasLine(port, "0020", "Print head temp 045 Heart Beat"));
  EXPECT_EQ(3u, logLines(port).size());
}

}  // namespace


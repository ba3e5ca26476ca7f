// The update thread against a virtual printer: the progress lines in order, what
// the printer receives, the repeat, failed writes and serial flow control.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "flash/flash_codes.h"
#include "flash/flash_update.h"
#include "flash_test_support.h"
#include "pipe/pipe_commands.h"
#include "port/monitor_state.h"
#include "sim/lower_monitor.h"
#include "sim/serial_requests.h"

namespace {

typedef std::vector<std::string> Lines;

const char kStarted[] = "0,START_FLASH_DELAY,0,P,FLASH UPDATE STARTED";

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Lines startWait() {
  Lines lines;
  for (int n = 1; n <= 3; ++n) lines.push_back("0,START_FLASH_DELAY," + std::to_string(n) + ",P, ");
  return lines;
}

Lines transfer(size_t size) {
  Lines lines;
  for (size_t sent = 0; sent < size;) {
    sent = std::min(sent + 2048, size);
    lines.push_back("1," + std::to_string(size / 1000) + "," + std::to_string(sent / 1000) + ",P, ");
  }
  return lines;
}

Lines endWait() {
  Lines lines;
  for (int n = 1; n <= 15; ++n) lines.push_back("2,END_FLASH_DELAY," + std::to_string(n) + ",P, ");
  return lines;
}

size_t countRequests(INIPORT* port, BYTE code) {
  size_t n = 0;
  for (const std::vector<BYTE>& request : sim::printer(port->pszPortName).vendorRequests()) {
    if (request.size() == 8 && request[0] == code) ++n;
  }
  return n;
}

// The writes of the firmware: on a serial link the status thread's requests, which
// may come once the update has given the heartbeat back, are left out.
std::vector<sim::Call> writes(INIPORT* port) {
  std::vector<sim::Call> chunks;
  for (const sim::Call& call : sim::printer(port->pszPortName).calls(sim::Entry::WritePort)) {
    bool request = !call.in.empty();
    for (const sim::SerialItem& item : sim::splitSerialWrite(call.in.data(), call.in.size())) {
      if (item.kind == sim::SerialItem::Kind::JobData) request = false;
    }
    if (!request) chunks.push_back(call);
  }
  return chunks;
}

class FlashThread : public FlashTest {
 protected:
  void expectEndedCleanly(INIPORT* port) {
    EXPECT_FALSE(HeartbeatOn);  // as the ports open here: the update leaves the switch alone
    EXPECT_FALSE(port->flash.FlashInProgress);
    EXPECT_TRUE(portFree(port));
    EXPECT_EQ(nullptr, port->flash.hFlashFile);
    EXPECT_FALSE(printer(port).inDocument());
  }
};

TEST_F(FlashThread, FullUpdateOverUsbShowsEveryStageInOrder) {
  INIPORT* port = open("USB_FT_FULL");
  sim::FlashScript script;
  script.newVersion = "V2.00";
  printer(port).scriptFlash(script);
  const std::string file = makeFile("FLASHT_TK6A_FULL.FUL", 123456);

  holdAt(port, "0,START_FLASH_DELAY,1,");
  // Asked for by a client on the port's pipe.
  const ctl::Response started = requestFlash(port, file, TRUE);
  ASSERT_EQ('P', started.type);
  EXPECT_EQ("qxProgramFlash - Flash update started", ctl::responseText(started));
  // The file stays open, unshared, for the whole update.
  ASSERT_TRUE(waitHeld());
  HANDLE other = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, other);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  release();
  waitForFlashThread(port);

  const Lines expected = Lines{kStarted} + startWait() + transfer(123456) + endWait() + Lines{"3,0,0,P,V2.00"};
  EXPECT_EQ(expected, progress(port));
  EXPECT_EQ("3,0,0,P,V2.00", ctl::responseText(request(port, 10)));
  EXPECT_EQ(61u, transfer(123456).size());
  EXPECT_EQ(fileBytes(123456), printer(port).firmwareBytes());
  EXPECT_EQ(61u, writes(port).size());
  EXPECT_EQ(1u, countRequests(port, 0x25));
  EXPECT_EQ(1u, countRequests(port, 0x26));
  EXPECT_EQ(1u, printer(port).restarts());
  expectEndedCleanly(port);
  EXPECT_TRUE(DeleteFileA(file.c_str()));
}

TEST_F(FlashThread, WithoutChecksTheTransferStartsAtOnce) {
  INIPORT* port = open("USB_FT_NOCHECK", "NOT-LISTED");
  printer(port).setFlashMode(true);
  programAndWait(port, makeFile("flasht_any_name.dat", 5000), FALSE);
  EXPECT_EQ(Lines{kStarted} + transfer(5000) + endWait() + Lines{"3,0,0,P,V1.23"}, progress(port));
  EXPECT_EQ(0u, countRequests(port, 0x25));
  EXPECT_EQ(fileBytes(5000), printer(port).firmwareBytes());
  expectEndedCleanly(port);
}

// A read that failed during the transfer does not keep the printer in flash mode.
TEST_F(FlashThread, TheEndOfTransferGoesOutAfterAFailedRead) {
  INIPORT* port = open("USB_FT_BADREAD", "NOT-LISTED");
  printer(port).setFlashMode(true);
  holdAt(port, "1,5,5,");
  const ctl::Response started = requestFlash(port, makeFile("flasht_bad_read.dat", 5000), FALSE);
  ASSERT_EQ('P', started.type);
  ASSERT_TRUE(waitHeld());
  port->link.goodCommWithPrinter = FALSE;
  release();
  waitForFlashThread(port);
  EXPECT_LE(1u, countRequests(port, 0x26));
  EXPECT_FALSE(printer(port).inFlashMode());
}

TEST_F(FlashThread, SmallAndEmptyFiles) {
  INIPORT* small = open("USB_FT_SMALL");
  printer(small).setFlashMode(true);
  programAndWait(small, makeFile("FLASHT_SMALL.BIN", 999), FALSE);
  EXPECT_EQ(Lines{kStarted} + Lines{"1,0,0,P, "} + endWait() + Lines{"3,0,0,P,V1.23"}, progress(small));

  INIPORT* empty = open("USB_FT_EMPTY");
  printer(empty).setFlashMode(true);
  programAndWait(empty, makeFile("FLASHT_EMPTY.BIN", 0), FALSE);
  EXPECT_EQ(Lines{kStarted} + endWait() + Lines{"3,0,0,P,V1.23"}, progress(empty));
  EXPECT_TRUE(writes(empty).empty());
  EXPECT_EQ(1u, countRequests(empty, 0x26));
  expectEndedCleanly(empty);
}

TEST_F(FlashThread, PrinterWithoutVersionGetsTheFileOnceMore) {
  for (unsigned versionless : {1u, 2u}) {
    SCOPED_TRACE(versionless);
    INIPORT* port = open("USB_FT_RETRY_" + std::to_string(versionless));
    sim::FlashScript script;
    script.restartsWithoutVersion = versionless;
    printer(port).scriptFlash(script);
    programAndWait(port, makeFile("FLASHT_TK6A_RETRY" + std::to_string(versionless) + ".FUL", 5000), TRUE);

    const Lines once = transfer(5000) + endWait();
    const std::string last = versionless == 1 ? "3,0,0,P,V1.23" : "3,0,0,F,STATUS = 0 ";
    EXPECT_EQ(Lines{kStarted} + startWait() + once + once + Lines{last}, progress(port));
    // Sent twice from its start: the second time the printer, restarted, takes it as data.
    size_t bytes = 0;
    for (const sim::Call& call : writes(port)) bytes += call.count;
    EXPECT_EQ(2u * 5000u, bytes);
    EXPECT_EQ(fileBytes(5000), printer(port).firmwareBytes());
    EXPECT_EQ(2u, countRequests(port, 0x26));
    expectEndedCleanly(port);
  }
}

TEST_F(FlashThread, ShortWriteFailsWithoutRepeat) {
  INIPORT* port = open("USB_FT_SHORT");
  printer(port).addFault(sim::Fault::shortWrite(3, 100));
  programAndWait(port, makeFile("FLASHT_TK6A_SHORT.FUL", 10000), TRUE);
  const Lines expected = Lines{kStarted} + startWait() +
                         Lines{"1,10,2,P, ", "1,10,4,P, ", "1,10,4,P, ", "3,0,0,F,WRITE TO PRINTER FAILED",
                               "3,0,0,F,STATUS = 0 "};
  EXPECT_EQ(expected, progress(port));
  EXPECT_EQ(3u, writes(port).size());
  EXPECT_EQ(1u, countRequests(port, 0x26));
  expectEndedCleanly(port);
}

TEST_F(FlashThread, SerialXoffHoldsTheNextChunkUntilXon) {
  INIPORT* port = open("COM_FT_XOFF");
  printer(port).setFlashMode(true);
  sim::XoffScript xoff;
  xoff.afterWrites = 2;
  xoff.extraBytes = {'A', 0x13, 0x00, 'B'};
  xoff.xonAfterMs = 20000;
  printer(port).scriptXoff(xoff);
  programAndWait(port, makeFile("FLASHT_XOFF.BIN", 4 * 2048 + 10), FALSE);

  EXPECT_EQ(Lines{kStarted} + transfer(4 * 2048 + 10) + endWait() + Lines{"3,0,0,P,V1.23"}, progress(port));
  EXPECT_EQ(fileBytes(4 * 2048 + 10), printer(port).firmwareBytes());
  const std::vector<sim::Call> chunks = writes(port);
  ASSERT_EQ(5u, chunks.size());
  EXPECT_GE(chunks[2].time - chunks[1].time, 20000u);
  EXPECT_LT(chunks[1].time - chunks[0].time, 20000u);

  const std::vector<sim::Call> timeOuts = printer(port).calls(sim::Entry::SetPortTimeOuts);
  ASSERT_FALSE(timeOuts.empty());
  EXPECT_EQ(0u, timeOuts.back().timeouts.ReadIntervalTimeout);
  EXPECT_EQ(1u, timeOuts.back().timeouts.ReadTotalTimeoutMultiplier);
  EXPECT_EQ(20u, timeOuts.back().timeouts.ReadTotalTimeoutConstant);
  expectEndedCleanly(port);
}

TEST_F(FlashThread, MissingXonEndsTheTransferAsAFailedWrite) {
  INIPORT* port = open("COM_FT_NO_XON");
  printer(port).setFlashMode(true);
  sim::XoffScript xoff;
  xoff.afterWrites = 1;
  xoff.xonAfterMs = 0x7FFFFFFF;
  printer(port).scriptXoff(xoff);
  programAndWait(port, makeFile("FLASHT_NO_XON.BIN", 3 * 2048), FALSE);

  const Lines expected =
      Lines{kStarted, "1,6,2,P, ", "3,0,0,F,WRITE TO PRINTER FAILED", "3,0,0,F,STATUS = 0 "};
  EXPECT_EQ(expected, progress(port));
  const std::vector<sim::Call> chunks = writes(port);
  ASSERT_EQ(1u, chunks.size());
  // The end of the transfer is still announced, after the whole XON wait.
  const std::vector<sim::Call> requests = printer(port).calls(sim::Entry::GetPrinterDataFromPort);
  ASSERT_FALSE(requests.empty());
  bool announced = false;
  for (const sim::Call& call : requests) {
    if (call.in.size() == 8 && call.in[0] == 0x26) {
      announced = true;
      EXPECT_GE(call.time - chunks[0].time, 30000u);
    }
  }
  EXPECT_TRUE(announced);
  expectEndedCleanly(port);
}

TEST_F(FlashThread, PortStaysTakenUntilTheUpdateEnds) {
  INIPORT* port = open("USB_FT_PORT");
  holdAt(port, "0,START_FLASH_DELAY,1,");
  ASSERT_EQ(0u, program(port, makeFile("FLASHT_TK6A_PORT.FUL", 3000), TRUE));
  ASSERT_TRUE(waitHeld());
  EXPECT_FALSE(portFree(port));
  release();
  // A document waits for the port as the start of a document does.
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->PortFree, INFINITE));
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_EQ(fileBytes(3000), printer(port).firmwareBytes());
  SetEvent(port->PortFree);
  waitForFlashThread(port);
  expectEndedCleanly(port);
}

TEST_F(FlashThread, AnAbortEndsATransferAndHugeFilesAreRefused) {
  INIPORT* port = open("USB_FT_CANCEL");
  printer(port).setFlashMode(true);
  holdAt(port, "1,20,4,");
  ASSERT_EQ(0u, program(port, makeFile("FLASHT_CANCEL.BIN", 20000), FALSE));
  ASSERT_TRUE(waitHeld());
  EXPECT_EQ("Abort Document", ctl::responseText(request(port, ABORT_DOCUMENT)));
  release();
  waitForFlashThread(port);
  EXPECT_EQ("3,0,0,F,UPDATE CANCELLED", currentProgress(port));
  EXPECT_EQ(fileBytes(4096), printer(port).firmwareBytes());
  EXPECT_EQ(1u, countRequests(port, 0x26));  // the printer is sent out of flash mode
  expectEndedCleanly(port);

  INIPORT* huge = open("USB_FT_HUGE");
  EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, program(huge, makeFile("FLASHT_HUGE.BIN", FLASH_FILE_SIZE_LIMIT + 1), FALSE));
  EXPECT_TRUE(printer(huge).firmwareBytes().empty());
}

}  // namespace

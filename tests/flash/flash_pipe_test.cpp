// Updates asked for by a client on the port's pipe, beside the spooler's documents
// and the port close: the port belongs to one of them at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "flash/flash_update.h"
#include "flash_test_support.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "sim/lower_monitor.h"

namespace {

const char kStartWait[] = "0,START_FLASH_DELAY,1,P, ";

std::basic_string<WCHAR> wide(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

class FlashOverPipe : public FlashTest {
 protected:
  // The start of a document as the spooler makes it.
  BOOL startDoc(INIPORT* port, DWORD jobId) {
    std::basic_string<WCHAR> printerName = wide("Flash Test Printer");
    std::basic_string<WCHAR> docName = wide("job");
    DOC_INFO_1W info = {&docName[0], nullptr, nullptr};
    return monitor().pfnStartDocPort(port, &printerName[0], jobId, 1, reinterpret_cast<LPBYTE>(&info));
  }

  static bool requestSeen(INIPORT* port, BYTE code) {
    for (const std::vector<BYTE>& request : printer(port).vendorRequests()) {
      if (request.size() == 8 && request[0] == code) return true;
    }
    return false;
  }
};

TEST_F(FlashOverPipe, WhileAnUpdateRunsOnlyProgressAbortAndSettingsAreServed) {
  INIPORT* port = open("USB401GATE");
  const std::string file = makeFile("FLASHT_TK6A_GATE.FUL", 5000);
  holdAt(port, kStartWait);

  const ctl::Response started = requestFlash(port, file, TRUE);
  EXPECT_EQ('P', started.type);
  EXPECT_EQ("qxProgramFlash - Flash update started", ctl::responseText(started));
  // Claimed before the answer: a second request right after it cannot start a second transfer.
  const ctl::Response second = requestFlash(port, file, TRUE);
  EXPECT_EQ('F', second.type);
  EXPECT_EQ("FLASH UPLOAD IN PROGRESS", ctl::responseText(second));

  ASSERT_TRUE(waitHeld());
  for (BYTE code = 0; code <= 8; ++code) {
    std::vector<BYTE> payload;
    if (code == 1) payload = {0x00, 0x10, 0x1B, 0x49, 0x41, 0x00};
    if (code == 5 || code == 7) payload = {1};
    if (code == 6) payload = {0x10, 0x27, 0x00, 0x00};
    const ctl::Response r = request(port, code, payload);
    EXPECT_EQ('F', r.type) << static_cast<int>(code);
    EXPECT_EQ("FLASH UPLOAD IN PROGRESS", ctl::responseText(r)) << static_cast<int>(code);
  }
  EXPECT_FALSE(HeartbeatOn);  // the refused switch changed nothing

  const ctl::Response progressNow = request(port, 10);
  EXPECT_EQ('P', progressNow.type);
  EXPECT_EQ(kStartWait, ctl::responseText(progressNow));
  EXPECT_EQ("Abort Document", ctl::responseText(request(port, 11)));
  const std::vector<BYTE> setting = {0x88, 0x13, 0x00, 0x00, 'H', 'e', 'a', 'r', 't', 'B', 'e', 'a', 't', 'R', 'a', 't', 'e', 0};
  EXPECT_EQ("SET REGISTRY KEY PASS", ctl::responseText(request(port, 12, setting)));

  // The abort ended the update before its transfer.
  release();
  waitForFlashThread(port);
  EXPECT_EQ("3,0,0,F,UPDATE CANCELLED", ctl::responseText(request(port, 10)));
  EXPECT_TRUE(printer(port).firmwareBytes().empty());
  // Served again once the update has ended.
  EXPECT_EQ('P', request(port, 3).type);
}

TEST_F(FlashOverPipe, PortPrintingADocumentIsNotReady) {
  INIPORT* port = open("USB401BUSY");
  const std::string file = makeFile("FLASHT_TK6A_BUSYDOC.FUL", 3000);
  ASSERT_TRUE(startDoc(port, 4011));

  const ctl::Response refused = requestFlash(port, file, TRUE);
  EXPECT_EQ('F', refused.type);
  EXPECT_EQ("PRINTER NOT READY", ctl::responseText(refused));
  EXPECT_EQ("3,0,0,F,PRINTER NOT READY", currentProgress(port));
  EXPECT_FALSE(HeartbeatOn);
  EXPECT_FALSE(port->flash.FlashInProgress);
  EXPECT_FALSE(printer(port).inFlashMode());
  EXPECT_FALSE(requestSeen(port, 0x25));

  const BYTE job[] = "TICKET\x1b" "e";
  DWORD written = 0;
  EXPECT_TRUE(monitor().pfnWritePort(port, const_cast<LPBYTE>(job), sizeof job - 1, &written));
  EXPECT_TRUE(monitor().pfnEndDocPort(port));
  EXPECT_TRUE(printer(port).firmwareBytes().empty());

  // Once the document has given the port back, the update is taken.
  EXPECT_EQ('P', requestFlash(port, file, TRUE).type);
  waitForFlashThread(port);
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_EQ(fileBytes(3000), printer(port).firmwareBytes());
}

TEST_F(FlashOverPipe, DocumentStartedDuringAnUpdateWaitsForItsEnd) {
  INIPORT* port = open("USB401DOC");
  const std::string file = makeFile("FLASHT_TK6A_DOC.FUL", 20000);
  holdAt(port, "1,20,4,P, ");
  ASSERT_EQ('P', requestFlash(port, file, TRUE).type);
  ASSERT_TRUE(waitHeld());

  std::atomic<bool> started{false};
  std::string progressAtStart;
  std::thread spooler([&] {
    // Each start waits a bounded time for the update and is refused as busy after it;
    // the spooler tries again after a pause.
    while (!startDoc(port, 4012)) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), GetLastError());
      Sleep(20);
    }
    progressAtStart = currentProgress(port);
    started = true;
  });
  // The document waits before anything of it reaches the printer.
  Sleep(200);
  EXPECT_FALSE(started);
  release();
  spooler.join();
  EXPECT_EQ("3,0,0,P,V1.23", progressAtStart);

  const BYTE job[] = "JOB-BYTES\x1b" "e";
  DWORD written = 0;
  EXPECT_TRUE(monitor().pfnWritePort(port, const_cast<LPBYTE>(job), sizeof job - 1, &written));
  EXPECT_TRUE(monitor().pfnEndDocPort(port));

  // The firmware went whole and alone; the job's data came after the end of the
  // transfer, after the zeros that bring the printer's parser out of any block.
  EXPECT_EQ(fileBytes(20000), printer(port).firmwareBytes());
  const std::vector<BYTE> document = printer(port).documentBytes();
  const auto data = std::find_if(document.begin(), document.end(), [](BYTE b) { return b != 0; });
  ASSERT_GE(static_cast<size_t>(document.end() - data), sizeof job - 1);
  EXPECT_TRUE(std::equal(job, job + sizeof job - 1, data));
  // Not even the document's start request or the lower start came inside the transfer.
  bool transferEnded = false;
  for (const sim::Call& call : printer(port).calls()) {
    if (call.entry == sim::Entry::GetPrinterDataFromPort && call.in.size() == 8 && call.in[0] == 0x26) {
      transferEnded = true;
    }
    const bool documentStart = call.entry == sim::Entry::GetPrinterDataFromPort && call.in.size() == 8 &&
                               call.in[0] == 0x23;
    const bool lowerStart = call.entry == sim::Entry::StartDocPort && call.jobId == 4012;
    const bool jobData = call.entry == sim::Entry::WritePort && call.in.size() == sizeof job - 1 &&
                         std::equal(call.in.begin(), call.in.end(), job);
    if (documentStart || lowerStart || jobData) {
      EXPECT_TRUE(transferEnded);
    }
  }
}

// A file the printer takes as print data (it never went into flash mode), cut by a
// failed write, leaves the printer busy with its pages and no end-of-update wait
// after it: the next job's first data waits for the printer, or the printer loses it
// and the job is reported printed without it.
TEST_F(FlashOverPipe, AJobAfterAFailedUpdateWaitsForThePrinterBusyWithIt) {
  INIPORT* port = open("USB401BUSY");
  printer(port).setBusyAfterPage(3000);
  printer(port).addFault(sim::Fault::shortWrite(2, 10));
  std::string pages;
  for (int i = 0; i < 4; ++i) pages += std::string("TICKET\x1b" "e", 8);
  pages.resize(3000, ' ');
  const std::string file = "FLASHT_PAGES.DAT";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, pages.data(), static_cast<DWORD>(pages.size()), &written, nullptr));
  CloseHandle(h);
  programAndWait(port, file, FALSE);
  DeleteFileA(file.c_str());
  ASSERT_EQ("3,0,0,F,STATUS = 0 ", currentProgress(port));
  const size_t lostInUpdate = printer(port).lostBytes();

  ASSERT_TRUE(startDoc(port, 4013));
  const BYTE job[] = "JOB-BYTES\x1b" "e";
  EXPECT_TRUE(monitor().pfnWritePort(port, const_cast<LPBYTE>(job), sizeof job - 1, &written));
  EXPECT_TRUE(monitor().pfnEndDocPort(port));
  EXPECT_EQ(lostInUpdate, printer(port).lostBytes());
  // Zeros that bring the printer's parser out of any block the file left open come
  // first, then the job.
  const std::vector<BYTE> document = printer(port).documentBytes();
  const auto data = std::find_if(document.begin(), document.end(), [](BYTE b) { return b != 0; });
  ASSERT_GE(static_cast<size_t>(document.end() - data), sizeof job - 1);
  EXPECT_TRUE(std::equal(job, job + sizeof job - 1, data));
}

TEST_F(FlashOverPipe, NothingButTheUpdateTalksToItsPortWhateverOtherPortsDo) {
  INIPORT* port = open("USB401ALONE");
  holdAt(port, "1,8,2,P, ");
  ASSERT_EQ('P', requestFlash(port, makeFile("FLASHT_TK6A_ALONE.FUL", 8000), TRUE).type);
  ASSERT_TRUE(waitHeld());
  // Mid-transfer another port opens and a client turns the heartbeat on there.
  INIPORT* other = open("USB401OTHER");
  EXPECT_EQ("Set Heartbeat", ctl::responseText(request(other, 5, {1})));
  ASSERT_TRUE(HeartbeatOn);
  // The updating port's status thread makes passes of its own meanwhile.
  for (int pass = 0; pass < 2; ++pass) {
    ResetEvent(port->status.DoneReading);
    SetEvent(port->status.WakeUp);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->status.DoneReading, 60000));
  }
  // A ReadPort of another thread waits for the end of the transfer.
  std::thread reader([port] {
    BYTE buffer[64];
    DWORD count = 0;
    PJLMonReadPort(port, buffer, sizeof buffer, &count);
  });
  Sleep(20);
  release();
  reader.join();
  waitForFlashThread(port);
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_EQ(fileBytes(8000), printer(port).firmwareBytes());
  // From the first firmware bytes to the end of the transfer the printer heard nothing else.
  bool inTransfer = false;
  for (const sim::Call& call : printer(port).calls()) {
    if (call.entry == sim::Entry::GetPrinterDataFromPort && call.in.size() == 8 && call.in[0] == 0x26) break;
    if (call.entry == sim::Entry::WritePort) {
      inTransfer = true;
    } else {
      EXPECT_FALSE(inTransfer) << "a call of kind " << static_cast<int>(call.entry) << " inside the transfer";
    }
  }
  EXPECT_TRUE(inTransfer);
}

TEST_F(FlashOverPipe, PortCloseEndsTheUpdateAndWaitsForIt) {
  INIPORT* port = open("USB401CLOSE");
  holdAt(port, "1,8,2,P, ");
  ASSERT_EQ('P', requestFlash(port, makeFile("FLASHT_TK6A_CLOSE.FUL", 8000), TRUE).type);
  ASSERT_TRUE(waitHeld());

  std::atomic<bool> closed{false};
  std::thread spooler([&] {
    EXPECT_TRUE(close(port));
    closed = true;
  });
  while (!port->flash.FlashCancel) Sleep(1);
  EXPECT_FALSE(closed);
  release();
  spooler.join();
  // The update ended after the chunk it was sending, before the record went.
  EXPECT_EQ("3,0,0,F,UPDATE CANCELLED", progress(port).back());
  EXPECT_EQ(fileBytes(2048), sim::printer("USB401CLOSE").firmwareBytes());
}

}  // namespace

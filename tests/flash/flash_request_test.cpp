// The firmware update request against a virtual printer: every refusal, in the
// order the checks come, and what each one leaves behind.
#include <gtest/gtest.h>

#include "flash/flash_codes.h"
#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "flash_test_support.h"
#include "link/device_control.h"
#include "port/monitor_state.h"
#include "sim/recording_spooler.h"

namespace {

class FlashRequest : public FlashTest {
 protected:
  // A refusal gives the port back, leaves the heartbeat switch as it was (off, as
  // the ports open here) and claims no update.
  void expectRefusedCleanly(INIPORT* pIniPort) {
    EXPECT_FALSE(HeartbeatOn);
    EXPECT_FALSE(pIniPort->flash.FlashInProgress);
    EXPECT_TRUE(portFree(pIniPort));
    EXPECT_EQ(nullptr, pIniPort->flash.hFlashFile);
  }

  static bool deviceIdAsked(INIPORT* pIniPort) {
    for (const sim::Call& call : printer(pIniPort).calls(sim::Entry::GetPrinterDataFromPort)) {
      if (call.controlId == IOCTL_PAR_QUERY_DEVICE_ID) return true;
    }
    return false;
  }
};

TEST_F(FlashRequest, FileIsOpenedAndCheckedBeforeThePortIsClaimed) {
  INIPORT* port = open("USB_FR_MISSING");
  // A pipe opens at once but is no disk file: its reads could hold the transfer.
  const std::string pipeName = "\\\\.\\pipe\\qxlm-flash-test-not-a-file";
  const std::basic_string<WCHAR> widePipeName(pipeName.begin(), pipeName.end());
  HANDLE server = CreateNamedPipeW(widePipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE,
                                   1, 512, 512, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  const struct {
    std::string name;
    BOOL withChecks;
  } cases[] = {{"FLASHT_NO_SUCH_FILE_TK6A.FUL", TRUE}, {"FLASHT_NO_SUCH_FILE_TK6A.FUL", FALSE}, {pipeName, FALSE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QX_ERR_BIN_FILE_NOT_FOUND, program(port, c.name, c.withChecks));
    EXPECT_EQ("3,0,0,F,BIN FILE NOT FOUND", currentProgress(port));
    EXPECT_EQ("", lastResponse);
    expectRefusedCleanly(port);
  }
  CloseHandle(server);
  EXPECT_TRUE(printer(port).calls().empty());  // nothing reached the printer
}

TEST_F(FlashRequest, ExtensionIsCheckedOnlyWithChecks) {
  INIPORT* port = open("USB_FR_EXTENSION");
  const std::string notes = makeFile("flasht_tk6a_notes.txt", 10);
  const std::string tooLong = makeFile("FLASHT_TK6A_" + std::string(52, 'X') + ".FUL", 10);
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, program(port, notes, TRUE));
  expectRefusedCleanly(port);
  // Cut to 63 characters, the name ends "X.FU".
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, program(port, tooLong, TRUE));
  expectRefusedCleanly(port);
  EXPECT_EQ(FLASH_PROGRESS_NONE, currentProgress(port));
  EXPECT_FALSE(printer(port).inFlashMode());

  printer(port).setFlashMode(true);
  programAndWait(port, notes, FALSE);
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_EQ(fileBytes(10), printer(port).firmwareBytes());
}

TEST_F(FlashRequest, ModelMustBeReadAndListed) {
  INIPORT* unknown = open("USB_FR_MODEL_UNKNOWN", "XYZ-1");
  const std::string file = makeFile("FLASHT_TK6A_MODEL.FUL", 10);
  EXPECT_EQ(QX_ERR_NO_MODEL, program(unknown, file, TRUE));
  EXPECT_EQ(FLASH_PROGRESS_NONE, currentProgress(unknown));
  expectRefusedCleanly(unknown);

  INIPORT* silent = open("USB_FR_MODEL_SILENT");
  printer(silent).addFault(sim::Fault::failDeviceIdQuery(ERROR_GEN_FAILURE));
  EXPECT_EQ(QX_ERR_NO_MODEL, program(silent, file, TRUE));
  EXPECT_EQ("3,0,0,F,PRINTER MODEL NOT FOUND", currentProgress(silent));
  expectRefusedCleanly(silent);
}

TEST_F(FlashRequest, SerialPrinterIsAskedForItsDeviceIdInADocumentOfItsOwn) {
  INIPORT* port = open("COM_FR_SERIAL");
  programAndWait(port, makeFile("FLASHT_TK6A_SERIAL.FUL", 3000), TRUE);
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  const std::vector<sim::Call> calls = printer(port).calls();
  bool asked = false;
  for (size_t i = 1; i + 1 < calls.size() && !asked; ++i) {
    asked = calls[i].entry == sim::Entry::WritePort && std::string(calls[i].in.begin(), calls[i].in.end()) == "<SA08>" &&
            calls[i - 1].entry == sim::Entry::StartDocPort;
  }
  EXPECT_TRUE(asked);
  EXPECT_EQ(fileBytes(3000), printer(port).firmwareBytes());
}

TEST_F(FlashRequest, CodePage932NameIsOpenedAsTheClientGaveIt) {
  ASSERT_EQ(932u, GetACP());
  INIPORT* port = open("USB_FR_DBCS");
  // "\x95\x5C" has a trail byte that reads as "\"; "\x83\x63" one in a-z, which
  // upper-cased would name "\x83\x43", another character and here another file.
  const std::string wanted = makeFile("flasht_tk6a_\x95\x5C\x83\x63.ful", 3000);
  makeFile("flasht_tk6a_\x95\x5C\x83\x43.ful", 100);
  programAndWait(port, wanted, TRUE);
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_EQ(fileBytes(3000), printer(port).firmwareBytes());
}

TEST_F(FlashRequest, CurrentVersionComesFromThePrintersCompleteStatus) {
  // TK-200 takes any file from 1.12 on, only a full image from 1.06 on.
  INIPORT* port = open("USB_FR_VERSION", "TK-200");
  const std::string partial = makeFile("FLASHT_TK2A_0112.BIN", 100);
  const std::string full = makeFile("FLASHT_TK2A_0112.FUL", 100);
  printer(port).setFirmwareVersion("V1.05");
  EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, program(port, full, TRUE));
  expectRefusedCleanly(port);
  printer(port).setFirmwareVersion("V1.08");
  EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, program(port, partial, TRUE));
  expectRefusedCleanly(port);
  EXPECT_EQ(FLASH_PROGRESS_NONE, currentProgress(port));
  programAndWait(port, full, TRUE);
  EXPECT_EQ("3,0,0,P,V1.08", currentProgress(port));
}

TEST_F(FlashRequest, FlashModeNeedsTheReadyAnswer) {
  const struct {
    const char* answer;
    DWORD result;
  } cases[] = {
      {"MODE FLASH READY NOW", QX_ERR_OK},
      {"FLASH LM SERIAL BUSY", QX_ERR_SERIAL_BUSY},
      {"FLASH BUSY", QX_ERR_NO_FLASH_MODE},
      {"flash ready", QX_ERR_NO_FLASH_MODE},
      {"", QX_ERR_NO_FLASH_MODE},  // field 15 cut after its number
  };
  const std::string file = makeFile("FLASHT_TK6A_MODE.FUL", 10);
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    INIPORT* port = open("USB_FR_MODE_" + std::to_string(++n));
    sim::FlashScript script;
    script.readyText = c.answer;
    printer(port).scriptFlash(script);
    ASSERT_EQ(c.result, program(port, file, TRUE));
    if (c.result == QX_ERR_OK) {
      waitForFlashThread(port);
      continue;
    }
    EXPECT_EQ("3,0,0,F,FLASH MODE NOT ENTERED", currentProgress(port));
    EXPECT_FALSE(printer(port).inFlashMode());
    expectRefusedCleanly(port);
  }
}

TEST_F(FlashRequest, FailedRequestsToThePrinterAreStatusReadErrors) {
  const std::string file = makeFile("FLASHT_TK6A_REQUESTS.FUL", 10);
  // The requests in order: complete status, enter flash mode, short status, field 15.
  const struct {
    unsigned failing;
    const char* line;
  } cases[] = {
      {1, "3,0,0,F,STATUS READ FROM REPROGRAM FAILED"},
      {2, "3,0,0,F,FLASH PROGRAM STATUS SELECT ERROR-1"},
      {4, "3,0,0,F,FLASH PROGRAM STATUS SELECT ERROR-3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    INIPORT* port = open("USB_FR_REQUEST_" + std::to_string(c.failing));
    printer(port).addFault(sim::Fault::failVendorRequest(c.failing, ERROR_GEN_FAILURE));
    EXPECT_EQ(QX_ERR_STATUS_READ, program(port, file, TRUE));
    EXPECT_EQ(c.line, currentProgress(port));
    expectRefusedCleanly(port);
    // A printer that took the request to enter flash mode is not left there to
    // take the next job as firmware.
    EXPECT_FALSE(printer(port).inFlashMode());
  }
}

TEST_F(FlashRequest, PortHeldByADocumentIsNotReady) {
  INIPORT* port = open("USB_FR_BUSY");
  const std::string file = makeFile("FLASHT_TK6A_BUSY.FUL", 10);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->PortFree, 0));  // as the start of a document takes it
  HeartbeatOn = FALSE;  // as the settings, a FILE: port or a client may have left it
  EXPECT_EQ(QX_ERR_PRINTER_NOT_READY, program(port, file, TRUE));
  EXPECT_EQ("3,0,0,F,PRINTER NOT READY", currentProgress(port));
  EXPECT_FALSE(HeartbeatOn);
  EXPECT_FALSE(port->flash.FlashInProgress);
  // The request went no further than the port.
  EXPECT_EQ(std::vector<std::string>{"3,0,0,F,PRINTER NOT READY"}, progress(port));
  EXPECT_FALSE(deviceIdAsked(port));
  EXPECT_FALSE(printer(port).inFlashMode());
  EXPECT_FALSE(portFree(port));  // still the document's
  SetEvent(port->PortFree);
}

TEST_F(FlashRequest, SecondRequestIsRefusedWhileTheFirstRuns) {
  INIPORT* port = open("USB_FR_TWICE");
  const std::string file = makeFile("FLASHT_TK6A_TWICE.FUL", 5000);
  holdAt(port, "0,START_FLASH_DELAY,1,");
  ASSERT_EQ(QX_ERR_OK, program(port, file, TRUE));
  EXPECT_EQ("qxProgramFlash - Flash update started", lastResponse);
  EXPECT_TRUE(port->flash.FlashInProgress);
  EXPECT_FALSE(HeartbeatOn);

  EXPECT_EQ(QX_ERR_PRINTER_NOT_READY, program(port, file, TRUE));
  // The running update keeps its port, its progress and the heartbeat off.
  EXPECT_FALSE(HeartbeatOn);
  ASSERT_TRUE(waitHeld());
  EXPECT_FALSE(portFree(port));
  release();

  waitForFlashThread(port);
  for (const std::string& line : progress(port)) EXPECT_EQ(std::string::npos, line.find("NOT READY"));
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_FALSE(HeartbeatOn);
  EXPECT_TRUE(portFree(port));
  EXPECT_FALSE(port->flash.FlashInProgress);
  EXPECT_EQ(fileBytes(5000), printer(port).firmwareBytes());
}

}  // namespace

// Opening and closing ports as the spooler does, over the virtual printers.
#include <gtest/gtest.h>

#include <cstring>

#include "log/event_log.h"
#include "platform/handle_count.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"
#include "ports_test_support.h"
#include "sim/lower_monitor.h"
#include "tests/support/test_files.h"

namespace {

class PortOpen : public PortTest {};
class PortClose : public PortTest {};

TEST_F(PortOpen, TheNameDecidesTheLinkAndFileTurnsTheHeartbeatOff) {
  setting("EnableHeartBeat", 1);
  INIPORT* pUsb = open("USB_PT_LINK");
  ASSERT_NE(pUsb, nullptr);
  EXPECT_EQ(pUsb->settings.PortType, PORT_TYPE_USB);
  EXPECT_TRUE(HeartbeatOn);

  INIPORT* pSerial = open("COM_PT_LINK:");
  ASSERT_NE(pSerial, nullptr);
  EXPECT_EQ(pSerial->settings.PortType, PORT_TYPE_SERIAL);

  INIPORT* pParallel = open("LPT_PT_LINK:");
  ASSERT_NE(pParallel, nullptr);
  EXPECT_EQ(pParallel->settings.PortType, PORT_TYPE_USB);

  // A name with both counts as serial.
  INIPORT* pBoth = open("USB_COM_PT_LINK");
  ASSERT_NE(pBoth, nullptr);
  EXPECT_EQ(pBoth->settings.PortType, PORT_TYPE_SERIAL);

  {
    TraceCapture trace(DIAG_INFO);
    setting("EnableDiags", DIAG_INFO);  // the open reads the settings again
    INIPORT* pFile = open("FILE:");
    ASSERT_NE(pFile, nullptr);
    EXPECT_EQ(pFile->settings.PortType, PORT_TYPE_USB);
    EXPECT_FALSE(HeartbeatOn);
    EXPECT_TRUE(trace.contains("MonOpenPort - port FILE selected, turning off heartbeat"));
    ASSERT_TRUE(close(pFile));
    setting("EnableDiags", 0);
  }

  // The heartbeat is monitor-wide: the port opened last decides it. "file:" is no FILE:.
  INIPORT* pLowerFile = open("file:");
  ASSERT_NE(pLowerFile, nullptr);
  EXPECT_EQ(pLowerFile->settings.PortType, PORT_TYPE_USB);
  EXPECT_TRUE(HeartbeatOn);
}

TEST_F(PortOpen, TheHeartbeatFollowsEnableHeartBeat) {
  setting("EnableHeartBeat", 0);
  ASSERT_NE(open("USB_PT_BEAT0"), nullptr);
  EXPECT_FALSE(HeartbeatOn);

  // Only 1 turns it on; the setting is read again at every open.
  setting("EnableHeartBeat", 2);
  ASSERT_NE(open("USB_PT_BEAT2"), nullptr);
  EXPECT_FALSE(HeartbeatOn);
  setting("EnableHeartBeat", 1);
  ASSERT_NE(open("USB_PT_BEAT1"), nullptr);
  EXPECT_TRUE(HeartbeatOn);
}

TEST_F(PortOpen, SetsUpTheRecord) {
  MONITOR lower = sim::lowerMonitor();
  INIPORT* pIniPort = open("USB_PT_RECORD", lower, "Ticket Printer \xC4");
  ASSERT_NE(pIniPort, nullptr);
  EXPECT_EQ(portListHead, pIniPort);
  EXPECT_STREQ(pIniPort->PortNameA, "USB_PT_RECORD");
  EXPECT_STREQ(pIniPort->PrinterName, "Ticket Printer \xC4");
  EXPECT_EQ(lstrcmpW(pIniPort->PrinterNameW, widen("Ticket Printer \xC4").c_str()), 0);
  EXPECT_EQ(memcmp(&pIniPort->link.fn, &lower, sizeof lower), 0);
  EXPECT_EQ(printer("USB_PT_RECORD").openCount(), 1);
}

TEST_F(PortOpen, ASecondOpenOfTheSameNameInAnyCaseIsBusy) {
  INIPORT* pIniPort = open("USB_PT_BUSY");
  ASSERT_NE(pIniPort, nullptr);
  SetLastError(0);
  EXPECT_EQ(open("usb_pt_busy"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  EXPECT_EQ(portListHead, pIniPort);
  EXPECT_EQ(printer("USB_PT_BUSY").openCount(), 1);
}

TEST_F(PortOpen, ALowerTableWithoutARequiredEntryIsRefused) {
  const sim::Entry required[] = {sim::Entry::OpenPort, sim::Entry::StartDocPort, sim::Entry::WritePort,
                                 sim::Entry::ReadPort, sim::Entry::EndDocPort, sim::Entry::ClosePort};
  INIPORT* const head = portListHead;
  for (sim::Entry entry : required) {
    SetLastError(0);
    EXPECT_EQ(open("USB_PT_TABLE", sim::lowerMonitorWithout(entry)), nullptr) << sim::entryName(entry);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINT_MONITOR)) << sim::entryName(entry);
  }
  EXPECT_EQ(portListHead, head);
  EXPECT_EQ(printer("USB_PT_TABLE").openCount(), 0);

  HANDLE hPort = nullptr;
  WideString port = widen("USB_PT_TABLE");
  SetLastError(0);
  EXPECT_FALSE(MonOpenPort(&port[0], &port[0], &hPort, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINT_MONITOR));

  // The other entries are optional.
  for (sim::Entry entry : {sim::Entry::GetPrinterDataFromPort, sim::Entry::SetPortTimeOuts}) {
    INIPORT* pIniPort = open("USB_PT_TABLE", sim::lowerMonitorWithout(entry));
    ASSERT_NE(pIniPort, nullptr) << sim::entryName(entry);
    EXPECT_TRUE(close(pIniPort));
  }
}

TEST_F(PortOpen, AMissingPortNameFailsAndLeavesNothing) {
  start();
  INIPORT* const head = portListHead;
  const DWORD handles = platformHandleCount();
  const LONG blocks = AllocSplMemBlocks();
  MONITOR lower = sim::lowerMonitor();
  WideString printerName = widen("Ports Test Printer");
  HANDLE hPort = nullptr;
  SetLastError(0);
  EXPECT_FALSE(MonOpenPort(nullptr, &printerName[0], &hPort, &lower));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(hPort, nullptr);
  EXPECT_EQ(portListHead, head);
  EXPECT_EQ(platformHandleCount(), handles);
  EXPECT_EQ(AllocSplMemBlocks(), blocks);
}

TEST_F(PortOpen, WatchdogAndWriteTimeoutSwitches) {
  setting("USBWDGlobalEnable", 0);
  setting("USBAbortOnWriteTimeout", 1);
  INIPORT* pUsb = open("USB_PT_SWITCH");
  ASSERT_NE(pUsb, nullptr);
  EXPECT_FALSE(pUsb->settings.WDEnable);
  EXPECT_TRUE(pUsb->settings.AbortOnWriteTimeout);
  INIPORT* pSerial = open("COM_PT_SWITCH:");
  ASSERT_NE(pSerial, nullptr);
  EXPECT_FALSE(pSerial->settings.AbortOnWriteTimeout);

  setting("USBWDGlobalEnable", 1);
  setting("USBAbortOnWriteTimeout", 0);
  INIPORT* pUsb2 = open("USB_PT_SWITCH2");
  ASSERT_NE(pUsb2, nullptr);
  EXPECT_TRUE(pUsb2->settings.WDEnable);
  EXPECT_FALSE(pUsb2->settings.AbortOnWriteTimeout);
}

TEST_F(PortOpen, UsbTimeOutsComeFromTheFiveSettings) {
  setting("USBReadIntervalTimeout", 11);
  setting("USBReadTotalTimeoutMultiplier", 12);
  setting("USBReadTotalTimeoutConstant", 13);
  setting("USBWriteTotalTimeoutMultiplier", 14);
  setting("USBWriteTotalTimeoutConstant", 15);
  ASSERT_NE(open("USB_PT_TIMEOUTS"), nullptr);
  const std::vector<sim::Call> calls = printer("USB_PT_TIMEOUTS").calls(sim::Entry::SetPortTimeOuts);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].timeouts.ReadIntervalTimeout, 11u);
  EXPECT_EQ(calls[0].timeouts.ReadTotalTimeoutMultiplier, 12u);
  EXPECT_EQ(calls[0].timeouts.ReadTotalTimeoutConstant, 13u);
  EXPECT_EQ(calls[0].timeouts.WriteTotalTimeoutMultiplier, 14u);
  EXPECT_EQ(calls[0].timeouts.WriteTotalTimeoutConstant, 15u);

  // Serial ports keep their own; a table without the entry sets none.
  ASSERT_NE(open("COM_PT_TIMEOUTS:"), nullptr);
  EXPECT_TRUE(printer("COM_PT_TIMEOUTS:").calls(sim::Entry::SetPortTimeOuts).empty());
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  setting("EnableDiags", DIAG_INFO | DIAG_ERRORS);
  ASSERT_NE(open("USB_PT_NOTIMEOUTS2"), nullptr);
  EXPECT_EQ(trace.count("MonOpenPort - USB Port timeouts PASSED PASSED PASSED PASSED "), 1u);
  ASSERT_NE(open("USB_PT_NOTIMEOUTS", sim::lowerMonitorWithout(sim::Entry::SetPortTimeOuts)), nullptr);
  EXPECT_EQ(trace.count("USB Port timeouts"), 1u);
  EXPECT_EQ(printer("USB_PT_NOTIMEOUTS").openCount(), 1);
}

TEST_F(PortOpen, AFailedLowerOpenCanBeRetried) {
  start();
  printer("USB_PT_RETRY").addFault(sim::Fault::failOpen(ERROR_ACCESS_DENIED));
  INIPORT* const head = portListHead;
  const DWORD handles = platformHandleCount();
  const LONG blocks = AllocSplMemBlocks();
  SetLastError(0);
  EXPECT_EQ(open("USB_PT_RETRY"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // The record is gone with everything it held.
  EXPECT_EQ(portListHead, head);
  EXPECT_EQ(platformHandleCount(), handles);
  EXPECT_EQ(AllocSplMemBlocks(), blocks);

  INIPORT* pIniPort = open("USB_PT_RETRY");
  ASSERT_NE(pIniPort, nullptr);
  EXPECT_EQ(printer("USB_PT_RETRY").openCount(), 1);
}

TEST_F(PortClose, ClosesTheLowerPortAndRemovesTheRecord) {
  INIPORT* pIniPort = open("USB_PT_CLOSE");
  ASSERT_NE(pIniPort, nullptr);
  pIniPort->flags |= PP_IN_DOC;
  EXPECT_TRUE(close(pIniPort));
  EXPECT_EQ(printer("USB_PT_CLOSE").openCount(), 0);
  EXPECT_EQ(printer("USB_PT_CLOSE").calls(sim::Entry::ClosePort).size(), 1u);
  for (INIPORT* p = portListHead; p != nullptr; p = p->pNext) EXPECT_NE(p, pIniPort);
  // The name can be opened again.
  EXPECT_NE(open("USB_PT_CLOSE"), nullptr);
}

TEST_F(PortClose, DisarmsTheWatchdogOnlyWhereItCanBeArmed) {
  setting("EnableHeartBeat", 0);  // the vendor requests the printer sees are the close's
  INIPORT* pIniPort = open("USB_PT_CLOSEWD");
  ASSERT_NE(pIniPort, nullptr);
  pIniPort->link.goodCommWithPrinter = TRUE;
  ASSERT_TRUE(close(pIniPort));
  EXPECT_TRUE(printer("USB_PT_CLOSEWD").vendorRequests().empty());

  pIniPort = open("USB_PT_CLOSEWD");
  ASSERT_NE(pIniPort, nullptr);
  pIniPort->link.goodCommWithPrinter = TRUE;
  pIniPort->link.WDCapable = TRUE;
  pIniPort->settings.WDEnable = TRUE;
  ASSERT_TRUE(close(pIniPort));
  const std::vector<std::vector<BYTE>> requests = printer("USB_PT_CLOSEWD").vendorRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], (std::vector<BYTE>{0x55, 0x00, 0x00}));
  // Disarmed before the lower port closed.
  const std::vector<sim::Call> calls = printer("USB_PT_CLOSEWD").calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2].entry, sim::Entry::GetPrinterDataFromPort);
  EXPECT_EQ(calls.back().entry, sim::Entry::ClosePort);
}

TEST_F(PortClose, ARecordWithABadSignatureIsRefusedAndKept) {
  INIPORT* pIniPort = open("USB_PT_BADSIG");
  ASSERT_NE(pIniPort, nullptr);
  pIniPort->signature = 0x4A4F;
  SetLastError(0);
  EXPECT_FALSE(MonClosePort(pIniPort));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(portListHead, pIniPort);
  EXPECT_EQ(printer("USB_PT_BADSIG").openCount(), 1);
  EXPECT_EQ(WaitForSingleObject(pIniPort->PortFree, 0), WAIT_OBJECT_0);
  SetEvent(pIniPort->PortFree);

  SetLastError(0);
  EXPECT_FALSE(MonClosePort(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  pIniPort->signature = PJ_SIGNATURE;
  EXPECT_TRUE(close(pIniPort));
}

TEST_F(PortOpen, OpenAndCloseAreLoggedAsPortEvents) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_PORTS);
  INIPORT* pIniPort = open("USB_PT_LOG", sim::lowerMonitor(), "Ports Log Printer");
  ASSERT_NE(pIniPort, nullptr);
  char path[LOG_PATH_SIZE];
  ASSERT_TRUE(BuildLogFilePath(pIniPort, path, sizeof path));
  deleteLogFile(path);
  ASSERT_TRUE(close(pIniPort));
  pIniPort = open("USB_PT_LOG", sim::lowerMonitor(), "Ports Log Printer");
  ASSERT_NE(pIniPort, nullptr);
  ASSERT_TRUE(close(pIniPort));

  const std::string log = readLogFile(path);
  deleteLogFile(path);

  // With the default class mask, port events are not written (printer conditions may be).
  setting("DRWdebugMask", DRW_ERRORS);
  pIniPort = open("USB_PT_LOG", sim::lowerMonitor(), "Ports Log Printer");
  ASSERT_NE(pIniPort, nullptr);
  ASSERT_TRUE(close(pIniPort));
  const std::string unselected = readLogFile(path);
  deleteLogFile(path);
  EXPECT_EQ(unselected.find("\"0009\","), std::string::npos) << unselected;
  EXPECT_EQ(unselected.find("\"0011\","), std::string::npos) << unselected;

  const size_t closed = log.find("\"0009\",");
  const size_t opened = log.find("\"0011\",");
  ASSERT_NE(closed, std::string::npos) << log;
  ASSERT_NE(opened, std::string::npos) << log;
  EXPECT_LT(closed, opened);
  EXPECT_NE(log.find("\"MonOpenPort - Close Port USB_PT_LOG\"\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\"MonOpenPort - USB_PT_LOG\"\r\n"), std::string::npos) << log;
}

}  // namespace

// Vendor requests, the printer's watchdog and the spooler's GetPrinterDataFromPort.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/device_control.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "ports_test_support.h"
#include "sim/lower_monitor.h"

namespace {

typedef std::vector<std::vector<BYTE>> Requests;

const std::vector<BYTE> kDisarm = {0x55, 0x00, 0x00};

class DeviceControl : public PortTest {
 protected:
  // No heartbeat: the vendor requests the printers see are the tests' own.
  void SetUp() override {
    PortTest::SetUp();
    setting("EnableHeartBeat", 0);
  }

  // A port whose printer talks and reports watchdog support, as after a good USB read.
  INIPORT* openTalking(const std::string& portName, MONITOR lower = sim::lowerMonitor()) {
    INIPORT* pIniPort = open(portName, lower);
    if (pIniPort != nullptr) {
      pIniPort->link.goodCommWithPrinter = TRUE;
      pIniPort->link.WDCapable = TRUE;
    }
    return pIniPort;
  }

  static std::vector<BYTE> arm(BYTE seconds) { return {0x55, seconds, 0x01}; }
};

TEST_F(DeviceControl, NothingIsSentWhileTheLinkIsBad) {
  INIPORT* pIniPort = open("USB_DC_GATES");
  ASSERT_NE(pIniPort, nullptr);
  pIniPort->link.WDCapable = TRUE;
  const BYTE request[8] = {0x23, 0x31, 0x32};
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);

  EXPECT_FALSE(sendVendorCommand(pIniPort, request, sizeof request));
  sendEnableWatchDog(pIniPort, FALSE);
  EXPECT_TRUE(trace.contains("sendVendorCommand - Aborting vendor command because of USB error"));

  pIniPort->link.goodCommWithPrinter = TRUE;
  pIniPort->link.UsbCrcError = TRUE;
  EXPECT_FALSE(sendVendorCommand(pIniPort, request, sizeof request));
  EXPECT_TRUE(trace.contains("sendVendorCommand - Abort Vendor send command CRC error"));
  EXPECT_TRUE(printer("USB_DC_GATES").vendorRequests().empty());

  pIniPort->link.UsbCrcError = FALSE;
  EXPECT_TRUE(sendVendorCommand(pIniPort, request, sizeof request));
  const std::vector<sim::Call> calls = printer("USB_DC_GATES").calls(sim::Entry::GetPrinterDataFromPort);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].controlId, static_cast<DWORD>(IOCTL_USBPRINT_VENDOR_SET_COMMAND));
  EXPECT_EQ(calls[0].in, std::vector<BYTE>(request, request + sizeof request));
}

TEST_F(DeviceControl, AFailedRequestTracesTheLowerError) {
  INIPORT* pIniPort = openTalking("USB_DC_FAIL");
  ASSERT_NE(pIniPort, nullptr);
  printer("USB_DC_FAIL").addFault(sim::Fault::failVendorRequest(1, ERROR_GEN_FAILURE));
  const BYTE request[8] = {0x24, 0x31, 0x32};
  TraceCapture trace(DIAG_ERRORS);
  SetLastError(0);
  EXPECT_FALSE(sendVendorCommand(pIniPort, request, sizeof request));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_TRUE(trace.contains(
      "sendVendorCommand - *pIniPort->fn.pfnGetPrinterDataFromPort IOCTL - FAIL - Last Error number is 31"));

  // Without the lower entry nothing can be sent.
  INIPORT* pBare = openTalking("USB_DC_BARE", sim::lowerMonitorWithout(sim::Entry::GetPrinterDataFromPort));
  ASSERT_NE(pBare, nullptr);
  EXPECT_FALSE(sendVendorCommand(pBare, request, sizeof request));
}

TEST_F(DeviceControl, TheIdleWatchdogAllowsTwoHeartbeats) {
  setting("USBWDtimeout", 4);
  INIPORT* pIniPort = openTalking("USB_DC_FLOOR");
  ASSERT_NE(pIniPort, nullptr);
  {
    TraceCapture trace(DIAG_INFO);
    sendEnableWatchDog(pIniPort, FALSE);
    EXPECT_TRUE(trace.contains("sendEnableWatchDog - Overriding user WD timeout"));
  }

  setting("USBWDtimeout", 30);
  INIPORT* pOther = openTalking("USB_DC_FLOOR2");
  ASSERT_NE(pOther, nullptr);
  {
    TraceCapture trace(DIAG_INFO);
    sendEnableWatchDog(pOther, FALSE);
    EXPECT_FALSE(trace.contains("Overriding"));
  }
  // A slower heartbeat raises the floor for the next enable.
  wdHeartBeatRate = 20000;
  sendEnableWatchDog(pOther, FALSE);
  // One byte holds the time-out: a very slow heartbeat gets the longest, not a wrapped one.
  wdHeartBeatRate = 200000;
  sendEnableWatchDog(pOther, FALSE);
  wdHeartBeatRate = 5000;

  EXPECT_EQ(printer("USB_DC_FLOOR").vendorRequests(), (Requests{arm(0x0A)}));
  EXPECT_EQ(printer("USB_DC_FLOOR2").vendorRequests(), (Requests{arm(0x1E), arm(0x28), arm(0xFF)}));
}

TEST_F(DeviceControl, DuringADocumentThePrintingTimeOutHasNoFloor) {
  setting("USBprintingTimeout", 3);
  setting("USBWDtimeout", 30);
  INIPORT* pIniPort = openTalking("USB_DC_PRINTING");
  ASSERT_NE(pIniPort, nullptr);
  sendEnableWatchDog(pIniPort, TRUE);
  setting("USBprintingTimeout", 0x10A);
  INIPORT* pOther = openTalking("USB_DC_PRINTING2");
  ASSERT_NE(pOther, nullptr);
  sendEnableWatchDog(pOther, TRUE);
  EXPECT_EQ(printer("USB_DC_PRINTING").vendorRequests(), (Requests{arm(0x03)}));
  EXPECT_EQ(printer("USB_DC_PRINTING2").vendorRequests(), (Requests{arm(0x0A)}));
}

TEST_F(DeviceControl, TheWatchdogIsArmedOnlyOnUsbAndOnlyWhereAllowed) {
  INIPORT* pSerial = openTalking("COM_DC_WD:");
  ASSERT_NE(pSerial, nullptr);
  pSerial->settings.WDEnable = TRUE;
  // Only USB replies report watchdog support, so a parallel port never has it.
  INIPORT* pParallel = open("LPT_DC_WD:");
  ASSERT_NE(pParallel, nullptr);
  pParallel->link.goodCommWithPrinter = TRUE;
  pParallel->settings.WDEnable = TRUE;
  sendEnableWatchDog(pSerial, FALSE);
  sendEnableWatchDog(pSerial, TRUE);
  sendEnableWatchDog(pParallel, FALSE);
  sendEnableWatchDog(pParallel, TRUE);
  EXPECT_TRUE(printer("COM_DC_WD:").vendorRequests().empty());
  EXPECT_TRUE(printer("LPT_DC_WD:").vendorRequests().empty());

  setting("USBWDGlobalEnable", 0);
  INIPORT* pForbidden = openTalking("USB_DC_WDOFF");
  ASSERT_NE(pForbidden, nullptr);
  TraceCapture trace(DIAG_INFO);
  sendEnableWatchDog(pForbidden, FALSE);
  EXPECT_TRUE(trace.contains("sendEnableWatchDog - Can't send ENABLE NOT ENABLED Global Enable"));
  EXPECT_FALSE(sendDisableWatchDog(pForbidden));
  pForbidden->settings.WDEnable = TRUE;
  pForbidden->link.WDCapable = FALSE;
  sendEnableWatchDog(pForbidden, FALSE);
  EXPECT_TRUE(trace.contains("sendEnableWatchDog - Can't send ENABLE NOT ENABLED WD enabled"));
  EXPECT_FALSE(sendDisableWatchDog(pForbidden));
  EXPECT_TRUE(printer("USB_DC_WDOFF").vendorRequests().empty());

  pForbidden->link.WDCapable = TRUE;
  EXPECT_TRUE(sendDisableWatchDog(pForbidden));
  EXPECT_EQ(printer("USB_DC_WDOFF").vendorRequests(), (Requests{kDisarm}));
}

TEST_F(DeviceControl, ControlIdsPassToTheLowerMonitorUnchanged) {
  INIPORT* pIniPort = open("USB_DC_PASS");
  ASSERT_NE(pIniPort, nullptr);
  sim::Printer& device = printer("USB_DC_PASS");

  device.setOtherControlResult(FALSE, 1234);
  WCHAR in[4] = {1, 2, 3, 4};
  WCHAR out[8] = {};
  DWORD returned = 77;
  SetLastError(0);
  EXPECT_FALSE(MonGetPrinterDataFromPort(pIniPort, 0x90001, nullptr, in, sizeof in, out, sizeof out, &returned));
  EXPECT_EQ(GetLastError(), 1234u);
  const std::vector<sim::Call> calls = device.calls(sim::Entry::GetPrinterDataFromPort);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].controlId, 0x90001u);
  EXPECT_EQ(calls[0].in.size(), sizeof in);

  device.setOtherControlResult(TRUE, 0);
  EXPECT_TRUE(MonGetPrinterDataFromPort(pIniPort, 0x90001, nullptr, in, sizeof in, out, sizeof out, &returned));

  // The device id comes back in the caller's buffer with the lower monitor's count.
  char deviceId[256] = {};
  returned = 0;
  ASSERT_TRUE(MonGetPrinterDataFromPort(pIniPort, IOCTL_PAR_QUERY_DEVICE_ID, nullptr, nullptr, 0,
                                        reinterpret_cast<LPWSTR>(deviceId), sizeof deviceId - 1, &returned));
  EXPECT_EQ(std::string(deviceId, returned), device.deviceId());

  INIPORT* pBare = open("USB_DC_PASSBARE", sim::lowerMonitorWithout(sim::Entry::GetPrinterDataFromPort));
  ASSERT_NE(pBare, nullptr);
  SetLastError(0);
  EXPECT_FALSE(MonGetPrinterDataFromPort(pBare, 0x90001, nullptr, in, sizeof in, out, sizeof out, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  SetLastError(0);
  EXPECT_FALSE(MonGetPrinterDataFromPort(nullptr, 0x90001, nullptr, in, sizeof in, out, sizeof out, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DeviceControl, AnUnknownKeyIsRefusedBeforeThePortIsTaken) {
  INIPORT* pIniPort = open("USB_DC_KEYS");
  ASSERT_NE(pIniPort, nullptr);
  ASSERT_EQ(WaitForSingleObject(pIniPort->PortFree, 0), WAIT_OBJECT_0);  // a document holds the port

  std::atomic<bool> done(false);
  BOOL result = TRUE;
  DWORD error = 0;
  DWORD returned = 99;
  std::thread query([&] {
    WCHAR name[] = {'T', 'o', 't', 'a', 'l', ' ', 'M', 'e', 'm', 'o', 'r', 'y', 0};
    DWORD value = 0;
    result = MonGetPrinterDataFromPort(pIniPort, 0, name, nullptr, 0, reinterpret_cast<LPWSTR>(&value), sizeof value,
                                       &returned);
    error = GetLastError();
    done = true;
  });
  for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(done) << "the query waited for the port";
  SetEvent(pIniPort->PortFree);
  query.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(returned, 99u);

  DWORD value = 0;
  SetLastError(0);
  EXPECT_FALSE(MonGetPrinterDataFromPort(pIniPort, 0, nullptr, nullptr, 0, reinterpret_cast<LPWSTR>(&value),
                                         sizeof value, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DeviceControl, TheMemoryKeysAreAcceptedInAnyCase) {
  INIPORT* pIniPort = open("USB_DC_MEMORY");
  ASSERT_NE(pIniPort, nullptr);
  WideString name = widen("aVaiLABLE memORY");
  DWORD value = 0;
  DWORD returned = 0;
  // No printer request reports the memory, so the answer is "none", but after the query.
  SetLastError(0);
  EXPECT_FALSE(MonGetPrinterDataFromPort(pIniPort, 0, &name[0], nullptr, 0, reinterpret_cast<LPWSTR>(&value),
                                         sizeof value, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(WaitForSingleObject(pIniPort->PortFree, 0), WAIT_OBJECT_0) << "the port was not given back";
  SetEvent(pIniPort->PortFree);
}

TEST(MemoryQuery, WakesTheStatusThreadTwice) {
  INIPORT* pIniPort = createRecord(WSTR("MEMORY_QUERY_PORT"));
  ASSERT_NE(pIniPort, nullptr);
  // Stands in for the port's status thread: each wake-up is one read, which here
  // learns the printer's memory.
  pIniPort->status.WakeUp = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  pIniPort->status.DoneReading = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  pIniPort->flags |= PP_RUN_THREAD;
  std::atomic<int> reads(0);
  std::atomic<bool> stop(false);
  std::thread reader([&] {
    while (!stop) {
      if (WaitForSingleObject(pIniPort->status.WakeUp, 20) != WAIT_OBJECT_0) continue;
      ++reads;
      pIniPort->status.InstalledMemory = 0x20000;
      SetEvent(pIniPort->status.DoneReading);
    }
  });

  WideString name = widen("Installed Memory");
  DWORD value = 0;
  DWORD returned = 0;
  EXPECT_TRUE(MonGetPrinterDataFromPort(pIniPort, 0, &name[0], nullptr, 0, reinterpret_cast<LPWSTR>(&value),
                                        sizeof value, &returned));
  EXPECT_EQ(value, 0x20000u);
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(reads, 2);

  // Too small a buffer takes nothing.
  WORD small = 0;
  EXPECT_FALSE(MonGetPrinterDataFromPort(pIniPort, 0, &name[0], nullptr, 0, reinterpret_cast<LPWSTR>(&small),
                                         sizeof small, &returned));
  EXPECT_EQ(small, 0);

  stop = true;
  reader.join();
  pIniPort->flags &= ~PP_RUN_THREAD;
  CloseHandle(pIniPort->status.WakeUp.exchange(nullptr));
  CloseHandle(pIniPort->status.DoneReading.exchange(nullptr));
  removeRecord(pIniPort);
}

TEST(TraceLastError, KeepsTheCallersErrorAndNamesIt) {
  TraceCapture trace(DIAG_ERRORS);
  SetLastError(ERROR_ACCESS_DENIED);
  traceLastError(nullptr, "TraceLastErrorTest - open failed - ");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(trace.contains("TraceLastErrorTest - open failed - Last Error number is 5"));

  // However long the prefix, the number survives.
  const std::string longPrefix(3000, 'p');
  trace.clear();
  traceLastError(nullptr, longPrefix.c_str());
  EXPECT_TRUE(trace.contains("Last Error number is 5"));
}

}  // namespace

// Flash mode and the restart that ends it; the timeline of calls; the table and
// the printers behind port names.
#include <gtest/gtest.h>

#include <thread>

#include "lower_port.h"
#include "platform/clock.h"

namespace {

using simtest::Bytes;
using simtest::LowerPort;
using simtest::text;
using simtest::vendorRequest;

TEST(Flash, FirmwareBytesAreKeptApartAndTheRestartBringsTheNewVersion) {
  LowerPort port("USB-FL1");
  sim::FlashScript script;
  script.newVersion = "V1.30";
  port.printer().scriptFlash(script);
  ASSERT_TRUE(port.vendor(vendorRequest(0x25)));
  EXPECT_TRUE(port.printer().inFlashMode());
  EXPECT_EQ(text(port.ask(4 + 15)), "A15FLASH READY");
  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.write({0x1B, 'e', 0x00, 0xFF}));
  ASSERT_TRUE(port.vendor(vendorRequest(0x26)));
  ASSERT_TRUE(port.endDoc());

  EXPECT_FALSE(port.printer().inFlashMode());
  EXPECT_EQ(port.printer().restarts(), 1u);
  EXPECT_EQ(port.printer().firmwareBytes(), (Bytes{0x1B, 'e', 0x00, 0xFF}));
  EXPECT_TRUE(port.printer().documentBytes().empty());
  EXPECT_EQ(port.printer().pagesPrinted(), 0u);
  const std::string c = text(port.ask(3));
  EXPECT_EQ(c.substr(c.size() - 7), "05V1.30");
}

TEST(Flash, ARestartWithoutVersionDropsField05FromTheFirstCompleteStatusOnly) {
  LowerPort port("USB-FL2");
  sim::FlashScript script;
  script.readyText = "FLASH LM SERIAL BUSY";
  script.newVersion = "V2.00";
  script.restartsWithoutVersion = 1;
  port.printer().scriptFlash(script);
  ASSERT_TRUE(port.vendor(vendorRequest(0x25)));
  EXPECT_EQ(text(port.ask(4 + 15)), "A15FLASH LM SERIAL BUSY");
  ASSERT_TRUE(port.vendor(vendorRequest(0x26)));

  const std::string first = text(port.ask(3));
  EXPECT_EQ(first.find("05V"), std::string::npos);
  EXPECT_NE(text(port.ask(3)).find("05V1.23"), std::string::npos);  // the old version, as before
  ASSERT_TRUE(port.vendor(vendorRequest(0x25)));
  ASSERT_TRUE(port.vendor(vendorRequest(0x26)));
  EXPECT_NE(text(port.ask(3)).find("05V2.00"), std::string::npos);
}

TEST(Timeline, RecordsEveryCallInOrderWithItsBytesResultAndTime) {
  clockSetScale(0.01);
  LowerPort port("USB-TL1");
  ASSERT_TRUE(port.vendor(vendorRequest(0x23)));
  clockSleep(100);
  ASSERT_TRUE(port.vendor(vendorRequest(0x27)));
  ASSERT_TRUE(port.startDoc(9));
  ASSERT_TRUE(port.write({'a', 'b'}));
  const Bytes status = port.read();
  COMMTIMEOUTS timeouts{0, 1, 20, 0, 0};
  ASSERT_TRUE(port.table().pfnSetPortTimeOuts(port.handle(), &timeouts, 0));
  ASSERT_TRUE(port.endDoc());
  clockSetScale(1.0);

  const auto calls = port.printer().calls();
  const std::vector<sim::Entry> expected{sim::Entry::OpenPort,     sim::Entry::GetPrinterDataFromPort,
                                         sim::Entry::GetPrinterDataFromPort, sim::Entry::StartDocPort,
                                         sim::Entry::WritePort,    sim::Entry::ReadPort,
                                         sim::Entry::SetPortTimeOuts, sim::Entry::EndDocPort};
  ASSERT_EQ(calls.size(), expected.size());
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].entry, expected[i]) << i;
    EXPECT_EQ(calls[i].port, "USB-TL1");
    EXPECT_TRUE(calls[i].result);
    if (i > 0) {
      EXPECT_GT(calls[i].seq, calls[i - 1].seq);
      EXPECT_GE(static_cast<int32_t>(calls[i].time - calls[i - 1].time), 0);
    }
  }
  // The pause between the two vendor requests shows in their times.
  EXPECT_GE(calls[2].time - calls[1].time, 99u);
  EXPECT_EQ(calls[1].controlId, 0x220038u);
  EXPECT_EQ(calls[3].jobId, 9u);
  EXPECT_EQ(calls[3].printerName, "Sim Printer");
  EXPECT_EQ(calls[4].in, (Bytes{'a', 'b'}));
  EXPECT_EQ(calls[4].count, 2u);
  EXPECT_EQ(calls[5].out, status);
  EXPECT_EQ(calls[6].timeouts.ReadTotalTimeoutConstant, 20u);
  EXPECT_EQ(port.printer().vendorRequests(), (std::vector<Bytes>{vendorRequest(0x23), vendorRequest(0x27)}));
  EXPECT_EQ(port.printer().calls(sim::Entry::GetPrinterDataFromPort).size(), 2u);

  port.printer().clearRecords();
  EXPECT_TRUE(port.printer().calls().empty());
  EXPECT_TRUE(port.printer().documents().empty());
}

TEST(Timeline, StaysWholeUnderCallsFromSeveralThreads) {
  LowerPort port("USB-TL2");
  ASSERT_TRUE(port.startDoc());
  auto writer = [&] {
    for (int i = 0; i < 200; ++i) port.write({0x1B, 'e'});
  };
  auto reader = [&] {
    for (int i = 0; i < 200; ++i) {
      port.vendor(vendorRequest(3));
      port.read();
      port.printer().status2();
    }
  };
  std::thread a(writer), b(reader);
  const bool sawAll = port.printer().waitUntil(
      [](const std::vector<sim::Call>& calls) { return calls.size() >= 1 + 1 + 600; }, 600000);
  a.join();
  b.join();
  EXPECT_TRUE(sawAll);
  EXPECT_EQ(port.printer().pagesPrinted(), 200u);
  EXPECT_EQ(port.printer().calls(sim::Entry::WritePort).size(), 200u);
}

TEST(LowerMonitor, TablesPrintersAndHandles) {
  const MONITOR full = sim::lowerMonitor();
  EXPECT_NE(full.pfnOpenPort, nullptr);
  EXPECT_NE(full.pfnSetPortTimeOuts, nullptr);
  EXPECT_EQ(full.pfnOpenPortEx, nullptr);
  EXPECT_EQ(full.pfnEnumPorts, nullptr);
  const MONITOR noGet = sim::lowerMonitorWithout(sim::Entry::GetPrinterDataFromPort);
  EXPECT_EQ(noGet.pfnGetPrinterDataFromPort, nullptr);
  EXPECT_NE(noGet.pfnReadPort, nullptr);
  EXPECT_EQ(sim::lowerMonitorWithout(sim::Entry::ReadPort).pfnReadPort, nullptr);

  // One printer per port name, whatever the case; the link follows the name.
  EXPECT_EQ(&sim::printer("usb-lm1"), &sim::printer("USB-LM1"));
  EXPECT_EQ(&sim::printer(simtest::wide("Usb-Lm1").c_str()), &sim::printer("USB-LM1"));
  EXPECT_EQ(sim::printer("COM9:").link(), sim::Link::Serial);
  EXPECT_EQ(sim::printer("LPT1:").link(), sim::Link::VendorRequests);
  EXPECT_EQ(sim::printer("FILE:").link(), sim::Link::VendorRequests);
  EXPECT_TRUE(sim::printer("USB-LM1").isUsb());
  EXPECT_FALSE(sim::printer("LPT1:").isUsb());

  // A closed handle is refused.
  simtest::WideString name = simtest::wide("USB-LM2");
  HANDLE h = nullptr;
  ASSERT_TRUE(full.pfnOpenPort(&name[0], &h));
  EXPECT_EQ(sim::printer("USB-LM2").openCount(), 1);
  ASSERT_TRUE(full.pfnClosePort(h));
  EXPECT_EQ(sim::printer("USB-LM2").openCount(), 0);
  BYTE buffer[8];
  DWORD count = 0;
  EXPECT_FALSE(full.pfnReadPort(h, buffer, sizeof buffer, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(full.pfnClosePort(h));
}

}  // namespace

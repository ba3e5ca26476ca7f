// What the printer answers on a vendor-request link: the stale reply before every
// answer, the reply layouts, the device id and the watchdog bytes.
#include <gtest/gtest.h>

#include "lower_port.h"
#include "platform/clock.h"

namespace {

using simtest::Bytes;
using simtest::bytes;
using simtest::LowerPort;
using simtest::text;
using simtest::vendorRequest;

Bytes shortReply(BYTE b1, BYTE b2) { return Bytes{'S', '0', '0', b1, b2}; }

TEST(Replies, AStatusRequestIsAnsweredByTheSecondReadAfterTheStaleOne) {
  LowerPort port("USB-REP1");
  port.printer().setStatus(sim::status1::OutOfPaper, 0);
  // With nothing queued a read returns the short status as it is now.
  EXPECT_EQ(port.read(), shortReply(sim::status1::OutOfPaper, 0));

  ASSERT_TRUE(port.vendor(vendorRequest(2)));
  // The printer changes after the request: both queued replies tell how it stood then.
  port.printer().setStatus(0, sim::status2::LowPaper);
  EXPECT_EQ(port.read(), shortReply(sim::status1::OutOfPaper, 0));
  const Bytes answer = port.read();
  ASSERT_GE(answer.size(), 5u);
  EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 5), (Bytes{'E', '0', '0', sim::status1::OutOfPaper, 0}));
  // Then the queue is empty again.
  EXPECT_EQ(port.read(), shortReply(0, sim::status2::LowPaper));
}

TEST(Replies, ANewRequestDropsAnAnswerThatWasNeverRead) {
  LowerPort port("USB-REP2");
  ASSERT_TRUE(port.vendor(vendorRequest(3)));
  ASSERT_TRUE(port.vendor(vendorRequest(4 + 2)));
  EXPECT_EQ(port.read(), shortReply(0, 0));
  EXPECT_EQ(text(port.read()), "A0200000000");
}

TEST(Replies, ACompleteStatusCarriesEveryFieldInOrder) {
  LowerPort port("USB-REP3");
  sim::Printer& p = port.printer();
  p.setStatus(0x00, 0x24);
  p.setErrorCode(7);
  p.setTicketCount(1234);
  p.setHeadTemperature(45);
  p.setFormsLength(300);
  p.setFirmwareVersion("V1.23");
  const Bytes c = port.ask(3);
  // Decoded by hand: "C", "00" b1 b2, "01" ddd, "02" 8 digits, "03" ddd, "04" 2 raw bytes, "05" LL text.
  Bytes expected = bytes("C00");
  expected.insert(expected.end(), {0x00, 0x24});
  const Bytes rest = bytes("01007" "0200001234" "03045" "04");
  expected.insert(expected.end(), rest.begin(), rest.end());
  expected.insert(expected.end(), {0x01, 0x2C});
  const Bytes version = bytes("0505V1.23");
  expected.insert(expected.end(), version.begin(), version.end());
  EXPECT_EQ(c, expected);
}

TEST(Replies, ShortNormalExtendedAndFieldReplies) {
  LowerPort port("USB-REP4");
  sim::Printer& p = port.printer();
  p.setStatus(0x80, 0x01);
  p.setErrorCode(12);
  p.setHeadTemperature(51);
  p.setSerialNumber("SN-778");
  p.setFormsLength(0x0102);
  EXPECT_EQ(port.ask(0), shortReply(0x80, 0x01));
  Bytes n = bytes("N00");
  n.insert(n.end(), {0x80, 0x01});
  Bytes e = n;
  e[0] = 'E';
  const Bytes nTail = bytes("01012");
  n.insert(n.end(), nTail.begin(), nTail.end());
  const Bytes eTail = bytes("01012" "03051");
  e.insert(e.end(), eTail.begin(), eTail.end());
  EXPECT_EQ(port.ask(1), n);
  EXPECT_EQ(port.ask(2), e);

  EXPECT_EQ(port.ask(4 + 0), (Bytes{'A', '0', '0', 0x80, 0x01}));
  EXPECT_EQ(text(port.ask(4 + 1)), "A01012");
  EXPECT_EQ(text(port.ask(4 + 3)), "A03051");
  EXPECT_EQ(port.ask(4 + 4), (Bytes{'A', '0', '4', 0x01, 0x02}));
  EXPECT_EQ(text(port.ask(4 + 5)), "A0505V1.23");
  EXPECT_EQ(text(port.ask(4 + 9)), "A0906SN-778");
  EXPECT_EQ(text(port.ask(4 + 15)), "A15");  // not in flash mode
}

TEST(Replies, DeviceIdNamesTheModelAndIsCutToTheBuffer) {
  LowerPort port("LPT-REP5");
  port.printer().setModel("XYZ-1");
  char out[256] = {};
  DWORD returned = 0;
  ASSERT_TRUE(port.table().pfnGetPrinterDataFromPort(port.handle(), 0x16000C, nullptr, nullptr, 0,
                                                     reinterpret_cast<LPWSTR>(out), sizeof out, &returned));
  const std::string id(out, returned);
  EXPECT_EQ(id.rfind("MFG:", 0), 0u);
  EXPECT_NE(id.find(";MDL:XYZ-1;"), std::string::npos);
  EXPECT_NE(id.find(";CMD:"), std::string::npos);
  EXPECT_EQ(port.printer().deviceId(), id);

  char small[8] = {};
  ASSERT_TRUE(port.table().pfnGetPrinterDataFromPort(port.handle(), 0x16000C, nullptr, nullptr, 0,
                                                     reinterpret_cast<LPWSTR>(small), sizeof small, &returned));
  EXPECT_EQ(returned, sizeof small);
  EXPECT_EQ(std::string(small, sizeof small), id.substr(0, sizeof small));
}

TEST(Replies, WatchdogBytesReplaceField00OfShortAndCompleteRepliesOnUsbWhileArmed) {
  LowerPort usb("USB-REP6");
  usb.printer().setWatchdogCounts(2, 1);
  usb.printer().setWatchdogVersion('5');
  EXPECT_EQ(usb.ask(0), shortReply(0, 0));
  ASSERT_TRUE(usb.vendor({0x55, 0x0A, 0x01}));
  EXPECT_TRUE(usb.printer().watchdogArmed());
  EXPECT_EQ(usb.printer().watchdogSeconds(), 0x0A);
  EXPECT_EQ(usb.read(), (Bytes{'S', 0x21, '5', 0, 0}));
  EXPECT_EQ(usb.ask(3)[1], 0x21);
  EXPECT_EQ(usb.ask(1)[1], '0');       // N replies keep "00"
  EXPECT_EQ(usb.ask(4 + 0)[1], '0');   // and so do field replies
  ASSERT_TRUE(usb.vendor({0x55, 0x00, 0x00}));
  EXPECT_FALSE(usb.printer().watchdogArmed());
  EXPECT_EQ(usb.read(), shortReply(0, 0));

  // A printer whose watchdog always shows reports it before being armed.
  usb.printer().setWatchdogAlwaysReported(true);
  EXPECT_EQ(usb.read()[2], '5');

  // Other links never carry the bytes.
  LowerPort lpt("LPT-REP6");
  ASSERT_TRUE(lpt.vendor({0x55, 0x0A, 0x01}));
  EXPECT_EQ(lpt.read(), shortReply(0, 0));
}

// The watchdog counts the host's silence: a call within its time-out renews it, one
// after it finds the printer reset, its document forgotten and the watchdog counted.
TEST(Replies, AWatchdogLeftSilentPastItsTimeOutResetsThePrinter) {
  LowerPort usb("USB-REP7");
  usb.printer().setWatchdogCounts(2, 1);
  ASSERT_TRUE(usb.vendor(vendorRequest(0x23)));
  ASSERT_TRUE(usb.vendor({0x55, 0x02, 0x01}));
  clockSleep(300);
  EXPECT_EQ(usb.read()[1], 0x21);
  clockSleep(300);
  EXPECT_EQ(usb.read()[1], 0x21);
  EXPECT_TRUE(usb.printer().status2() & sim::status2::DocInProgress);
  clockSleep(3500);
  EXPECT_EQ(usb.read(), shortReply(0, 0));
  EXPECT_FALSE(usb.printer().watchdogArmed());
  EXPECT_FALSE(usb.printer().status2() & sim::status2::DocInProgress);
  ASSERT_TRUE(usb.vendor({0x55, 0x01, 0x01}));
  EXPECT_EQ(usb.read()[1], 0x32);
}

TEST(Replies, RequestsThePrinterDoesNotKnowAreRefused) {
  LowerPort port("USB-REP7");
  EXPECT_FALSE(port.vendor({0x30, '1', '2', 0, 0, 0, 0, 0}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(port.vendor({0x23, '1', '2'}));
  EXPECT_FALSE(port.vendor({0x55, 0x0A, 0x02}));
  // The print-F0-ticket request is kept with its 7 parameter bytes.
  EXPECT_TRUE(port.vendor({41, 1, 2, 3, 4, 5, 6, 7}));
  ASSERT_EQ(port.printer().f0Tickets().size(), 1u);
  EXPECT_EQ(port.printer().f0Tickets()[0], (Bytes{1, 2, 3, 4, 5, 6, 7}));
  // Any other control id answers as scripted.
  DWORD returned = 0;
  EXPECT_FALSE(port.table().pfnGetPrinterDataFromPort(port.handle(), 0x1234, nullptr, nullptr, 0, nullptr, 0,
                                                      &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  port.printer().setOtherControlResult(TRUE, 0);
  EXPECT_TRUE(port.table().pfnGetPrinterDataFromPort(port.handle(), 0x1234, nullptr, nullptr, 0, nullptr, 0,
                                                     &returned));
}

}  // namespace

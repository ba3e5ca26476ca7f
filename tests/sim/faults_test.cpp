// Fault plans: the Nth call of a kind fails once or from then on with the chosen
// error, reads return 0 bytes, writes come up short, the printer falls silent.
#include <gtest/gtest.h>

#include "lower_port.h"

namespace {

using simtest::Bytes;
using simtest::LowerPort;
using simtest::vendorRequest;
using sim::Fault;

TEST(Faults, TheNthReadFailsOnceCountedFromWhenThePlanIsSet) {
  LowerPort port("USB-FLT1");
  port.read();  // before the plan: not counted
  port.printer().addFault(Fault::failRead(2, ERROR_CRC));
  BOOL ok = FALSE;
  port.read(1023, &ok);
  EXPECT_TRUE(ok);
  const Bytes failed = port.read(1023, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CRC));
  EXPECT_TRUE(failed.empty());
  port.read(1023, &ok);
  EXPECT_TRUE(ok);

  const auto reads = port.printer().calls(sim::Entry::ReadPort);
  ASSERT_EQ(reads.size(), 4u);
  EXPECT_TRUE(reads[1].fault.empty());
  EXPECT_FALSE(reads[2].fault.empty());
  EXPECT_FALSE(reads[2].result);
  EXPECT_EQ(reads[2].lastError, static_cast<DWORD>(ERROR_CRC));
  EXPECT_TRUE(reads[3].fault.empty());
}

TEST(Faults, APersistentFaultFailsEveryCallFromTheNthOn) {
  LowerPort port("USB-FLT2");
  port.printer().addFault(Fault::failRead(2, ERROR_TIMEOUT, true));
  BOOL ok = FALSE;
  port.read(1023, &ok);
  EXPECT_TRUE(ok);
  for (int i = 0; i < 3; ++i) {
    port.read(1023, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  }
  port.printer().clearFaults();
  port.read(1023, &ok);
  EXPECT_TRUE(ok);
}

TEST(Faults, AFailedReadLeavesTheQueuedRepliesInPlace) {
  LowerPort port("USB-FLT3");
  port.printer().setTicketCount(9);
  ASSERT_TRUE(port.vendor(vendorRequest(4 + 2)));
  port.printer().addFault(Fault::failRead(1, ERROR_GEN_FAILURE));
  BOOL ok = TRUE;
  port.read(1023, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(port.read()[0], 'S');
  EXPECT_EQ(simtest::text(port.read()), "A0200000009");
}

TEST(Faults, ZeroByteReadsShortPartAndFailedWrites) {
  LowerPort port("USB-FLT4");
  port.printer().addFault(Fault::zeroRead(1));
  BOOL ok = FALSE;
  EXPECT_TRUE(port.read(1023, &ok).empty());
  EXPECT_TRUE(ok);
  EXPECT_EQ(port.read().size(), 5u);

  ASSERT_TRUE(port.startDoc());
  port.printer().addFault(Fault::shortWrite(1, 3));
  port.printer().addFault(Fault::failWrite(2, ERROR_GEN_FAILURE));
  DWORD written = 99;
  EXPECT_TRUE(port.write({1, 2, 3, 4, 5, 6}, &written));
  EXPECT_EQ(written, 3u);
  EXPECT_FALSE(port.write({7, 8}, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(port.write({9}, &written));
  port.printer().addFault(Fault::partWrite(1, 2, ERROR_TIMEOUT));
  EXPECT_FALSE(port.write({10, 11, 12}, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(port.printer().documentBytes(), (Bytes{1, 2, 3, 9, 10, 11}));
}

TEST(Faults, ASilentPrinterReadsNothingAndAnswersNoRequest) {
  LowerPort port("USB-FLT5");
  port.printer().setSilent(true);
  ASSERT_TRUE(port.vendor(vendorRequest(3)));
  BOOL ok = FALSE;
  EXPECT_TRUE(port.read(1023, &ok).empty());
  EXPECT_TRUE(ok);
  EXPECT_TRUE(port.read().empty());
  EXPECT_EQ(port.printer().calls(sim::Entry::ReadPort).back().fault, "silent");
  port.printer().setSilent(false);
  EXPECT_EQ(port.read().size(), 5u);  // the request was never answered: the current status
}

TEST(Faults, CutAndGarbageRepliesTimeOutsAndAPrinterSwitchedOffAndOn) {
  LowerPort port("USB-FLT8");
  sim::Printer& p = port.printer();
  p.addFault(Fault::cutRead(1, 2));
  p.addFault(Fault::garbageRead(2, {0x11, 'x'}));
  EXPECT_EQ(port.read(), (Bytes{'S', '0'}));
  EXPECT_EQ(port.read(), (Bytes{0x11, 'x'}));
  EXPECT_EQ(port.read().size(), 5u);

  p.addFault(Fault::timeOut(Fault::Op::Read, 1, 50, true));
  BOOL ok = TRUE;
  port.read(1023, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_FALSE(p.answers());  // reads fail for good
  EXPECT_FALSE(p.faultsPending(Fault::Op::Read));
  EXPECT_EQ(p.faultsFired(), 3u);
  p.clearFaults();

  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.vendor(vendorRequest(0x23)));
  p.powerCycle(60000);
  EXPECT_FALSE(p.answers());
  EXPECT_FALSE(port.write({1, 2}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_FALSE(port.vendor(vendorRequest(0x24)));
  p.powerCycle(0);  // back at once, fresh: no document in progress
  EXPECT_TRUE(p.answers());
  EXPECT_TRUE(port.write({3}));
  EXPECT_FALSE(p.status2() & sim::status2::DocInProgress);
}

TEST(Faults, OpenStartDocAndVendorRequestsCanFail) {
  sim::Printer& p = sim::printer("USB-FLT6");
  p.reset();
  p.addFault(Fault::failOpen(ERROR_ACCESS_DENIED));
  MONITOR table = sim::lowerMonitor();
  simtest::WideString name = simtest::wide("USB-FLT6");
  HANDLE h = nullptr;
  EXPECT_FALSE(table.pfnOpenPort(&name[0], &h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(p.openCount(), 0);

  LowerPort port("USB-FLT7");
  port.printer().addFault(Fault::failStartDoc(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(port.startDoc());
  EXPECT_FALSE(port.printer().inDocument());
  EXPECT_TRUE(port.startDoc());

  port.printer().addFault(Fault::failVendorRequest(2, ERROR_GEN_FAILURE));
  EXPECT_TRUE(port.vendor(vendorRequest(0x23)));
  EXPECT_FALSE(port.vendor(vendorRequest(0x24)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  // The failed end-of-document request never reached the printer.
  EXPECT_TRUE(port.printer().status2() & sim::status2::DocInProgress);
}

}  // namespace

// Job data on the printer: pages found by following the printer's own commands,
// the ticket counter, busy after a page and DOC_IN_PROGRESS around a document.
#include <gtest/gtest.h>

#include "lower_port.h"
#include "platform/clock.h"
#include "sim/page_scanner.h"

namespace {

using simtest::Bytes;
using simtest::LowerPort;
using simtest::vendorRequest;

// Polls until pred holds, at most limitMs protocol ms.
template <typename Pred>
bool eventually(Pred pred, DWORD limitMs = 200000) {
  const DWORD start = clockTickCount();
  while (!pred()) {
    if (clockTickCount() - start > limitMs) return false;
    clockSleep(20);
  }
  return true;
}

unsigned pages(const Bytes& data) {
  sim::PageScanner scanner;
  return scanner.feed(data.data(), data.size());
}

TEST(PageScanner, SkipsTheBytesOfEveryParameterAndDataBlock) {
  EXPECT_EQ(pages({0x1B, 'e'}), 1u);
  EXPECT_EQ(pages({0x1B, 'e', 'a', 0x1B, 'e'}), 2u);
  // ESC d with 3 data bytes, then ESC e.
  EXPECT_EQ(pages({0x1B, 'd', 3, 0, 'a', 'b', 'c', 0x1B, 'e'}), 1u);
  // ESC d with 1 data byte: the ESC is data, the 'e' a plain byte.
  EXPECT_EQ(pages({0x1B, 'd', 1, 0, 0x1B, 'e'}), 0u);
  // ESC L, Q and f carry two parameter bytes, which may look like ESC e.
  EXPECT_EQ(pages({0x1B, 'L', 0x1B, 'e', 0x1B, 'Q', 0x1B, 'e', 0x1B, 'f', 0x1B, 'e'}), 0u);
  // ESC x a: 2*a bytes; ESC X a b: 2*(8*a + b) bytes.
  EXPECT_EQ(pages({0x1B, 'x', 1, 0x1B, 'e', 0x1B, 'e'}), 1u);
  Bytes bigX{0x1B, 'X', 1, 2};
  bigX.insert(bigX.end(), 20, 0x1B);  // 2 * (8 + 2) bytes
  bigX.insert(bigX.end(), {0x1B, 'e'});
  EXPECT_EQ(pages(bigX), 1u);
  // An unknown command letter ends the command.
  EXPECT_EQ(pages({0x1B, 'I', 'e', 0x1B, 'e'}), 1u);
  // A block of length 0 is empty: the next ESC e counts.
  EXPECT_EQ(pages({0x1B, 'd', 0, 0, 0x1B, 'e'}), 1u);
  EXPECT_EQ(pages({0x1B, 'x', 0, 0x1B, 'e'}), 1u);
}

TEST(PageScanner, CarriesItsStateAcrossWrites) {
  sim::PageScanner scanner;
  const Bytes first{'t', 0x1B};
  const Bytes second{'e'};
  EXPECT_EQ(scanner.feed(first.data(), first.size()), 0u);
  EXPECT_EQ(scanner.feed(second.data(), second.size()), 1u);
  // A data block that spans writes hides the ESC e in its second half.
  const Bytes third{0x1B, 'd', 4, 0, 'a', 'b'};
  const Bytes fourth{0x1B, 'e', 0x1B, 'e'};
  EXPECT_EQ(scanner.feed(third.data(), third.size()), 0u);
  EXPECT_EQ(scanner.feed(fourth.data(), fourth.size()), 1u);
}

class JobDataTest : public ::testing::Test {
 protected:
  void TearDown() override { clockSetScale(1.0); }
};

TEST_F(JobDataTest, PagesCountTicketsAndTheDocumentKeepsEveryByte) {
  LowerPort port("USB-JOB1");
  port.printer().setTicketCount(120);
  ASSERT_TRUE(port.startDoc(5));
  const Bytes page1{'A', 0x1B, 'd', 2, 0, 0x1B, 'e', 0x1B};
  const Bytes page2{'e', 'B', 0x1B, 'e'};
  DWORD written = 0;
  ASSERT_TRUE(port.write(page1, &written));
  EXPECT_EQ(written, page1.size());
  ASSERT_TRUE(port.write(page2));
  ASSERT_TRUE(port.endDoc());
  ASSERT_TRUE(port.startDoc(6));
  ASSERT_TRUE(port.write({'C'}));

  EXPECT_EQ(port.printer().ticketCount(), 122u);
  EXPECT_EQ(port.printer().pagesPrinted(), 2u);
  const auto docs = port.printer().documents();
  ASSERT_EQ(docs.size(), 2u);
  Bytes all = page1;
  all.insert(all.end(), page2.begin(), page2.end());
  EXPECT_EQ(docs[0].data, all);
  EXPECT_EQ(docs[0].jobId, 5u);
  EXPECT_EQ(docs[0].pages, 2u);
  EXPECT_FALSE(docs[0].open);
  EXPECT_TRUE(docs[1].open);
  EXPECT_EQ(port.printer().documentBytes(), Bytes{'C'});

  // The complete status carries the counter as 8 digits.
  const std::string complete = simtest::text(port.ask(3));
  EXPECT_NE(complete.find("0200000122"), std::string::npos);
}

TEST_F(JobDataTest, WritesOutsideADocumentAreRefused) {
  LowerPort port("USB-JOB2");
  EXPECT_FALSE(port.write({0x1B, 'e'}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(port.printer().pagesPrinted(), 0u);
  EXPECT_FALSE(port.endDoc());
}

TEST_F(JobDataTest, BusyForAWhileAfterEachPage) {
  clockSetScale(0.01);
  LowerPort port("USB-JOB3");
  port.printer().setBusyAfterPage(30000);
  EXPECT_FALSE(port.printer().status2() & sim::status2::Busy);
  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.write({0x1B, 'e'}));
  const Bytes right = port.read();
  ASSERT_EQ(right.size(), 5u);
  EXPECT_TRUE(right[4] & sim::status2::Busy);
  // Some time later the printer is no longer busy.
  EXPECT_TRUE(eventually([&] { return !(port.read()[4] & sim::status2::Busy); }));
}

// A page already printed keeps its busy time: a printer that was ready after it does
// not turn busy with it again, and data sent then is not lost.
TEST_F(JobDataTest, ANewBusyTimeHoldsFromTheNextPage) {
  clockSetScale(0.01);
  LowerPort port("USB-JOB9");
  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.write({0x1B, 'e'}));
  port.printer().setBusyAfterPage(30000);
  EXPECT_FALSE(port.printer().status2() & sim::status2::Busy);
  ASSERT_TRUE(port.write({0x1B, 'e'}));
  EXPECT_EQ(port.printer().lostBytes(), 0u);
  EXPECT_TRUE(port.printer().status2() & sim::status2::Busy);
}

TEST_F(JobDataTest, DocInProgressFromStartRequestToEndRequestAndOptionallyLonger) {
  clockSetScale(0.01);
  LowerPort port("USB-JOB4");
  auto docInProgress = [&] { return (port.printer().status2() & sim::status2::DocInProgress) != 0; };
  EXPECT_FALSE(docInProgress());
  ASSERT_TRUE(port.vendor(vendorRequest(0x23)));
  EXPECT_TRUE(docInProgress());
  ASSERT_TRUE(port.vendor(vendorRequest(0x24)));
  EXPECT_FALSE(docInProgress());

  port.printer().holdDocInProgress(20000);
  ASSERT_TRUE(port.vendor(vendorRequest(0x23)));
  ASSERT_TRUE(port.vendor(vendorRequest(0x24)));
  EXPECT_TRUE(docInProgress());
  EXPECT_TRUE(eventually([&] { return !docInProgress(); }));

  port.printer().holdDocInProgress(0, true);
  ASSERT_TRUE(port.vendor(vendorRequest(0x23)));
  ASSERT_TRUE(port.vendor(vendorRequest(0x24)));
  clockSleep(1000);
  EXPECT_TRUE(docInProgress());
}

TEST_F(JobDataTest, ConditionsStartAtATicketOrATimeAndMayEnd) {
  clockSetScale(0.01);
  LowerPort port("USB-JOB5");
  sim::Condition paperOut;
  paperOut.status1 = sim::status1::OutOfPaper;
  paperOut.afterPages = 2;
  port.printer().addCondition(paperOut);
  sim::Condition jam;
  jam.status1 = sim::status1::OutputJam;
  jam.afterMs = 1000;
  jam.forMs = 20000;
  port.printer().addCondition(jam);

  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.write({0x1B, 'e'}));
  EXPECT_FALSE(port.printer().status1() & sim::status1::OutOfPaper);
  ASSERT_TRUE(port.write({0x1B, 'e'}));
  EXPECT_TRUE(port.printer().status1() & sim::status1::OutOfPaper);

  // The jam comes, then goes; paper out stays.
  auto jammed = [&] { return (port.printer().status1() & sim::status1::OutputJam) != 0; };
  EXPECT_TRUE(eventually(jammed));
  EXPECT_TRUE(eventually([&] { return !jammed(); }));
  EXPECT_TRUE(port.printer().status1() & sim::status1::OutOfPaper);
  port.printer().clearConditions();
  EXPECT_EQ(port.printer().status1(), 0);
}

}  // namespace

// A serial printer: requests written inside a document, replies read back, and
// XON/XOFF flow control.
#include <gtest/gtest.h>

#include "lower_port.h"
#include "platform/clock.h"

namespace {

using simtest::Bytes;
using simtest::bytes;
using simtest::LowerPort;
using simtest::text;

class SerialTest : public ::testing::Test {
 protected:
  void TearDown() override { clockSetScale(1.0); }
};

TEST_F(SerialTest, RequestsWrittenInADocumentQueueTheirReplies) {
  LowerPort port("COM-SER1:");
  ASSERT_EQ(port.printer().link(), sim::Link::Serial);
  port.printer().setStatus(sim::status1::HeadLeverUp, 0);
  port.printer().setSerialNumber("SN42");

  // Nothing asked, nothing to read.
  BOOL ok = FALSE;
  EXPECT_TRUE(port.read(128, &ok).empty());
  EXPECT_TRUE(ok);

  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.write(bytes("<lm><SS>")));
  EXPECT_EQ(port.read(128), (Bytes{'S', '0', '0', sim::status1::HeadLeverUp, 0}));
  EXPECT_TRUE(port.read(128).empty());  // no stale reply on a serial link

  ASSERT_TRUE(port.write({0x1B, 'I', 'C'}));
  EXPECT_EQ(port.read(128)[0], 'C');
  ASSERT_TRUE(port.write({0x1B, 'I', 'A', 9}));
  EXPECT_EQ(text(port.read(128)), "A0904SN42");
  ASSERT_TRUE(port.write(bytes("<SA08>")));
  EXPECT_EQ(text(port.read(1024)), port.printer().deviceId());

  // Requests and job data mixed in one write, replies in order.
  ASSERT_TRUE(port.write({'x', 0x1B, 'I', 'N', 'y', 0x1B, 'e', 0x1B, 'I', 'S'}));
  EXPECT_EQ(port.read(128)[0], 'N');
  EXPECT_EQ(port.read(128)[0], 'S');
  ASSERT_TRUE(port.endDoc());
  EXPECT_EQ(port.printer().documentBytes(), (Bytes{'x', 'y', 0x1B, 'e'}));
  EXPECT_EQ(port.printer().pagesPrinted(), 1u);
}

TEST_F(SerialTest, AReplyLongerThanTheBufferIsReadInParts) {
  LowerPort port("COM-SER2:");
  ASSERT_TRUE(port.startDoc());
  ASSERT_TRUE(port.write({0x1B, 'I', 'C'}));
  const Bytes head = port.read(4);
  const Bytes tail = port.read(128);
  EXPECT_EQ(head.size(), 4u);
  EXPECT_EQ(head[0], 'C');
  EXPECT_GT(tail.size(), 20u);
  EXPECT_EQ(tail[0], 0);  // status byte 2 of field 00
  EXPECT_TRUE(port.read(128).empty());
}

TEST_F(SerialTest, XoffAfterTheNthWriteThenXonAfterTheScriptedTime) {
  clockSetScale(0.01);
  LowerPort port("COM-SER3:");
  port.printer().setFlashMode(true);
  sim::XoffScript script;
  script.afterWrites = 2;
  script.extraBytes = {'?', '!'};
  script.xonAfterMs = 30000;
  port.printer().scriptXoff(script);
  ASSERT_TRUE(port.startDoc());

  ASSERT_TRUE(port.write({1, 2, 3}));
  EXPECT_TRUE(port.read(1).empty());
  const DWORD start = clockTickCount();
  ASSERT_TRUE(port.write({4, 5}));
  EXPECT_EQ(port.read(1), Bytes{0x13});
  EXPECT_EQ(port.read(1), Bytes{'?'});
  EXPECT_EQ(port.read(1), Bytes{'!'});
  // Nothing, then XON once the time has passed.
  Bytes got;
  int emptyReads = 0;
  while (got.empty() && clockTickCount() - start < 1000000) {
    got = port.read(1);
    if (got.empty()) ++emptyReads;
    clockSleep(50);
  }
  EXPECT_EQ(got, Bytes{0x11});
  EXPECT_GT(emptyReads, 0);
  EXPECT_GE(clockTickCount() - start, 30000u);
  EXPECT_EQ(port.printer().firmwareBytes(), (Bytes{1, 2, 3, 4, 5}));
}

}  // namespace

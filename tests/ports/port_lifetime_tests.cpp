// Many opens and closes of one port leave nothing behind.
#include <gtest/gtest.h>

#include "platform/handle_count.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "ports_test_support.h"

namespace {

class PortLifetime : public PortTest {};

TEST_F(PortLifetime, AThousandOpensAndClosesLeaveNoHandleOrMemoryBehind) {
  // One round first, so that whatever the platform sets up once is counted before.
  INIPORT* pIniPort = open("USB_PT_LIFETIME");
  ASSERT_NE(pIniPort, nullptr);
  ASSERT_TRUE(close(pIniPort));
  INIPORT* const head = portListHead;
  const DWORD handlesBefore = platformHandleCount();
  const LONG blocksBefore = AllocSplMemBlocks();

  for (int i = 0; i < 1000; ++i) {
    pIniPort = open("USB_PT_LIFETIME");
    ASSERT_NE(pIniPort, nullptr) << i;
    ASSERT_TRUE(close(pIniPort)) << i;
  }

  // The close waits for the port's threads to end, and their handles are counted here.
  // A handle kept per round would show a thousand times over; Wine opens one or two of
  // its own at a moment of its choosing during the rounds and keeps them.
  const DWORD handlesAfter = platformHandleCount();
  EXPECT_GE(handlesAfter, handlesBefore);
  EXPECT_LT(handlesAfter - handlesBefore, 5u) << handlesBefore << " handles before, " << handlesAfter << " after";
  EXPECT_EQ(AllocSplMemBlocks(), blocksBefore);
  EXPECT_EQ(portListHead, head);
  EXPECT_EQ(printer("USB_PT_LIFETIME").openCount(), 0);
}

}  // namespace

// Every test program starts the monitor's code as the library's process attach
// would, then runs its tests on a platform that forgives no more than Windows:
// handle values come back soon after a close, and cancelled pipe operations end later.
#include <gtest/gtest.h>

#include "entry/monitor_entry.h"
#include "platform/strict_platform.h"
#include "port/monitor_state.h"

int main(int argc, char** argv) {
  platformReuseHandleValues(TRUE);
  platformCancelIoLater(TRUE);
  ProcessAttach(nullptr);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

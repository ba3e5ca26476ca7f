// Every test program starts the monitor's code as the library's process attach
// would, then runs its tests.
#include <gtest/gtest.h>

#include "monitor/monitor_state.h"

int main(int argc, char** argv) {
  ProcessAttach(nullptr);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

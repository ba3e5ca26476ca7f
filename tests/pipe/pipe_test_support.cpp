#include "pipe_test_support.h"

void PipePortTest::SetUp() {
  MonitorTest::SetUp();
  setting("EnableHeartBeat", 0);
}

std::string PipePortTest::portName(const std::string& tag) const {
  return "USBPIPE" + std::to_string(static_cast<unsigned>(GetCurrentProcessId())) + tag;
}

bool statusThreadReady(INIPORT* pIniPort) {
  const DWORD start = GetTickCount();
  while (!(pIniPort->flags & PP_STATUS_LOOP)) {
    if (GetTickCount() - start >= 10000) return false;
    Sleep(5);
  }
  return true;
}

// A port opened and closed over and over while the printer changes and fails: the
// close never hangs, nothing of the port outlives it, and no handle is left behind.
#include "platform/clock.h"
#include "platform/handle_count.h"
#include "port/port_entry_points.h"
#include "status/status_reply.h"
#include "status/status_thread.h"
#include "status_test_support.h"

namespace {

class PortLifetime : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    port_ = widen(portName("USB"));
  }

  INIPORT* open() {
    HANDLE hPort = nullptr;
    MONITOR lower = sim::lowerMonitor();
    EXPECT_TRUE(MonOpenPort(&port_[0], &printerName_[0], &hPort, &lower));
    return static_cast<INIPORT*>(hPort);
  }

  // The printer changes and fails in a different way each round.
  void disturb(INIPORT* pIniPort, int round) {
    sim::Printer& p = sim::printer(port_.c_str());
    p.reset();
    static const BYTE kStatus1[] = {0, SYSTEM_NOT_READY | OUT_OF_PAPER, CUTTER_JAM, HEAD_LEVER_UP, 0};
    p.setStatus(kStatus1[round % 5], round % 3 == 0 ? TICKET_NOT_TAKEN : 0);
    switch (round % 6) {
      case 0: p.setSilent(true); break;
      case 1: p.addFault(sim::Fault::failRead(1 + round % 3, ERROR_GEN_FAILURE, true)); break;
      case 2: p.addFault(sim::Fault::zeroRead(2, true)); break;
      case 3: p.addFault(sim::Fault::failVendorRequest(1, ERROR_CRC, true)); break;
      default: break;
    }
    if (round % 7 == 0) {
      // The memory query starts and stops a thread of its own.
      StopUstatusThread(pIniPort, FALSE);
      WCHAR key[] = WSTR("Available Memory");
      DWORD value = 0;
      DWORD returned = 0;
      MonGetPrinterDataFromPort(pIniPort, 0, key, nullptr, 0, reinterpret_cast<LPWSTR>(&value), sizeof value,
                                &returned);
    }
    clockSleep(static_cast<DWORD>(round % 4) * 150);
    if (round % 4 == 1) {
      // A document that never ends, as the start of a document leaves it.
      WaitForSingleObject(pIniPort->status.StatusNotInProgress, INFINITE);
      pIniPort->flags |= PP_IN_DOC;
      ResetEvent(pIniPort->status.heartbeatRun);
      ReleaseMutex(pIniPort->status.StatusNotInProgress);
    }
  }

  size_t posts() { return spooler().calls(sim::SpoolerCall::SetPort).size(); }

  WideString port_;
  WideString printerName_ = widen("Status lifetime printer");
};

TEST_F(PortLifetime, OpenAndCloseTwoHundredTimes) {
  setting("HeartBeatRate", 200);
  clockSetScale(0.01);
  // The count is taken once every kind of round has run: the platform keeps some
  // handles of its own from the first use of a call on. Under Wine the C++
  // runtime's mutexes and condition variables (of the virtual printer and the
  // recording spooler) also take a handle the first time they are contended,
  // whenever that is: a few handles of slack, far fewer than one per round.
  const int kWarmUpRounds = 42;
  const DWORD kRuntimeSlack = 8;
  DWORD handles = 0;
  for (int round = 0; round < 200; ++round) {
    if (round == kWarmUpRounds) handles = platformHandleCount();
    INIPORT* pIniPort = open();
    ASSERT_NE(nullptr, pIniPort);
    disturb(pIniPort, round);
    ASSERT_TRUE(MonClosePort(pIniPort));
    const size_t afterClose = posts();
    clockSleep(100);
    ASSERT_EQ(afterClose, posts()) << "round " << round;
  }
  EXPECT_LE(platformHandleCount(), handles + kRuntimeSlack);
}

}  // namespace

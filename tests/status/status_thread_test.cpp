// The status thread on a sped-up clock: its heartbeat, its wake-up, its stop, and the
// spooler's port status following the virtual printer. Counts are checked with wide
// margins: the machine is shared.
#include <atomic>
#include <functional>
#include <thread>

#include "pipe/pipe_server.h"
#include "platform/clock.h"
#include "platform/handle_count.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "status/status_reply.h"
#include "status/status_thread.h"
#include "status_test_support.h"

namespace {

class StatusThread : public StatusTest {
 protected:
  // Waits (protocol ms) until the last status posted for the port is status.
  bool waitForPosted(INIPORT* pIniPort, DWORD status, DWORD timeoutMs = 30000) {
    const std::string name = pIniPort->PortNameA;
    return spooler().waitUntil(
        [&](const std::vector<sim::SpoolerRecord>& records) {
          for (auto it = records.rbegin(); it != records.rend(); ++it) {
            if (it->call == sim::SpoolerCall::SetPort && it->name == name && it->result) return it->status == status;
          }
          return false;
        },
        timeoutMs);
  }

  bool waitForReads(INIPORT* pIniPort, size_t count, DWORD timeoutMs = 30000) {
    return printer(pIniPort).waitUntil(
        [&](const std::vector<sim::Call>& calls) {
          size_t n = 0;
          for (const sim::Call& call : calls) n += call.entry == sim::Entry::ReadPort;
          return n >= count;
        },
        timeoutMs);
  }

  bool waitForEnd(INIPORT* pIniPort, DWORD timeoutMs = 30000) {
    const DWORD start = clockTickCount();
    while (pIniPort->status.WakeUp != nullptr) {
      if (clockTickCount() - start > timeoutMs) return false;
      clockSleep(50);
    }
    return true;
  }

  // Runs call on a thread of its own; true when it returned within limitMs protocol
  // ms. A call that hangs is released by ending the document that holds the status
  // thread, so that the test itself ends.
  bool returnsInTime(INIPORT* pIniPort, const std::function<void()>& call, DWORD limitMs = 30000) {
    std::atomic<bool> done(false);
    std::thread caller([&] {
      call();
      done = true;
    });
    const DWORD start = clockTickCount();
    while (!done && clockTickCount() - start < limitMs) clockSleep(50);
    const bool inTime = done;
    if (!inTime) {
      pIniPort->flags &= ~PP_IN_DOC;
      SetEvent(pIniPort->status.heartbeatRun);
    }
    caller.join();
    return inTime;
  }

  // What the start of a document does to the status thread.
  void startDocument(INIPORT* pIniPort) {
    WaitForSingleObject(pIniPort->status.StatusNotInProgress, INFINITE);
    pIniPort->flags |= PP_IN_DOC;
    ResetEvent(pIniPort->status.heartbeatRun);
    ReleaseMutex(pIniPort->status.StatusNotInProgress);
  }
};

TEST_F(StatusThread, PortShowsOffLineUntilTheFirstReply) {
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForPosted(port, 0));
  const auto posts = setPorts(port);
  ASSERT_GE(posts.size(), 2u);
  EXPECT_EQ(1u, posts[0].status);
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_ERROR), posts[0].severity);
  EXPECT_TRUE(port->flags & PP_IS_PJL);
  EXPECT_TRUE(port->flags & PP_STATUS_LOOP);
}

TEST_F(StatusThread, IdleHeartbeatQueriesOncePerRate) {
  setting("HeartBeatRate", 1000);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForReads(port, 2));
  const size_t first = reads(port);
  clockSleep(20000);
  const size_t queries = (reads(port) - first) / 2;  // two reads per USB heartbeat
  EXPECT_GE(queries, 5u);
  EXPECT_LE(queries, 21u);
}

TEST_F(StatusThread, NoQueriesAndNoClaimedStatusWhileHeartbeatIsOff) {
  setting("HeartBeatRate", 500);
  setting("EnableHeartBeat", 0);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  clockSleep(5000);
  EXPECT_EQ(0u, reads(port));
  EXPECT_NE(nullptr, port->status.WakeUp.load());
  // Whoever asks for a pass is not kept waiting for a read that will not come.
  ResetEvent(port->status.DoneReading);
  SetEvent(port->status.WakeUp);
  EXPECT_EQ(WAIT_OBJECT_0, clockWait(port->status.DoneReading, 20000));
  // Nothing asked, nothing known: the off line shown at the start is taken back.
  const auto posts = setPorts(port);
  ASSERT_EQ(2u, posts.size());
  EXPECT_EQ(1u, posts[0].status);
  EXPECT_EQ(0u, posts[1].status);
  EXPECT_EQ(0u, port->status.PrinterStatus.load());
}

TEST_F(StatusThread, WakeUpStartsAPassAtOnce) {
  setting("HeartBeatRate", 600000);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForReads(port, 2));
  clockSleep(2000);
  EXPECT_EQ(2u, reads(port));
  SetEvent(port->status.WakeUp);
  EXPECT_TRUE(waitForReads(port, 4, 60000));
}

TEST_F(StatusThread, StopWaitsForTheEndOfTheDocument) {
  setting("HeartBeatRate", 500);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForReads(port, 2));

  // A document is open while the heartbeat still runs: the thread takes the flag back.
  port->flags |= PP_IN_DOC;
  port->flags &= ~PP_RUN_THREAD;
  SetEvent(port->status.WakeUp);
  const DWORD start = clockTickCount();
  while (!(port->flags & PP_RUN_THREAD) && clockTickCount() - start < 30000) clockSleep(50);
  EXPECT_TRUE(port->flags & PP_RUN_THREAD);

  // The document holds the heartbeat; clearing the flag does nothing until it ends.
  port->flags &= ~PP_IN_DOC;
  startDocument(port);
  port->flags &= ~PP_RUN_THREAD;
  SetEvent(port->status.WakeUp);
  clockSleep(3000);
  EXPECT_NE(nullptr, port->status.WakeUp.load());

  port->flags &= ~PP_IN_DOC;
  SetEvent(port->status.heartbeatRun);
  SetEvent(port->status.WakeUp);
  EXPECT_TRUE(waitForEnd(port));
  EXPECT_FALSE(port->flags & (PP_RUN_THREAD | PP_STATUS_LOOP));
}

TEST_F(StatusThread, SpoolerFollowsThePrinter) {
  setting("HeartBeatRate", 500);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  sim::Printer& p = printer(port);
  ASSERT_TRUE(waitForPosted(port, 0));
  p.setStatus(SYSTEM_NOT_READY | OUT_OF_PAPER, 0);
  EXPECT_TRUE(waitForPosted(port, PORT_STATUS_PAPER_OUT));
  p.setStatus(SYSTEM_NOT_READY | CUTTER_JAM, 0);
  EXPECT_TRUE(waitForPosted(port, PORT_STATUS_PAPER_JAM));
  p.setStatus(SYSTEM_NOT_READY | HEAD_LEVER_UP, 0);
  EXPECT_TRUE(waitForPosted(port, PORT_STATUS_DOOR_OPEN));
  p.setStatus(0, TICKET_NOT_TAKEN);
  EXPECT_TRUE(waitForPosted(port, PORT_STATUS_OUTPUT_BIN_FULL));
  p.setStatus(0, LOW_PAPER);
  EXPECT_TRUE(waitForPosted(port, PORT_STATUS_PAPER_PROBLEM));
  p.setStatus(0, 0);
  EXPECT_TRUE(waitForPosted(port, 0));
  EXPECT_EQ(static_cast<DWORD>(PORT_STATUS_TYPE_INFO), postedSeverity(port));
}

TEST_F(StatusThread, CloseEndsAThreadHeldByAnUnfinishedDocument) {
  setting("HeartBeatRate", 500);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForReads(port, 2));
  startDocument(port);
  EXPECT_TRUE(close(port));
  const size_t posts = spooler().calls(sim::SpoolerCall::SetPort).size();
  clockSleep(2000);
  EXPECT_EQ(posts, spooler().calls(sim::SpoolerCall::SetPort).size());
}

TEST_F(StatusThread, MemoryQueryStartsAndStopsTheThreadItNeeds) {
  setting("HeartBeatRate", 600000);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForReads(port, 2));
  clockSleep(2000);  // the first pass is over
  WCHAR key[] = WSTR("Installed Memory");
  DWORD value = 0;
  DWORD returned = 0;
  // The running thread reads twice for the query and goes on.
  EXPECT_FALSE(MonGetPrinterDataFromPort(port, 0, key, nullptr, 0, reinterpret_cast<LPWSTR>(&value), sizeof value,
                                         &returned));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(4u, returned);
  EXPECT_TRUE(waitForReads(port, 6));
  EXPECT_NE(nullptr, port->status.WakeUp.load());

  // Without a thread the query starts one and stops it again.
  StopUstatusThread(port, FALSE);
  const size_t before = reads(port);
  EXPECT_FALSE(MonGetPrinterDataFromPort(port, 0, key, nullptr, 0, reinterpret_cast<LPWSTR>(&value), sizeof value,
                                         &returned));
  EXPECT_EQ(nullptr, port->status.WakeUp.load());
  EXPECT_GT(reads(port), before);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->PortFree, 0));
  SetEvent(port->PortFree);

  // A port held by a document is waited for, but not for ever.
  WaitForSingleObject(port->PortFree, INFINITE);
  EXPECT_FALSE(MonGetPrinterDataFromPort(port, 0, key, nullptr, 0, reinterpret_cast<LPWSTR>(&value), sizeof value,
                                         &returned));
  SetEvent(port->PortFree);
}

TEST_F(StatusThread, RestartsReuseTheStatusObjects) {
  setting("EnableHeartBeat", 0);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  const HANDLE doneReading = port->status.DoneReading;
  EXPECT_NE(nullptr, doneReading);
  EXPECT_NE(nullptr, port->pipe.hPipeDoingStatus.load());
  // The pipe thread creates and closes handles of its own.
  StopPipeThread(port);
  StopUstatusThread(port, FALSE);
  ASSERT_TRUE(CreateUstatusThread(port));
  StopUstatusThread(port, FALSE);
  const DWORD handles = platformHandleCount();
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(CreateUstatusThread(port));
    // A second start while it runs starts nothing.
    ASSERT_TRUE(CreateUstatusThread(port));
    StopUstatusThread(port, FALSE);
  }
  EXPECT_EQ(handles, platformHandleCount());
  EXPECT_EQ(doneReading, port->status.DoneReading.load());
}

TEST_F(StatusThread, AThreadHeldByADocumentStaysWhenToldToStop) {
  setting("HeartBeatRate", 600000);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  ASSERT_TRUE(waitForReads(port, 2));
  clockSleep(2000);  // the first pass is over; the thread rests on WakeUp

  // A document starts; the stop wakes the thread, which then rests on heartbeatRun
  // with the flag clear. The stop returns: the thread stays for the document.
  startDocument(port);
  EXPECT_TRUE(returnsInTime(port, [&] { StopUstatusThread(port, FALSE); }));
  EXPECT_TRUE(port->flags & PP_RUN_THREAD);
  EXPECT_NE(nullptr, port->status.WakeUp.load());

  // After the document the heartbeat goes on.
  const size_t before = reads(port);
  port->flags &= ~PP_IN_DOC;
  SetEvent(port->status.heartbeatRun);
  SetEvent(port->status.WakeUp);
  EXPECT_TRUE(waitForReads(port, before + 2));
  EXPECT_NE(nullptr, port->status.WakeUp.load());
}

TEST_F(StatusThread, MemoryQueryDuringADocumentStartReturns) {
  setting("HeartBeatRate", 600000);
  clockSetScale(0.05);
  INIPORT* port = openPort("USB");
  StopUstatusThread(port, FALSE);

  // A start of document has parked the heartbeat and waits for the port; the query
  // starts a thread, which rests on heartbeatRun once told to stop again.
  startDocument(port);
  WCHAR key[] = WSTR("Available Memory");
  DWORD value = 0;
  DWORD returned = 0;
  EXPECT_TRUE(returnsInTime(port, [&] {
    MonGetPrinterDataFromPort(port, 0, key, nullptr, 0, reinterpret_cast<LPWSTR>(&value), sizeof value, &returned);
  }));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->PortFree, 0));
  SetEvent(port->PortFree);
  // The document finds the thread it needs; it stays after the document.
  EXPECT_TRUE(returnsInTime(port, [&] { EXPECT_TRUE(CreateUstatusThread(port)); }));
  EXPECT_TRUE(port->flags & PP_RUN_THREAD);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(port->PortFree, 0));
  SetEvent(port->PortFree);
  port->flags &= ~PP_IN_DOC;
  SetEvent(port->status.heartbeatRun);
  clockSleep(3000);
  EXPECT_NE(nullptr, port->status.WakeUp.load());
}

}  // namespace

// The read entry: the record of the printer it keeps around each lower read (status
// copies, communication flag, USB watchdog counters) and the pause after each read.
#include <cstring>
#include <deque>

#include "log/event_log.h"
#include "platform/clock.h"
#include "port/port_entry_points.h"
#include "status/status_reply.h"
#include "status_test_support.h"

namespace {

// A lower read that answers what the test scripted.
struct ScriptedRead {
  BOOL ok = TRUE;
  DWORD error = 0;
  Bytes data;
  DWORD claimed = 0xFFFFFFFF;  // the count the lower monitor reports, when not data's size
};

std::deque<ScriptedRead> g_script;

BOOL WINAPI scriptedReadPort(HANDLE, LPBYTE buffer, DWORD size, LPDWORD read) {
  ScriptedRead next = g_script.front();
  g_script.pop_front();
  if (!next.ok) {
    SetLastError(next.error);
    return FALSE;
  }
  const DWORD count = next.data.size() < size ? static_cast<DWORD>(next.data.size()) : size;
  if (count != 0) memcpy(buffer, next.data.data(), count);
  if (read != nullptr) *read = next.claimed != 0xFFFFFFFF ? next.claimed : count;
  return TRUE;
}

class ReadPort : public StatusTest {
 protected:
  INIPORT* scriptedPort(const std::string& kind) {
    INIPORT* pIniPort = quietPort(kind);
    if (pIniPort != nullptr) pIniPort->link.fn.pfnReadPort = scriptedReadPort;
    g_script.clear();
    return pIniPort;
  }

  // Reads one scripted reply into a buffer filled with 0xEE; answers the buffer.
  Bytes read(INIPORT* pIniPort, const Bytes& reply, DWORD size = 1024, BOOL* result = nullptr) {
    g_script.push_back({TRUE, 0, reply});
    Bytes buffer(size + 16, 0xEE);
    DWORD count = 0;
    const BOOL ok = PJLMonReadPort(pIniPort, buffer.data(), size, &count);
    if (result != nullptr) *result = ok;
    buffer.resize(size);
    return buffer;
  }

  void readError(INIPORT* pIniPort, DWORD error) {
    g_script.push_back({FALSE, error, {}});
    BYTE buffer[64];
    DWORD count = 0;
    EXPECT_FALSE(PJLMonReadPort(pIniPort, buffer, sizeof buffer, &count));
    EXPECT_EQ(error, GetLastError());
  }
};

TEST_F(ReadPort, WrongSignatureIsRefusedBeforeTheLowerRead) {
  INIPORT* port = scriptedPort("USB");
  clockSetScale(100.0);  // a pause of 30 ms would take 3 s
  port->signature = 0x1234;
  BYTE buffer[16];
  DWORD count = 0;
  const DWORD before = clockTickCount();
  EXPECT_FALSE(PJLMonReadPort(port, buffer, sizeof buffer, &count));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_LT(clockTickCount() - before, 30u);
  port->signature = PJ_SIGNATURE;
  EXPECT_FALSE(PJLMonReadPort(nullptr, buffer, sizeof buffer, &count));
}

TEST_F(ReadPort, UsbWatchdogBytesAreRecordedAndHidden) {
  setting("DRWenable", 1);
  setting("DRWdebugMask", DRW_WATCHDOG);
  INIPORT* port = scriptedPort("USB");
  const Bytes seen = read(port, {'S', 0x21, '5', 0, 0});
  EXPECT_EQ(Bytes({'S', '0', '0', 0, 0}), Bytes(seen.begin(), seen.begin() + 5));
  EXPECT_EQ(2, port->link.WDEnumerations.load());
  EXPECT_EQ(1, port->link.WDTimeouts.load());
  EXPECT_STREQ("V1.05", port->link.WDVersion);
  EXPECT_TRUE(port->link.WDCapable.load());
  EXPECT_EQ(0u, logCount(port, "\"0025\""));

  read(port, {'C', 0x31, '5', 0, 0});
  EXPECT_EQ(1u, logCount(port, "ENUMERATION CHANGE SINCE LAST HB, NEW VALUE = 3"));
  EXPECT_EQ(1u, logCount(port, "\"0025\""));
  read(port, {'S', '0', '0', 0, 0});
  EXPECT_FALSE(port->link.WDCapable.load());

  // A reply that ends before byte 2 carries no watchdog bytes: nothing is taken
  // from it or written back into it.
  const Bytes cut = read(port, {'S', 0x41});
  EXPECT_EQ(0x41, cut[1]);
  EXPECT_EQ(0xEE, cut[2]);
  EXPECT_EQ(3, port->link.WDEnumerations.load());
}

TEST_F(ReadPort, SerialRepliesPassUnchanged) {
  INIPORT* port = scriptedPort("COM");
  const Bytes reply = {'S', 0x21, '5', 0, 0};
  const Bytes seen = read(port, reply);
  EXPECT_EQ(reply, Bytes(seen.begin(), seen.begin() + 5));
  EXPECT_FALSE(port->link.WDCountsKnown.load());
  EXPECT_STREQ("V1.00", port->link.WDVersion);
}

TEST_F(ReadPort, LowPaperModeMarksStatusRepliesNotReady) {
  setting("LPmode", 1);
  INIPORT* port = scriptedPort("USB");
  port->status.LowPaper = TRUE;
  EXPECT_EQ(0x80, read(port, {'N', '0', '0', 0x00, 0x00})[3]);
  EXPECT_EQ(0x00, read(port, {'A', '0', '0', 0x00, 0x00})[3]);
  // A reply too short to hold the byte leaves the caller's buffer alone there.
  EXPECT_EQ(0xEE, read(port, {'S', '0', '0'})[3]);
}

TEST_F(ReadPort, SavedStatusKeepsTheFirstReplyUntilACompleteOne) {
  INIPORT* port = scriptedPort("USB");
  read(port, {'A', '0', '9', '0', '2', 'X', 'Y'});
  read(port, shortReply('S', 0x01, 0x00));
  EXPECT_EQ(7u, port->link.SavedStatusLength);
  EXPECT_EQ('A', port->link.SavedStatus[0]);
  EXPECT_EQ(5u, port->link.SNECStatusLength);
  EXPECT_EQ(0x01, port->link.SNECStatus[3]);
  read(port, shortReply('C', 0x02, 0x00));
  EXPECT_EQ('C', port->link.SavedStatus[0]);
  EXPECT_EQ(0x02, port->link.SavedStatus[3]);
  EXPECT_EQ(5u, port->status.LastStatusLength);
}

TEST_F(ReadPort, EmptyAndFailedReadsTouchOnlyTheLength) {
  INIPORT* port = scriptedPort("USB");
  read(port, shortReply('S', 0x04, 0x00));
  BOOL result = FALSE;
  read(port, {}, 1024, &result);
  EXPECT_TRUE(result);
  EXPECT_EQ(5u, port->status.LastStatusLength);
  EXPECT_TRUE(port->link.goodCommWithPrinter.load());

  readError(port, ERROR_CRC);
  EXPECT_EQ(0u, port->status.LastStatusLength);
  EXPECT_EQ(0x04, port->link.SNECStatus[3]);
  EXPECT_FALSE(port->link.goodCommWithPrinter.load());
  // The write path's link verdict is the writes' own: a read neither sets nor clears it.
  EXPECT_FALSE(port->link.UsbCrcError.load());
  port->link.UsbCrcError = TRUE;
  read(port, shortReply('S', 0, 0));
  EXPECT_TRUE(port->link.UsbCrcError.load());
}

TEST_F(ReadPort, LongRepliesAreCutToEachCopy) {
  INIPORT* port = scriptedPort("USB");
  Bytes reply = shortReply('C', 0, 0);
  reply.resize(1500, '7');
  read(port, reply, 2000);
  EXPECT_EQ(static_cast<DWORD>(SNEC_STATUS_SIZE), port->link.SNECStatusLength);
  EXPECT_EQ(static_cast<DWORD>(SAVED_STATUS_SIZE), port->link.SavedStatusLength);
  EXPECT_EQ(static_cast<DWORD>(LAST_STATUS_SIZE), port->status.LastStatusLength);

  // A lower monitor that claims more than the buffer holds is held to the buffer.
  g_script.push_back({TRUE, 0, shortReply('S', 0, 0), 4000});
  BYTE buffer[8];
  DWORD count = 0;
  EXPECT_TRUE(PJLMonReadPort(port, buffer, sizeof buffer, &count));
  EXPECT_EQ(8u, port->status.LastStatusLength);
}

TEST_F(ReadPort, EveryReadEndsWithItsPause) {
  clockSetScale(0.1);
  INIPORT* port = quietPort("USB");
  BYTE buffer[64];
  DWORD count = 0;
  printer(port).addFault(sim::Fault::failRead(2, ERROR_GEN_FAILURE));
  for (int i = 0; i < 3; ++i) PJLMonReadPort(port, buffer, sizeof buffer, &count);
  const DWORD end = clockTickCount();
  const auto calls = printer(port).calls(sim::Entry::ReadPort);
  ASSERT_EQ(3u, calls.size());
  EXPECT_FALSE(calls[1].result);
  EXPECT_GE(calls[1].time - calls[0].time, 30u);
  EXPECT_GE(calls[2].time - calls[1].time, 30u);
  EXPECT_GE(end - calls[2].time, 30u);
}

}  // namespace

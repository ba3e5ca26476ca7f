// What the monitor must survive because Windows does it, pinned on both builds (the
// stand-in with its test switches on): a closed handle's value names the next new
// object, and a wait for an operation's result can end, with success, while the
// operation still runs; a cancellation may end later.
#include <vector>

#include "platform/strict_platform.h"
#include "platform_test_util.h"

namespace {

class StrictPlatform : public ::testing::Test {
 protected:
  void SetUp() override {
    platformReuseHandleValues(TRUE);
    platformCancelIoLater(TRUE);
  }
  void TearDown() override {
    platformReuseHandleValues(FALSE);
    platformCancelIoLater(FALSE);
  }
};

TEST_F(StrictPlatform, AClosedHandleValueSoonNamesANewObject) {
  HANDLE stale = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, stale);
  ASSERT_TRUE(CloseHandle(stale));
  std::vector<HANDLE> created;
  HANDLE reborn = nullptr;
  while (reborn == nullptr && created.size() < 64) {
    created.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (created.back() == stale) reborn = created.back();
  }
  ASSERT_EQ(stale, reborn);
  // The stale handle now sets an event it never named.
  EXPECT_TRUE(SetEvent(stale));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reborn, 0));
  for (HANDLE h : created) CloseHandle(h);
}

TEST_F(StrictPlatform, AWaitForAResultWakesWithTheEventAndTheCancelEndsAborted) {
  const std::u16string name = widen("\\\\.\\pipe\\" + uniqueName());
  HANDLE server = CreateNamedPipeW(wide(name), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 10000, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(ConnectNamedPipe(server, &ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);

  // Someone else sets the event (a thread being told to stop): the waiting call
  // wakes and reports success, though no client came. Only the call that does not
  // wait tells that the operation still runs.
  SetEvent(ov.hEvent);
  DWORD n = 1;
  EXPECT_TRUE(GetOverlappedResult(server, &ov, &n, TRUE));
  EXPECT_EQ(0u, n);
  EXPECT_FALSE(GetOverlappedResult(server, &ov, &n, FALSE));
  EXPECT_LAST_ERROR(ERROR_IO_INCOMPLETE);

  // A cancellation may end later: the result is asked for until it is there.
  EXPECT_TRUE(CancelIoEx(server, &ov));
  BOOL ok;
  while (!(ok = GetOverlappedResult(server, &ov, &n, FALSE)) && GetLastError() == ERROR_IO_INCOMPLETE) Sleep(1);
  EXPECT_FALSE(ok);
  EXPECT_LAST_ERROR(ERROR_OPERATION_ABORTED);
  CloseHandle(server);
  CloseHandle(ov.hEvent);
}

}  // namespace

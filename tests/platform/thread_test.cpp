// Threads: the handle signalled at the end, exit codes, ids, priorities, stack
// sizes and the per-thread last error.
#include <cstring>

#include "platform_test_util.h"

namespace {

struct Gate {
  HANDLE go;
  DWORD seenId;
};

DWORD WINAPI waitForGate(LPVOID arg) {
  auto* gate = static_cast<Gate*>(arg);
  gate->seenId = GetCurrentThreadId();
  WaitForSingleObject(gate->go, INFINITE);
  return 42;
}

TEST(Thread, HandleSignalledAtTheEndWithTheExitCode) {
  Gate gate = {CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 32768, waitForGate, &gate, 0, &id);
  ASSERT_NE(nullptr, t);
  EXPECT_NE(0u, id);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(t, 20));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);

  SetEvent(gate.go);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 60000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 0));  // stays signalled
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(42u, code);
  EXPECT_EQ(id, gate.seenId);
  EXPECT_NE(GetCurrentThreadId(), id);
  CloseHandle(t);
  CloseHandle(gate.go);
}

DWORD WINAPI finishAfterRelease(LPVOID arg) {
  Sleep(50);
  SetEvent(static_cast<HANDLE>(arg));
  return 0;
}

TEST(Thread, RunsOnAfterItsHandleIsClosed) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE t = CreateThread(nullptr, 32768, finishAfterRelease, done, 0, nullptr);
  ASSERT_NE(nullptr, t);
  EXPECT_TRUE(CloseHandle(t));  // the monitor closes its thread handles at once
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
  CloseHandle(done);
}

TEST(Thread, PriorityIsAcceptedAndReported) {
  Gate gate = {CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
  HANDLE t = CreateThread(nullptr, 0, waitForGate, &gate, 0, nullptr);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(t));
  EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_LOWEST));
  EXPECT_EQ(THREAD_PRIORITY_LOWEST, GetThreadPriority(t));
  EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(THREAD_PRIORITY_ABOVE_NORMAL, GetThreadPriority(t));
  SetEvent(gate.go);
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  CloseHandle(gate.go);
}

// Fills a large block on the stack: the thread crashes unless its stack holds it.
DWORD WINAPI useStack(LPVOID kilobytes) {
  const size_t size = reinterpret_cast<uintptr_t>(kilobytes) * 1024;
  volatile char* block = static_cast<volatile char*>(__builtin_alloca(size));
  for (size_t i = 0; i < size; i += 512) block[i] = static_cast<char>(i);
  return block[size - 512] == static_cast<char>(size - 512) ? 1 : 0;
}

TEST(Thread, SmallStackSizeStillGetsTheDefaultReservation) {
  // 32768 is the size committed at first; the thread may still grow to the default.
  HANDLE t = CreateThread(nullptr, 32768, useStack, reinterpret_cast<LPVOID>(uintptr_t{256}), 0, nullptr);
  ASSERT_NE(nullptr, t);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 60000));
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(1u, code);
  CloseHandle(t);
}

TEST(Thread, LargeStackSizeIsHonoured) {
  HANDLE t = CreateThread(nullptr, 16u << 20, useStack, reinterpret_cast<LPVOID>(uintptr_t{12 * 1024}), 0, nullptr);
  ASSERT_NE(nullptr, t);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 60000));
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(1u, code);
  CloseHandle(t);
}

DWORD WINAPI setOwnError(LPVOID arg) {
  SetLastError(ERROR_BROKEN_PIPE);
  *static_cast<DWORD*>(arg) = GetLastError();
  return 0;
}

TEST(LastError, IsPerThread) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  DWORD seen = 0;
  HANDLE t = CreateThread(nullptr, 0, setOwnError, &seen, 0, nullptr);
  ASSERT_NE(nullptr, t);
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), seen);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
}

}  // namespace

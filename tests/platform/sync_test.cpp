// Events, mutexes, critical sections and waits as the monitor relies on them.
#include "platform_test_util.h"

namespace {

TEST(Event, AutoResetReleasesOneWaitAndResets) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
  EXPECT_TRUE(SetEvent(e));
  EXPECT_TRUE(SetEvent(e));  // setting twice still releases one wait
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
  CloseHandle(e);

  HANDLE initiallySet = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(initiallySet, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(initiallySet, 0));
  CloseHandle(initiallySet);
}

TEST(Event, ManualResetStaysSetUntilReset) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 10));
  EXPECT_TRUE(ResetEvent(e));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
  EXPECT_TRUE(SetEvent(e));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
  CloseHandle(e);
}

DWORD WINAPI setLater(LPVOID event) {
  Sleep(20);
  SetEvent(static_cast<HANDLE>(event));
  return 0;
}

TEST(Event, WaitEndsWhenAnotherThreadSets) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE t = CreateThread(nullptr, 0, setLater, e, 0, nullptr);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 60000));
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  CloseHandle(e);
}

TEST(Event, NamedEventOpensTheSameObject) {
  const std::u16string name = widen(uniqueName());
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, wide(name));
  ASSERT_NE(nullptr, first);
  EXPECT_LAST_ERROR(ERROR_SUCCESS);
  HANDLE second = CreateEventW(nullptr, FALSE, TRUE, wide(name));
  ASSERT_NE(nullptr, second);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(second, 0));  // the first creation's state
  SetEvent(first);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));  // and its manual reset
  CloseHandle(first);
  CloseHandle(second);
}

struct MutexProbe {
  HANDLE mutex;
  DWORD waitResult;
  BOOL released;
  DWORD releaseError;
};

DWORD WINAPI probeMutex(LPVOID arg) {
  auto* probe = static_cast<MutexProbe*>(arg);
  probe->waitResult = WaitForSingleObject(probe->mutex, 0);
  SetLastError(0);
  probe->released = ReleaseMutex(probe->mutex);
  probe->releaseError = GetLastError();
  return 0;
}

DWORD WINAPI takeAndEnd(LPVOID mutex) {
  WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
  return 0;
}

void runToEnd(LPTHREAD_START_ROUTINE routine, LPVOID arg) {
  HANDLE t = CreateThread(nullptr, 0, routine, arg, 0, nullptr);
  ASSERT_NE(nullptr, t);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 60000));
  CloseHandle(t);
}

TEST(Mutex, OwnerRecursesAndOthersCannotTakeOrRelease) {
  HANDLE m = CreateMutexW(nullptr, TRUE, nullptr);
  ASSERT_NE(nullptr, m);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));  // owned twice now

  MutexProbe probe = {m, 0, TRUE, 0};
  runToEnd(probeMutex, &probe);
  EXPECT_EQ(WAIT_TIMEOUT, probe.waitResult);
  EXPECT_FALSE(probe.released);
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), probe.releaseError);

  EXPECT_TRUE(ReleaseMutex(m));
  runToEnd(probeMutex, &probe);  // one ownership left: still not free
  EXPECT_EQ(WAIT_TIMEOUT, probe.waitResult);

  EXPECT_TRUE(ReleaseMutex(m));
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(m));  // released as often as taken
  EXPECT_LAST_ERROR(ERROR_NOT_OWNER);

  runToEnd(probeMutex, &probe);  // free: the other thread takes and gives it back
  EXPECT_EQ(WAIT_OBJECT_0, probe.waitResult);
  EXPECT_TRUE(probe.released);
  CloseHandle(m);
}

TEST(Mutex, OwnerEndingAbandonsIt) {
  HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_NE(nullptr, m);
  runToEnd(takeAndEnd, m);
  EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(m, 5000));
  EXPECT_TRUE(ReleaseMutex(m));  // the abandoned mutex now belongs to this thread
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST(Wait, TimesOutOnUnsignalledObjects) {
  HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const DWORD start = GetTickCount();
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 50));
  EXPECT_GE(GetTickCount() - start, 25u);  // the wait was taken, not skipped
  CloseHandle(e);
}

TEST(Wait, FailsOnClosedAndNullHandles) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_TRUE(CloseHandle(e));
  SetLastError(0);
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(nullptr, 0));
  EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
}

struct SectionProbe {
  CRITICAL_SECTION* cs;
  HANDLE entered;
  int counter;
};

DWORD WINAPI enterSection(LPVOID arg) {
  auto* probe = static_cast<SectionProbe*>(arg);
  EnterCriticalSection(probe->cs);
  ++probe->counter;
  LeaveCriticalSection(probe->cs);
  SetEvent(probe->entered);
  return 0;
}

TEST(CriticalSection, ReentrantForItsOwnerExclusiveForOthers) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // the owner enters again without blocking

  SectionProbe probe = {&cs, CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
  HANDLE t = CreateThread(nullptr, 0, enterSection, &probe, 0, nullptr);
  ASSERT_NE(nullptr, t);
  LeaveCriticalSection(&cs);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(probe.entered, 100));  // still held once
  LeaveCriticalSection(&cs);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(probe.entered, 60000));
  WaitForSingleObject(t, INFINITE);
  EnterCriticalSection(&cs);
  EXPECT_EQ(1, probe.counter);
  LeaveCriticalSection(&cs);

  CloseHandle(t);
  CloseHandle(probe.entered);
  DeleteCriticalSection(&cs);
}

}  // namespace

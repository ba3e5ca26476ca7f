// Threads: CreateThread over detached pthreads, the thread handle signalled at the
// end, exit codes, recorded priorities and Windows-style thread ids.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix/kernel_object.h"

namespace posix {
namespace {

// Windows gives every thread at least the executable's default stack reservation.
constexpr SIZE_T kDefaultStack = 1024 * 1024;
constexpr SIZE_T kReservationGranularity = 64 * 1024;

std::atomic<DWORD> g_nextThreadId{4};
thread_local DWORD t_threadId = 0;

DWORD newThreadId() { return g_nextThreadId.fetch_add(4, std::memory_order_relaxed); }

class ThreadObject : public KernelObject {
 public:
  ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID parameter)
      : KernelObject(ObjectKind::Thread), start_(start), parameter_(parameter), id_(newThreadId()) {}

  DWORD id() const { return id_; }

  DWORD wait(DWORD ms) override {
    std::unique_lock<std::mutex> lock(lock_);
    return waitUntilReady(cv_, lock, ms, [this] { return ended_; }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

  DWORD exitCode() {
    std::lock_guard<std::mutex> guard(lock_);
    return ended_ ? exitCode_ : STILL_ACTIVE;
  }

  int priority() {
    std::lock_guard<std::mutex> guard(lock_);
    return priority_;
  }

  void setPriority(int priority) {
    std::lock_guard<std::mutex> guard(lock_);
    priority_ = priority;
  }

  void run() {
    t_threadId = id_;
    const DWORD code = start_(parameter_);
    abandonHeldMutexes();
    std::lock_guard<std::mutex> guard(lock_);
    exitCode_ = code;
    ended_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable cv_;
  const LPTHREAD_START_ROUTINE start_;
  const LPVOID parameter_;
  const DWORD id_;
  bool ended_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
  int priority_ = THREAD_PRIORITY_NORMAL;
};

void* threadMain(void* arg) {
  // The thread holds its object until it ends, whatever happens to its handles.
  std::shared_ptr<ThreadObject> self(std::move(*static_cast<std::shared_ptr<ThreadObject>*>(arg)));
  delete static_cast<std::shared_ptr<ThreadObject>*>(arg);
  self->run();
  return nullptr;
}

SIZE_T roundUp(SIZE_T value, SIZE_T unit) { return (value + unit - 1) / unit * unit; }

// Without STACK_SIZE_PARAM_IS_A_RESERVATION the size is what Windows commits at
// first, inside a reservation of at least the default; with it, the reservation.
SIZE_T stackSizeFor(SIZE_T requested, DWORD flags) {
  if (flags & STACK_SIZE_PARAM_IS_A_RESERVATION) {
    const SIZE_T size = roundUp(requested == 0 ? kDefaultStack : requested, kReservationGranularity);
    return size < static_cast<SIZE_T>(PTHREAD_STACK_MIN) ? static_cast<SIZE_T>(PTHREAD_STACK_MIN) : size;
  }
  return requested > kDefaultStack ? roundUp(requested, kDefaultStack) : kDefaultStack;
}

bool validPriority(int priority) {
  return (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
         priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
}

}  // namespace
}  // namespace posix

using posix::ObjectKind;
using posix::ThreadObject;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr || (dwCreationFlags & ~STACK_SIZE_PARAM_IS_A_RESERVATION) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>(lpStartAddress, lpParameter);
  const DWORD id = thread->id();
  HANDLE h = posix::handleOpen(thread);

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  int rc = pthread_attr_setstacksize(&attr, posix::stackSizeFor(dwStackSize, dwCreationFlags));
  if (rc == 0) {
    auto* arg = new std::shared_ptr<ThreadObject>(std::move(thread));
    pthread_t tid;
    rc = pthread_create(&tid, &attr, posix::threadMain, arg);
    if (rc != 0) delete arg;
  }
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    posix::handleClose(h);
    SetLastError(rc == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (lpThreadId != nullptr) *lpThreadId = id;
  return h;
}

BOOL SetThreadPriority(HANDLE hThread, int nPriority) {
  auto thread = posix::handleObjectOf<ThreadObject>(hThread, ObjectKind::Thread);
  if (thread == nullptr) return FALSE;
  if (!posix::validPriority(nPriority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Recorded only: ordinary Linux threads cannot be raised without privileges, and
  // the monitor's correctness never rests on scheduling order.
  thread->setPriority(nPriority);
  return TRUE;
}

int GetThreadPriority(HANDLE hThread) {
  auto thread = posix::handleObjectOf<ThreadObject>(hThread, ObjectKind::Thread);
  if (thread == nullptr) return THREAD_PRIORITY_ERROR_RETURN;
  return thread->priority();
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = posix::handleObjectOf<ThreadObject>(hThread, ObjectKind::Thread);
  if (thread == nullptr) return FALSE;
  *lpExitCode = thread->exitCode();
  return TRUE;
}

DWORD GetCurrentThreadId(void) {
  if (posix::t_threadId == 0) posix::t_threadId = posix::newThreadId();
  return posix::t_threadId;
}

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

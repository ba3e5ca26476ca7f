// Critical sections, events, mutexes and WaitForSingleObject.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/kernel_object.h"

namespace posix {
namespace {

class EventObject : public KernelObject {
 public:
  EventObject(bool manualReset, bool signalled)
      : KernelObject(ObjectKind::Event), manualReset_(manualReset), signalled_(signalled) {}

  DWORD wait(DWORD ms) override {
    std::unique_lock<std::mutex> lock(lock_);
    if (!waitUntilReady(cv_, lock, ms, [this] { return signalled_; })) return WAIT_TIMEOUT;
    if (!manualReset_) signalled_ = false;  // an auto-reset event releases exactly one waiter
    return WAIT_OBJECT_0;
  }

  void set(bool signalled) {
    std::lock_guard<std::mutex> guard(lock_);
    signalled_ = signalled;
    if (signalled) cv_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable cv_;
  const bool manualReset_;
  bool signalled_;
};

class MutexObject;

// The mutexes the calling thread owns, so that its end abandons them as on Windows.
struct HeldMutexes {
  std::vector<std::weak_ptr<MutexObject>> mutexes;
  ~HeldMutexes();
  void add(const std::shared_ptr<MutexObject>& m) { mutexes.push_back(m); }
  void remove(const MutexObject* m) {
    mutexes.erase(std::remove_if(mutexes.begin(), mutexes.end(),
                                 [m](const std::weak_ptr<MutexObject>& w) {
                                   std::shared_ptr<MutexObject> held = w.lock();
                                   return held == nullptr || held.get() == m;
                                 }),
                  mutexes.end());
  }
};

thread_local HeldMutexes t_held;

class MutexObject : public KernelObject, public std::enable_shared_from_this<MutexObject> {
 public:
  MutexObject() : KernelObject(ObjectKind::Mutex) {}

  DWORD wait(DWORD ms) override {
    const DWORD me = GetCurrentThreadId();
    std::unique_lock<std::mutex> lock(lock_);
    if (!waitUntilReady(cv_, lock, ms, [this, me] { return count_ == 0 || owner_ == me; })) return WAIT_TIMEOUT;
    take(me);
    if (abandoned_) {
      abandoned_ = false;
      return WAIT_ABANDONED;
    }
    return WAIT_OBJECT_0;
  }

  void takeInitially() {
    std::lock_guard<std::mutex> guard(lock_);
    take(GetCurrentThreadId());
  }

  bool release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (count_ == 0 || owner_ != GetCurrentThreadId()) return false;
    if (--count_ == 0) {
      owner_ = 0;
      t_held.remove(this);
      cv_.notify_all();
    }
    return true;
  }

  // The owner ended without releasing: the next waiter gets it with WAIT_ABANDONED.
  void abandon(DWORD owner) {
    std::lock_guard<std::mutex> guard(lock_);
    if (count_ == 0 || owner_ != owner) return;
    count_ = 0;
    owner_ = 0;
    abandoned_ = true;
    cv_.notify_all();
  }

 private:
  void take(DWORD me) {
    if (count_++ == 0) {
      owner_ = me;
      t_held.add(shared_from_this());
    }
  }

  std::mutex lock_;
  std::condition_variable cv_;
  DWORD owner_ = 0;
  DWORD count_ = 0;
  bool abandoned_ = false;
};

HeldMutexes::~HeldMutexes() { abandonHeldMutexes(); }

// Named objects: a second creation under the same name opens the first object.
std::mutex g_namesLock;
std::map<std::u16string, std::weak_ptr<KernelObject>> g_names;

std::u16string widenLatin1(LPCSTR name) {
  std::u16string wide;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) wide.push_back(*p);
  return wide;
}

template <typename Make>
HANDLE createNamed(LPCWSTR name, ObjectKind kind, Make make) {
  if (name == nullptr || *name == 0) {
    HANDLE h = handleOpen(make());
    SetLastError(ERROR_SUCCESS);
    return h;
  }
  std::lock_guard<std::mutex> guard(g_namesLock);
  std::weak_ptr<KernelObject>& slot = g_names[std::u16string(name)];
  if (std::shared_ptr<KernelObject> existing = slot.lock()) {
    if (existing->kind() != kind) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    HANDLE h = handleOpen(existing);
    SetLastError(ERROR_ALREADY_EXISTS);
    return h;
  }
  std::shared_ptr<KernelObject> object = make();
  slot = object;
  HANDLE h = handleOpen(object);
  SetLastError(ERROR_SUCCESS);
  return h;
}

HANDLE createEvent(BOOL manualReset, BOOL initialState, LPCWSTR name) {
  return createNamed(name, ObjectKind::Event,
                     [=] { return std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE); });
}

HANDLE createMutex(BOOL initialOwner, LPCWSTR name) {
  return createNamed(name, ObjectKind::Mutex, [=] {
    auto m = std::make_shared<MutexObject>();
    if (initialOwner) m->takeInitially();
    return m;
  });
}

struct CriticalSection {
  std::recursive_mutex mutex;
};

}  // namespace

void setEventObject(const std::shared_ptr<KernelObject>& event) {
  if (event != nullptr && event->kind() == ObjectKind::Event) static_cast<EventObject*>(event.get())->set(true);
}

void abandonHeldMutexes() {
  const DWORD me = GetCurrentThreadId();
  std::vector<std::weak_ptr<MutexObject>> held;
  held.swap(t_held.mutexes);
  for (const std::weak_ptr<MutexObject>& w : held) {
    if (std::shared_ptr<MutexObject> m = w.lock()) m->abandon(me);
  }
}

}  // namespace posix

using posix::ObjectKind;

void InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->impl = new posix::CriticalSection; }

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  delete static_cast<posix::CriticalSection*>(cs->impl);
  cs->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) { static_cast<posix::CriticalSection*>(cs->impl)->mutex.lock(); }

void LeaveCriticalSection(LPCRITICAL_SECTION cs) { static_cast<posix::CriticalSection*>(cs->impl)->mutex.unlock(); }

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) {
  return posix::createEvent(bManualReset, bInitialState, lpName);
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  if (lpName == nullptr) return posix::createEvent(bManualReset, bInitialState, nullptr);
  return posix::createEvent(bManualReset, bInitialState, posix::widenLatin1(lpName).c_str());
}

BOOL SetEvent(HANDLE hEvent) {
  auto event = posix::handleObjectOf<posix::EventObject>(hEvent, ObjectKind::Event);
  if (event == nullptr) return FALSE;
  event->set(true);
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  auto event = posix::handleObjectOf<posix::EventObject>(hEvent, ObjectKind::Event);
  if (event == nullptr) return FALSE;
  event->set(false);
  return TRUE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
  return posix::createMutex(bInitialOwner, lpName);
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
  if (lpName == nullptr) return posix::createMutex(bInitialOwner, nullptr);
  return posix::createMutex(bInitialOwner, posix::widenLatin1(lpName).c_str());
}

BOOL ReleaseMutex(HANDLE hMutex) {
  auto mutex = posix::handleObjectOf<posix::MutexObject>(hMutex, ObjectKind::Mutex);
  if (mutex == nullptr) return FALSE;
  if (!mutex->release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hHandle);
  if (object == nullptr) return WAIT_FAILED;
  return object->wait(dwMilliseconds);
}

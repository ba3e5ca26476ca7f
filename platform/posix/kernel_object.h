// The stand-in's kernel objects and the handle table behind every HANDLE and HKEY.
// Internal to platform/posix: the monitor sees only the Win32 calls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "win32_backend.h"

namespace posix {

enum class ObjectKind { Event, Mutex, Thread, File, RegistryKey, Pipe };

// One object behind one or more handles. It lives while a handle or a running
// operation (a wait, a thread) still holds it, as on Windows.
class KernelObject {
 public:
  explicit KernelObject(ObjectKind kind) : kind_(kind) {}
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;
  virtual ~KernelObject() = default;

  ObjectKind kind() const { return kind_; }

  // WaitForSingleObject: WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT. Objects
  // that cannot be waited on give WAIT_FAILED with ERROR_INVALID_HANDLE.
  virtual DWORD wait(DWORD ms);

  // ReadFile and WriteFile; objects without data fail with ERROR_INVALID_HANDLE.
  virtual BOOL read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped);
  virtual BOOL write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped);

  // ImpersonateNamedPipeClient: the connected Unix socket whose peer is the client
  // of a pipe's server end; -1 for every other object.
  virtual int clientSocket() const { return -1; }
  // Whether that client opened the pipe with only its identification to lend
  // (SECURITY_IDENTIFICATION or SECURITY_ANONYMOUS): the server may not act as it.
  virtual bool clientIdentifiesOnly() const { return false; }
  // Whether a test made the connected client an ordinary caller (pipe_peer.h).
  virtual bool clientMadeOrdinary() const { return false; }

 private:
  const ObjectKind kind_;
};

// A fresh handle to object (never NULL, never INVALID_HANDLE_VALUE; a closed value
// comes back only while platformReuseHandleValues is on).
HANDLE handleOpen(std::shared_ptr<KernelObject> object);

// The object behind h, or nullptr with ERROR_INVALID_HANDLE set.
std::shared_ptr<KernelObject> handleObject(HANDLE h);

// The object behind h if it is of kind, else nullptr with ERROR_INVALID_HANDLE set.
template <typename T>
std::shared_ptr<T> handleObjectOf(HANDLE h, ObjectKind kind) {
  std::shared_ptr<KernelObject> object = handleObject(h);
  if (object == nullptr) return nullptr;
  if (object->kind() != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(object);
}

// Removes h from the table; the object goes when its last holder lets it go.
// False when h is not open, or names an object of another kind than kind.
bool handleClose(HANDLE h);
bool handleCloseOf(HANDLE h, ObjectKind kind);

// Live handles of the process.
DWORD handleCount();

// Waits on cv until ready() holds or ms milliseconds have passed (INFINITE: no
// limit); true when ready() holds. The time-out runs on the monotonic clock.
template <typename Ready>
bool waitUntilReady(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD ms, Ready ready) {
  if (ms == INFINITE) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms), ready);
}

// Sets the event behind a reference taken earlier (the way an operation holds its
// OVERLAPPED's event from start to end, whatever happens to the handle); any other
// object is left alone.
void setEventObject(const std::shared_ptr<KernelObject>& event);

// Called by an ending thread: the mutexes it still owns become abandoned.
void abandonHeldMutexes();

// The Win32 error for a C library errno value.
DWORD errorFromErrno(int error);

// True while the calling thread acts as a pipe client that lent only its
// identification: files cannot be opened (platform/posix/security.cpp).
bool threadIdentifiesOnly();

// CreateFile of "\\.\pipe\NAME" opens the client end of that pipe (platform/posix/pipe.cpp).
bool isPipeName(const std::u16string& name);
HANDLE openPipeClient(const std::u16string& name, DWORD access, DWORD flags);

}  // namespace posix

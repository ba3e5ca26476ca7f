// The handle table: every HANDLE and HKEY the stand-in gives out names one kernel
// object. By default handle values are never reused, so a stale handle fails
// cleanly; the test switch makes the next creation take the value closed last, as
// Windows does, so that a stale handle reaches the newer object.
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/handle_count.h"
#include "platform/posix/kernel_object.h"
#include "platform/strict_platform.h"

namespace posix {

namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x100;  // multiples of 4, like Windows handles
  bool reuse = false;
  std::vector<uintptr_t> freed;  // closed values, the latest last (only while reuse is on)
};

HandleTable& table() {
  static HandleTable* const instance = new HandleTable;  // outlives every static destructor
  return *instance;
}

bool isPredefinedKey(uintptr_t value) { return value >= 0x80000000u && value <= 0x800000FFu; }

}  // namespace

DWORD KernelObject::wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

BOOL KernelObject::read(LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

BOOL KernelObject::write(LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

HANDLE handleOpen(std::shared_ptr<KernelObject> object) {
  HandleTable& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  uintptr_t value;
  if (t.reuse && !t.freed.empty()) {
    value = t.freed.back();
    t.freed.pop_back();
  } else {
    value = t.next;
    if (isPredefinedKey(value)) value = 0x80000100u;
    t.next = value + 4;
  }
  t.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> handleObject(HANDLE h) {
  HandleTable& t = table();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it != t.objects.end()) return it->second;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

bool handleCloseOf(HANDLE h, ObjectKind kind) {
  std::shared_ptr<KernelObject> object;  // released after the table's lock
  HandleTable& t = table();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it != t.objects.end() && it->second->kind() == kind) {
      object = std::move(it->second);
      t.objects.erase(it);
      if (t.reuse) t.freed.push_back(reinterpret_cast<uintptr_t>(h));
      return true;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

bool handleClose(HANDLE h) {
  std::shared_ptr<KernelObject> object;  // released after the table's lock
  HandleTable& t = table();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it != t.objects.end()) {
      object = std::move(it->second);
      t.objects.erase(it);
      if (t.reuse) t.freed.push_back(reinterpret_cast<uintptr_t>(h));
      return true;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

DWORD handleCount() {
  HandleTable& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  return static_cast<DWORD>(t.objects.size());
}

}  // namespace posix

BOOL CloseHandle(HANDLE hObject) { return posix::handleClose(hObject) ? TRUE : FALSE; }

void platformReuseHandleValues(BOOL on) {
  posix::HandleTable& t = posix::table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.reuse = on != FALSE;
  if (!t.reuse) t.freed.clear();
}

DWORD platformHandleCount(void) { return posix::handleCount(); }

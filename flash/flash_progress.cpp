#include "flash/flash_progress.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "port/port_record.h"

namespace {

struct Hook {
  FlashProgressHook function;
  void* context;
};

std::atomic<const Hook*> g_hook{nullptr};
Hook g_hookSlot;

}  // namespace

void setFlashProgress(INIPORT* pIniPort, LPCSTR format, ...) {
  char text[FLASH_PROGRESS_SIZE];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  EnterCriticalSection(&pIniPort->flash.FlashLock);
  memcpy(pIniPort->flash.FlashProgress, text, sizeof text);
  LeaveCriticalSection(&pIniPort->flash.FlashLock);
  // Outside the lock, so that a hook may hold the writer while the pipe reads.
  const Hook* hook = g_hook.load(std::memory_order_acquire);
  if (hook != nullptr) hook->function(pIniPort, text, hook->context);
}

void copyFlashProgress(INIPORT* pIniPort, LPSTR pOut, size_t cbOut) {
  if (cbOut == 0) return;
  EnterCriticalSection(&pIniPort->flash.FlashLock);
  snprintf(pOut, cbOut, "%s", pIniPort->flash.FlashProgress);
  LeaveCriticalSection(&pIniPort->flash.FlashLock);
}

void flashProgressHook(FlashProgressHook hook, void* context) {
  if (hook == nullptr) {
    g_hook.store(nullptr, std::memory_order_release);
    return;
  }
  g_hookSlot = Hook{hook, context};
  g_hook.store(&g_hookSlot, std::memory_order_release);
}

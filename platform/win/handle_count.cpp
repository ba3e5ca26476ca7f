#include "platform/handle_count.h"

DWORD platformHandleCount(void) {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return 0;
  return count;
}

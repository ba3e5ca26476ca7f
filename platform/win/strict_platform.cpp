// Windows reuses handle values and may end a cancelled operation later by itself:
// the switches have nothing to change here.
#include "platform/strict_platform.h"

void platformReuseHandleValues(BOOL) {}

void platformCancelIoLater(BOOL) {}

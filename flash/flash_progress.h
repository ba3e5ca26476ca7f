// The port's firmware progress text: five comma-separated fields (stage, stage
// value, stage count, "P" or "F", free text), written by the firmware update and
// read by the pipe. Both go through FlashLock, so a reader never sees a line being
// rewritten.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

struct INIPORT;

#define FLASH_PROGRESS_NONE "3,0,0,P,NONE"

// Formats the new progress text (cut to fit FlashProgress).
void setFlashProgress(INIPORT* pIniPort, LPCSTR format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Copies the progress text into pOut (cut to cbOut - 1 characters, terminated).
void copyFlashProgress(INIPORT* pIniPort, LPSTR pOut, size_t cbOut);

// Test-only: called on the writer's thread with every new progress text once it is
// in place, outside FlashLock, so a hook may hold the writer while the text is read
// (NULL removes the hook). One writer at a time per port keeps the calls in order.
typedef void (*FlashProgressHook)(INIPORT* pIniPort, LPCSTR text, void* context);
void flashProgressHook(FlashProgressHook hook, void* context);

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

// Test-only: called with every new progress text, under FlashLock, in the order of
// the writes (NULL removes the hook).
typedef void (*FlashProgressHook)(INIPORT* pIniPort, LPCSTR text, void* context);
void flashProgressHook(FlashProgressHook hook, void* context);

// Vendor requests to the printer through the lower port monitor's
// GetPrinterDataFromPort entry, the printer's watchdog, and the trace of a platform
// error with its system text.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// Control codes the lower port monitor passes to the device.
#define IOCTL_USBPRINT_VENDOR_SET_COMMAND 0x220038u
#define IOCTL_PAR_QUERY_DEVICE_ID 0x16000Cu

// The watchdog requests: 0x55, time-out in seconds, 0x01 arms; 0x55, 0, 0 disarms.
#define WATCHDOG_REQUEST 0x55u
#define WATCHDOG_REQUEST_LENGTH 3u

// Sends one vendor request (3 or 8 bytes, byte 0 the request code); TRUE when the
// lower monitor accepted it. Nothing is sent while communication with the printer
// is bad or a USB CRC error is pending.
BOOL sendVendorCommand(INIPORT* pIniPort, const BYTE* pRequest, DWORD length);

// The same, sent even after a failed read or a USB CRC error of the last document:
// for a request that ends a state the printer must not be left in.
BOOL sendVendorCommandOnBadLink(INIPORT* pIniPort, const BYTE* pRequest, DWORD length);

// Arms the printer's watchdog on a USB port whose printer supports it; inDocument
// selects the printing time-out instead of the idle one.
void sendEnableWatchDog(INIPORT* pIniPort, BOOL inDocument);

// Disarms the watchdog where it can be armed; FALSE when nothing was sent or the
// request failed.
BOOL sendDisableWatchDog(INIPORT* pIniPort);

// Traces the calling thread's last error after prefix, with the system's text for it.
void traceLastError(INIPORT* pIniPort, LPCSTR prefix);

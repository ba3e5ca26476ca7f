// Vendor requests to the printer through the lower port monitor's
// GetPrinterDataFromPort entry, their answers, and the printer's watchdog.
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

// The 8-byte vendor request: byte 0 the request code, then "12" and zeros. A ticket
// request carries the ticket's 7 parameter bytes after the code instead.
struct VendorFrame {
  BYTE bytes[8];
};
VendorFrame vendorFrame(BYTE code);
BOOL sendVendorRequest(INIPORT* pIniPort, BYTE code);
BOOL sendVendorRequestOnBadLink(INIPORT* pIniPort, BYTE code);

// The same, sent even after a failed read or a USB CRC error of the last document:
// for a request that ends a state the printer must not be left in.
BOOL sendVendorCommandOnBadLink(INIPORT* pIniPort, const BYTE* pRequest, DWORD length);

// One exchange, under the LinkLock: the vendor request vendorFrame(code), 50 ms, the read
// of the reply the printer had queued before the request (the stale reply), 50 ms,
// the read of its answer, each read at most size bytes. FALSE, with *count 0, when
// the request was not sent or either read failed.
BOOL vendorExchange(INIPORT* pIniPort, BYTE code, LPBYTE reply, DWORD size, LPDWORD count, BOOL keepCopies);

// Arms the printer's watchdog on a USB port whose printer supports it; inDocument
// selects the printing time-out instead of the idle one.
void sendEnableWatchDog(INIPORT* pIniPort, BOOL inDocument);

// Disarms the watchdog where it can be armed; FALSE when nothing was sent or the
// request failed.
BOOL sendDisableWatchDog(INIPORT* pIniPort);

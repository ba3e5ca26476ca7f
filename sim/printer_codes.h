// What the ticket printer understands and answers: its status bits, the request
// codes of its vendor requests and the control ids they travel with.
#pragma once

#include "platform/win32_api.h"

namespace sim {

// Status byte 1 (reply byte 3).
namespace status1 {
constexpr BYTE SystemNotReady = 0x80;   // SYSTEM_NOT_READY
constexpr BYTE SystemDiagError = 0x40;  // SYSTEM_DIAG_ERROR
constexpr BYTE ManualDeselect = 0x20;   // MANUAL_DESELECT
constexpr BYTE OutputJam = 0x10;        // OUTPUT_JAM
constexpr BYTE PaperRegError = 0x08;    // PAPER_REG_ERROR
constexpr BYTE CutterJam = 0x04;        // CUTTER_JAM
constexpr BYTE HeadLeverUp = 0x02;      // HEAD_LEVER_UP
constexpr BYTE OutOfPaper = 0x01;       // OUT_OF_PAPER
}  // namespace status1

// The conditions in which the printer takes no data until the operator clears them.
constexpr BYTE kStopsPrinting = status1::ManualDeselect | status1::OutputJam | status1::PaperRegError |
                                status1::CutterJam | status1::HeadLeverUp | status1::OutOfPaper;

// Status byte 2 (reply byte 4).
namespace status2 {
constexpr BYTE DocInProgress = 0x80;   // DOC_IN_PROGRESS
constexpr BYTE PrinterTimeout = 0x40;  // PRINTER_TIMEOUT
constexpr BYTE Busy = 0x20;            // BUSY
constexpr BYTE PhTempWait = 0x10;      // PH_TEMP_WAIT
constexpr BYTE TicketNotTaken = 0x08;  // TICKET_NOT_TAKEN
constexpr BYTE AvgPowerWait = 0x04;    // AVG_POWER_WAIT
constexpr BYTE LowPaper = 0x01;        // LOW_PAPER
}  // namespace status2

// Byte 0 of a vendor request.
namespace request {
constexpr BYTE ShortStatus = 0;
constexpr BYTE NormalStatus = 1;
constexpr BYTE ExtendedStatus = 2;
constexpr BYTE CompleteStatus = 3;
constexpr BYTE FirstField = 4;  // 4 + n asks for field n, n = 0 ... 15
constexpr BYTE LastField = 19;
constexpr BYTE PrintF0Ticket = 41;
constexpr BYTE StartOfDocument = 0x23;
constexpr BYTE EndOfDocument = 0x24;
constexpr BYTE EnterFlashMode = 0x25;
constexpr BYTE EndFlashTransfer = 0x26;
constexpr BYTE EndOfPage = 0x27;
constexpr BYTE Watchdog = 0x55;  // 3 bytes: 0x55 T 0x01 arms for T seconds, 0x55 0 0 disarms
}  // namespace request

constexpr DWORD kVendorSetCommand = 0x220038;  // IOCTL_USBPRINT_VENDOR_SET_COMMAND
constexpr DWORD kQueryDeviceId = 0x16000C;     // IOCTL_PAR_QUERY_DEVICE_ID

constexpr BYTE kXon = 0x11;
constexpr BYTE kXoff = 0x13;

}  // namespace sim

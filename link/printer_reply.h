// The printer's status language: the ESC I request forms and their one-byte request
// codes, the bits of the two status bytes, the bitwise status word, the off-line
// fake reply and the reply buffer sizes.
#pragma once

#include "platform/win32_api.h"

#define STATUS_ESC 0x1B

// Status request codes: byte 0 of the vendor request that carries a status request.
#define SHORT_STATUS 0
#define NORMAL_STATUS 1
#define EXTENDED_STATUS 2
#define COMPLETE_STATUS 3
#define FIELD_00 4  // FIELD_00 + n asks for field n, n = 0 ... 15
#define FIELD_15 19
#define STATUS_1 20
#define STATUS_2 21
#define STATUS_3 22
#define STATUS_4 23
#define STATUS_5 24
#define STATUS_7 25
#define STATUS_Z 26
#define ID_STRING 27
#define PRINT_F0_TICKET 41

// Status byte 1, reply byte 3.
#define SYSTEM_NOT_READY 0x80
#define SYSTEM_DIAG_ERROR 0x40
#define MANUAL_DESELECT 0x20
#define OUTPUT_JAM 0x10
#define PAPER_REG_ERROR 0x08
#define CUTTER_JAM 0x04
#define HEAD_LEVER_UP 0x02
#define OUT_OF_PAPER 0x01

// Status byte 2, reply byte 4.
#define DOC_IN_PROGRESS 0x80
#define PRINTER_TIMEOUT 0x40
#define BUSY 0x20
#define PH_TEMP_WAIT 0x10
#define TICKET_NOT_TAKEN 0x08
#define AVG_POWER_WAIT 0x04
#define LOW_PAPER 0x01
// Status byte 2 as it enters the bitwise status: PRINTER_TIMEOUT and the reserved bit go.
#define STATUS_BYTE2_WORD_MASK 0xBD

// Reply buffers hold 1024 bytes; the monitor's reads ask for at most 1023, or 128
// on a serial query.
#define STATUS_REPLY_SIZE 1024
#define STATUS_READ_MAX 1023
#define SERIAL_READ_MAX 128

#define FAKE_STATUS_LENGTH 5

// The reply type letters the monitor interprets.
inline BOOL isSNECReply(BYTE letter) { return letter == 'S' || letter == 'N' || letter == 'E' || letter == 'C'; }

// The 16-bit bitwise status of two status bytes; bit 0 still holds the raw
// low-paper sensor until the interpretation replaces it by the debounced flag.
inline DWORD bitwiseStatus(BYTE byte1, BYTE byte2) {
  return (static_cast<DWORD>(byte1) << 8) | (byte2 & STATUS_BYTE2_WORD_MASK);
}

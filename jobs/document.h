// The print job path: start of document, writes and end of document.
#pragma once

#include "platform/win32_api.h"
#include "port/port_record.h"

// The 8-byte vendor requests that frame a document and its pages.
#define VENDOR_START_OF_DOCUMENT 0x23
#define VENDOR_END_OF_DOCUMENT 0x24
#define VENDOR_END_OF_PAGE 0x27

#define DEFAULT_USB_PACKET_SIZE 4096u
#define DEFAULT_SERIAL_PACKET_SIZE 512u

// Consecutive unreadable statuses, or futile rewrites, after which a write returns
// the job to the spooler (held) rather than holding the spooler's thread.
#define MAX_FAILED_STATUS_READS 10
#define MAX_NOT_BUSY_POLLS 660

BOOL MonWritePortUSBPaper(INIPORT* pIniPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
BOOL MonEndDocPortUSB(INIPORT* pIniPort);
BOOL findEOP_PAPER(INIPORT* pIniPort, const BYTE* pBuffer, DWORD cbBuf);
// The zero bytes that finish a block the job's data left cut; the scanner is left as it is.
DWORD rasterFillLength(INIPORT* pIniPort);
// Writes those zeros; TRUE when the printer took them all (or none were needed),
// else BlockFillOwed stays set and the lower port's error is the last error.
BOOL finishCutBlock(INIPORT* pIniPort);
// The printer's parser may be anywhere (it restarted and then took job data as
// commands, or took part of a firmware file as job data): the scanner takes it as
// inside the longest block, whose zeros the end of the document or the next
// document's first write sends.
void losePageScannerPlace(INIPORT* pIniPort);
// A port closed inside a block, or with a page end to wait for, keeps that for the
// next record of the same port, which takes it when it opens.
void keepParserPlace(INIPORT* pIniPort);
void takeParserPlace(INIPORT* pIniPort);
// ERROR_SUCCESS when the printer is ready for the next page; else the condition that
// holds the job (ERROR_OUT_OF_PAPER, ERROR_NOT_READY, ERROR_BUSY). A purge or a
// restart loses the job (AbortDoc set) and the wait goes on; an abort loses it and
// ends the wait with ERROR_OPERATION_ABORTED, the printer still busy.
DWORD waitForPrinterNotBusy(INIPORT* pIniPort);
// A printer told of the document no longer shows it in progress: the job is lost.
void printerForgotDocument(INIPORT* pIniPort);
void printLast4Bytes(INIPORT* pIniPort, const BYTE* pBuffer, DWORD cbBuf);

// Sends one framed document request: 35 ms, the 8-byte vendor request, 35 ms.
BOOL sendDocumentRequest(INIPORT* pIniPort, BYTE code);

// Whether a posted port status is one that stops printing.
BOOL isPrinterErrorStatus(DWORD portStatus);
// The last error a held write returns for a posted port status; ERROR_SUCCESS when
// the status stops nothing.
DWORD holdErrorForStatus(DWORD portStatus);

// The per-port record (INIPORT), the per-document job record (INIJOB) and the
// operations on the port list and job lists.
#pragma once

#include "platform/win32_api.h"
#include "port/job_ring.h"
#include "port/relaxed.h"

#define PJ_SIGNATURE 0x4F4A

// INIPORT.flags
#define PP_IN_DOC 0x00000001u         // a document is in progress
#define PP_RUN_THREAD 0x00000002u     // the status thread is to run
#define PP_STATUS_LOOP 0x00000004u    // the status thread is in its polling loop
#define PP_IS_PJL 0x00000040u         // the port takes part in status exchanges
#define PP_SHUTDOWN_PIPE 0x80000000u  // the pipe thread is to stop


// The printer's activity, as the event log reports it.
#define PRINTER_STATE_INITIALIZING 0
#define PRINTER_STATE_HEARTBEAT 1
#define PRINTER_STATE_PRINTING 2
#define PRINTER_STATE_PIPE_REQUEST 3
#define PRINTER_STATE_POLL 6
#define PRINTER_STATE_STALE_REPLY 7

#define FLASH_PROGRESS_SIZE 512
#define SNEC_STATUS_SIZE 512
#define SAVED_STATUS_SIZE 512
#define LAST_STATUS_SIZE 1024
#define RT_STATUS_COMMAND_SIZE 128

struct INIJOB {
  INIJOB* pNext;  // next (older) job
  LPWSTR pPrinterName;  // the copy stored right after this record, in the same block
  HANDLE hPrinter;      // the job's own spooler printer handle
  DWORD JobId;
  DWORD EndTick;
};

// Fields shared between the spooler's threads, the status, pipe and flash threads
// without a lock are Relaxed; buffers name the lock that guards them.
struct INIPORT {
  Relaxed<DWORD> signature;
  INIPORT* pNext;  // under SplSem
  LPWSTR pszPortName;
  Relaxed<DWORD> flags;
  INIJOB* pIniJob;  // under SplSem
  HANDLE hPort;

  Relaxed<HANDLE> WakeUp;  // NULL while no status thread exists
  // The status thread's handle, kept until the thread has ended and been waited for,
  // and WakeUp's event, which lives as long as the record like the other status objects.
  Relaxed<HANDLE> hStatusThread;
  Relaxed<HANDLE> WakeUpEvent;
  Relaxed<HANDLE> DoneReading;
  HANDLE PortFree;  // created with the record, closed with it
  Relaxed<DWORD> PrinterStatus;
  Relaxed<DWORD> AvailableMemory;
  Relaxed<DWORD> InstalledMemory;
  Relaxed<HANDLE> OwnStatusData;
  Relaxed<HANDLE> StatusNotInProgress;
  Relaxed<HANDLE> RTStatusComplete;
  Relaxed<HANDLE> hPipe;
  Relaxed<HANDLE> hPipeEvent;
  Relaxed<HANDLE> hPipeThread;  // the pipe thread, until the port close has waited for it
  Relaxed<HANDLE> hPipeDoingStatus;

  Relaxed<BOOL> RTStatusRequest;
  BYTE RTStatusCommand[RT_STATUS_COMMAND_SIZE];  // written and read under StatusNotInProgress
  Relaxed<DWORD> RTStatusCommandLength;

  BYTE LastStatus[LAST_STATUS_SIZE];  // under OwnStatusData
  DWORD LastStatusLength;             // under OwnStatusData
  // The reply to the pipe's latest live request, kept apart from LastStatus, which
  // the next heartbeat may overwrite before the pipe thread answers.
  BYTE RTStatusReply[LAST_STATUS_SIZE];  // under OwnStatusData
  DWORD RTStatusReplyLength;             // under OwnStatusData

  char PrinterName[512];
  char PortNameA[512];
  WCHAR PrinterNameW[1024];

  Relaxed<HANDLE> heartbeatRun;
  Relaxed<BOOL> FlashInProgress;
  // Set by an administrator's abort or the port close: the update ends at its next step.
  Relaxed<BOOL> FlashCancel;
  char FlashProgress[FLASH_PROGRESS_SIZE];  // under FlashLock
  LPSTR pszFlashFileName;  // an AllocSplMem copy owned by the record, freed with it
  Relaxed<BOOL> FlashWithChecks;
  HANDLE hFlashFile;  // the firmware file, opened with the pipe client's rights
  Relaxed<HANDLE> hFlashThread;  // the last update thread, until the port close waits for it

  BYTE SavedStatus[SAVED_STATUS_SIZE];  // under StatusCopyLock
  DWORD SavedStatusLength;              // under StatusCopyLock
  BYTE SNECStatus[SNEC_STATUS_SIZE];    // under StatusCopyLock
  DWORD SNECStatusLength;               // under StatusCopyLock
  DWORD SNECRepliesKept;                // under StatusCopyLock: counts every SNECStatus kept

  Relaxed<BOOL> AbortPending;
  Relaxed<BOOL> AbortDoc;
  Relaxed<BOOL> UsbCrcError;
  Relaxed<BOOL> WDCapable;
  char WDVersion[32];  // under StatusCopyLock
  Relaxed<BOOL> goodCommWithPrinter;
  Relaxed<BOOL> WDEnable;
  Relaxed<BOOL> AbortOnWriteTimeout;
  Relaxed<BYTE> PortType;  // 1 serial, 2 USB and every other port
  Relaxed<BOOL> EOPFound;
  Relaxed<BYTE> printerState;  // written by the port open and under hPipeDoingStatus only
  Relaxed<BYTE> savedPrinterState;
  // The state the interpreting thread reports while it takes a poll report or a
  // stale reply (PRINTER_STATE_POLL, PRINTER_STATE_STALE_REPLY), 0 otherwise. Kept
  // apart from printerState, so that no interleaving with the pipe's save and
  // restore of printerState leaves either one behind.
  Relaxed<BYTE> reportState;
  // The off-line status the status thread posts at its start, until a reply replaces it.
  Relaxed<BOOL> OfflineAtStart;
  // Printer requests of the event log, made by the status thread after the query
  // that asked for them: the serial number, and the head temperature with the state
  // of its report (LOG_HEAD_TEMP_WANTED | saved state << 8 | state, or 0).
  Relaxed<BOOL> SerialNumberWanted;
  Relaxed<DWORD> HeadTempWanted;
  Relaxed<DWORD> DocCountSOD;
  Relaxed<DWORD> LastPollLogTime;
  Relaxed<BOOL> StatusReadFailed;
  Relaxed<DWORD> DocCountEOD;
  // Whether the counts were read from the printer for this document.
  Relaxed<BOOL> DocCountSODKnown;
  Relaxed<BOOL> DocCountEODKnown;
  char HeadTempEOD[16];
  Relaxed<DWORD> LastWinError;
  Relaxed<DWORD> LastWinErrorLogged;
  Relaxed<BOOL> SpecificRequestSent;
  char StatusTypeText[256];
  Relaxed<DWORD> LastRefreshTime;
  Relaxed<BOOL> WDCountsKnown;
  Relaxed<BYTE> WDEnumerations;
  Relaxed<BYTE> WDTimeouts;
  Relaxed<BOOL> PrinterTimeout;
  Relaxed<BOOL> PrinterPurge;
  Relaxed<BYTE> LowPaperCount;
  Relaxed<BOOL> LowPaper;

  // The end-of-page scanner, kept per port so that two ports printing at once
  // each follow their own data.
  Relaxed<DWORD> eopState;
  Relaxed<DWORD> eopCount;
  // A block a document left open whose zeros the printer has not all taken yet.
  Relaxed<BOOL> BlockFillOwed;
  // The printer took the document's start request, so it shows the document in
  // progress until it ends, unless it restarts.
  Relaxed<BOOL> DocToldToPrinter;
  // A page wait of the document found no device: the printer was off or unplugged.
  Relaxed<BOOL> PrinterGoneInDoc;

  // The document's outcome so far, kept by the job path (job_outcome.h).
  Relaxed<DWORD> JobBytesHanded;
  Relaxed<DWORD> JobBytesDelivered;
  Relaxed<DWORD> JobPageEnds;
  Relaxed<DWORD> JobCause;
  Relaxed<BOOL> JobHeld;  // the last write returned the job to the spooler to retry
  JOBRING Jobs;           // under OutcomeLock

  // Locks this implementation adds around buffers that several threads touch.
  CRITICAL_SECTION StatusCopyLock;  // SNECStatus, SavedStatus, WDVersion
  CRITICAL_SECTION FlashLock;       // FlashProgress
  CRITICAL_SECTION LogLock;         // one log writer call at a time per port
  CRITICAL_SECTION OutcomeLock;     // Jobs
  // Every exchange on the lower port handle (link/link_lock.h).
  CRITICAL_SECTION LinkLock;

  MONITOR fn;  // the lower port monitor's table
};

// The printer's activity as the status interpretation and the event log see it.
inline BYTE currentPrinterState(const INIPORT* pIniPort) {
  const BYTE report = pIniPort->reportState;
  return report != 0 ? report : pIniPort->printerState.load();
}

// Zero-filled memory from the platform's global allocator; NULL when none is left.
LPVOID AllocSplMem(DWORD cb);
void FreeSplMem(LPVOID pMem);
// Blocks handed out and not yet freed: what a port leaves behind shows here.
LONG AllocSplMemBlocks(void);
// A copy of a UTF-16 text in an AllocSplMem block; NULL for a NULL text.
LPWSTR AllocSplStr(LPCWSTR pStr);

// The caller holds SplSem.
INIPORT* CreatePortEntry(LPCWSTR pPortName);
void RemovePortEntry(INIPORT* pIniPort);

// The record behind a spooler port handle, or NULL when the handle is not a valid one.
INIPORT* portRecordFromHandle(HANDLE hPort);

// A job record with a copy of the printer name in the same block; freed by FreeIniJob.
INIJOB* AllocIniJob(LPCWSTR pPrinterName);

void completeIniJobs(INIPORT* pIniPort, DWORD JobId, DWORD Command);
void SendLastPageEjectedForIniJob(INIPORT* pIniPort, INIJOB* pIniJob, DWORD Command);
void FreeIniJob(INIPORT* pIniPort, INIJOB* pIniJob);
// Clears the posted status and frees the listed jobs without a report to the spooler.
void ClearPrinterStatusAndIniJobs(INIPORT* pIniPort);
void displayJobs(INIPORT* pIniPort);

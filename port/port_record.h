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


// The printer's activity, as the status interpretation and the event log see it.
enum PRINTER_STATE : BYTE {
  PRINTER_STATE_NONE = 0,  // reportState only: no poll report or stale reply is being taken
  PRINTER_STATE_INITIALIZING = 0,
  PRINTER_STATE_HEARTBEAT = 1,
  PRINTER_STATE_PRINTING = 2,
  PRINTER_STATE_PIPE_REQUEST = 3,
  PRINTER_STATE_POLL = 6,
  PRINTER_STATE_STALE_REPLY = 7,
};

// How the port's link is driven, decided from the port name at the open.
enum PORT_TYPE : BYTE {
  PORT_TYPE_SERIAL = 1,
  PORT_TYPE_USB = 2,  // USB and every other port: parallel, FILE:, network
};

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

// The record is grouped by owner. Each group names who writes it and what guards it;
// docs/concurrency.md has the waits and the order of the locks. Fields shared between
// threads without a lock are Relaxed; buffers name the lock that guards them.

// Decided by the open from the settings and the port name before the port's threads
// start; only read after that.
struct PORTSETTINGS {
  Relaxed<PORT_TYPE> PortType;
  Relaxed<BOOL> WDEnable;
  Relaxed<BOOL> AbortOnWriteTimeout;
};

// The lower port and what its reads leave behind: the link room's (link/). Every
// exchange on hPort runs under LinkLock (link/link_lock.h).
struct PORTLINK {
  HANDLE hPort;  // the lower port monitor's handle, opened and closed by the entry
  MONITOR fn;    // the lower port monitor's table
  CRITICAL_SECTION LinkLock;
  Relaxed<BOOL> goodCommWithPrinter;  // each read, under LinkLock; cleared by the open
  Relaxed<BOOL> UsbCrcError;          // set by the write path; cleared by the start and the open
  Relaxed<BOOL> WDCapable;            // each read, under LinkLock; cleared by the open
  Relaxed<BOOL> WDCountsKnown;
  Relaxed<BYTE> WDEnumerations;
  Relaxed<BYTE> WDTimeouts;
  // The copies of the printer's replies, kept by every reader under LinkLock and read
  // by the job path and the pipe without it.
  CRITICAL_SECTION StatusCopyLock;      // SNECStatus, SavedStatus, WDVersion, SNECRepliesKept
  char WDVersion[32];                   // under StatusCopyLock
  BYTE SavedStatus[SAVED_STATUS_SIZE];  // under StatusCopyLock
  DWORD SavedStatusLength;              // under StatusCopyLock
  BYTE SNECStatus[SNEC_STATUS_SIZE];    // under StatusCopyLock
  DWORD SNECStatusLength;               // under StatusCopyLock
  DWORD SNECRepliesKept;                // under StatusCopyLock: counts every SNECStatus kept
};

// The document in progress: the job path's (jobs/, the start in entry/). Written by
// the spooler's thread of the document; the pipe sets AbortPending, the update thread
// the page scanner's place while it holds PortFree.
struct PORTDOC {
  Relaxed<BOOL> AbortPending;  // a client asked to abort the document
  Relaxed<BOOL> AbortDoc;      // the job will not print: its remaining bytes are dropped
  Relaxed<BOOL> EOPFound;
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
  Relaxed<DWORD> DocCountSOD;
  Relaxed<DWORD> DocCountEOD;
  // Whether the counts were read from the printer for this document.
  Relaxed<BOOL> DocCountSODKnown;
  Relaxed<BOOL> DocCountEODKnown;
  char HeadTempEOD[16];  // the end of document's thread only
  // The document's outcome so far (jobs/job_outcome.h).
  Relaxed<DWORD> JobBytesHanded;
  Relaxed<DWORD> JobBytesDelivered;
  Relaxed<DWORD> JobPageEnds;
  Relaxed<DWORD> JobCause;
  Relaxed<BOOL> JobHeld;  // the last write returned the job to the spooler to retry
  CRITICAL_SECTION OutcomeLock;  // Jobs
  JOBRING Jobs;                  // under OutcomeLock
};

// The status thread and what it keeps: the status room's (status/). The thread's
// objects are created by its first start and closed with the record
// (port/status_objects.h); a pass runs under StatusNotInProgress.
struct PORTSTATUS {
  Relaxed<HANDLE> WakeUp;  // NULL while no status thread exists
  // The status thread's handle, kept until the thread has ended and been waited for,
  // and WakeUp's event, which lives as long as the record like the other status objects.
  Relaxed<HANDLE> hStatusThread;
  Relaxed<HANDLE> WakeUpEvent;
  Relaxed<HANDLE> DoneReading;
  Relaxed<HANDLE> heartbeatRun;  // set while no document holds the port
  Relaxed<HANDLE> OwnStatusData;
  Relaxed<HANDLE> StatusNotInProgress;
  Relaxed<HANDLE> RTStatusComplete;

  // The pipe's live request, placed under StatusNotInProgress and served by a pass.
  Relaxed<BOOL> RTStatusRequest;
  BYTE RTStatusCommand[RT_STATUS_COMMAND_SIZE];  // written and read under StatusNotInProgress
  Relaxed<DWORD> RTStatusCommandLength;

  BYTE LastStatus[LAST_STATUS_SIZE];  // under OwnStatusData
  DWORD LastStatusLength;             // under OwnStatusData
  // The reply to the pipe's latest live request, kept apart from LastStatus, which
  // the next heartbeat may overwrite before the pipe thread answers.
  BYTE RTStatusReply[LAST_STATUS_SIZE];  // under OwnStatusData
  DWORD RTStatusReplyLength;             // under OwnStatusData

  Relaxed<DWORD> PrinterStatus;  // the spooler port status last posted (port/port_status.h)
  Relaxed<DWORD> AvailableMemory;
  Relaxed<DWORD> InstalledMemory;
  Relaxed<PRINTER_STATE> printerState;  // written by the port open and under hPipeDoingStatus only
  Relaxed<PRINTER_STATE> savedPrinterState;
  // The state the interpreting thread reports while it takes a poll report or a
  // stale reply (PRINTER_STATE_POLL, PRINTER_STATE_STALE_REPLY), PRINTER_STATE_NONE otherwise. Kept
  // apart from printerState, so that no interleaving with the pipe's save and
  // restore of printerState leaves either one behind.
  Relaxed<PRINTER_STATE> reportState;
  // The off-line status the status thread posts at its start, until a reply replaces it.
  Relaxed<BOOL> OfflineAtStart;
  // Printer requests of the event log, made by the status thread after the query
  // that asked for them: the serial number, and the head temperature with the state
  // of its report (LOG_HEAD_TEMP_WANTED | saved state << 8 | state, or 0).
  Relaxed<BOOL> SerialNumberWanted;
  Relaxed<DWORD> HeadTempWanted;
  Relaxed<DWORD> LastPollLogTime;
  Relaxed<BOOL> StatusReadFailed;
  Relaxed<DWORD> LastWinError;
  Relaxed<DWORD> LastWinErrorLogged;
  Relaxed<BOOL> SpecificRequestSent;
  char StatusTypeText[256];  // written by the interpretation of a reply
  Relaxed<DWORD> LastRefreshTime;
  Relaxed<BOOL> PrinterTimeout;
  Relaxed<BOOL> PrinterPurge;
  Relaxed<BYTE> LowPaperCount;
  Relaxed<BOOL> LowPaper;  // the debounced low-paper condition
};

// The pipe thread's (pipe/): its instance, and the mutex its status work takes
// against a document's start and end.
struct PORTPIPE {
  Relaxed<HANDLE> hPipe;
  Relaxed<HANDLE> hPipeEvent;
  Relaxed<HANDLE> hPipeThread;  // the pipe thread, until the port close has waited for it
  Relaxed<HANDLE> hPipeDoingStatus;  // a status object (port/status_objects.h)
};

// The firmware update's (flash/). FlashInProgress is claimed by the update request
// and held until the update thread ends; the rest is set before that thread starts.
struct PORTFLASH {
  Relaxed<BOOL> FlashInProgress;
  // Set by an administrator's abort or the port close: the update ends at its next step.
  Relaxed<BOOL> FlashCancel;
  Relaxed<BOOL> FlashWithChecks;
  CRITICAL_SECTION FlashLock;               // FlashProgress
  char FlashProgress[FLASH_PROGRESS_SIZE];  // under FlashLock
  LPSTR pszFlashFileName;  // an AllocSplMem copy owned by the record, freed with it
  HANDLE hFlashFile;       // the firmware file, opened with the pipe client's rights
  Relaxed<HANDLE> hFlashThread;  // the last update thread, until the port close waits for it
};

struct INIPORT {
  Relaxed<DWORD> signature;
  INIPORT* pNext;  // under SplSem
  LPWSTR pszPortName;
  Relaxed<DWORD> flags;
  INIJOB* pIniJob;  // under SplSem
  HANDLE PortFree;  // created with the record, closed with it
  // Set by the open, before the port's threads start.
  char PrinterName[512];
  char PortNameA[512];
  WCHAR PrinterNameW[1024];
  CRITICAL_SECTION LogLock;  // one log writer call at a time per port

  PORTSETTINGS settings;
  PORTLINK link;
  PORTDOC doc;
  PORTSTATUS status;
  PORTPIPE pipe;
  PORTFLASH flash;
};

// The printer's activity as the status interpretation and the event log see it.
inline PRINTER_STATE currentPrinterState(const INIPORT* pIniPort) {
  const PRINTER_STATE report = pIniPort->status.reportState;
  return report != PRINTER_STATE_NONE ? report : pIniPort->status.printerState.load();
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

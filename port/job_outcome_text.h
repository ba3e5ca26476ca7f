// Why a job did not print: the causes the job path settles on, and the words the
// spooler's queue, the event log, the diagnostic log and qxlm-ctl show for them.
#pragma once

#include "platform/win32_api.h"

enum JobCause : DWORD {
  JOB_CAUSE_NONE = 0,
  JOB_CAUSE_LINK_FAILED,      // a write met a CRC or device failure: what the printer took is unknown
  JOB_CAUSE_WRITE_TIMEOUT,    // a write timed out on a printer that shows no condition to clear
  JOB_CAUSE_ABORTED,          // a pipe client aborted the job
  JOB_CAUSE_PURGED,           // the printer purged what it held
  JOB_CAUSE_ENDED_UNSENT,     // the spooler ended the document with data not yet at the printer
  JOB_CAUSE_PRINTER_ERROR,    // all sent, but the printer showed an error at the end (method 0)
  JOB_CAUSE_PORT_CLOSED,      // the port closed or its job list was cleared with the job listed
  JOB_CAUSE_NO_DATA_PATH,     // a serial port takes no job data through the monitor
  JOB_CAUSE_RESTARTED,        // the printer restarted in the document and forgot it, and its parser's place
  JOB_CAUSE_COUNT
};

inline LPCSTR jobCauseText(DWORD cause) {
  switch (cause) {
    case JOB_CAUSE_NONE: return "none";
    case JOB_CAUSE_LINK_FAILED: return "printer link failed";
    case JOB_CAUSE_WRITE_TIMEOUT: return "write timed out";
    case JOB_CAUSE_ABORTED: return "aborted";
    case JOB_CAUSE_PURGED: return "purged by the printer";
    case JOB_CAUSE_ENDED_UNSENT: return "ended with data not sent";
    case JOB_CAUSE_PRINTER_ERROR: return "printer error at end of job";
    case JOB_CAUSE_PORT_CLOSED: return "port_closed";
    case JOB_CAUSE_NO_DATA_PATH: return "serial port takes no job data";
    case JOB_CAUSE_RESTARTED: return "printer restarted";
    default: return "unknown";
  }
}

// The job's status text in the spooler's queue: "Not printed: <cause>".
#define JOB_NOT_PRINTED_PREFIX "Not printed: "
// The diagnostic log's line id for a job not printed.
#define JOB_NOT_PRINTED_LOG_ID "0030"

enum JobOutcome : DWORD { JOB_OUTCOME_PRINTED = 0, JOB_OUTCOME_HELD = 1, JOB_OUTCOME_NOT_PRINTED = 2 };

inline LPCSTR jobOutcomeText(DWORD outcome) {
  return outcome == JOB_OUTCOME_PRINTED ? "printed" : outcome == JOB_OUTCOME_HELD ? "held" : "not printed";
}

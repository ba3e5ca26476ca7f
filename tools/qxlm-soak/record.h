// What a run records for its invariants, besides what the virtual printers and the
// recording spooler record themselves. The actors fill it while the run goes on;
// the checks read it once every port is closed.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32_api.h"
#include "scenario.h"
#include "trace.h"

namespace soak {

// The invariants, by the names --skip-check takes.
enum class Check { Bytes, Reported, Outcome, Pages, Flash, Replies, LiveStatus, Authority, Bounds, Status, Leaks, Log };
const char* checkName(Check check);
bool checkByName(const std::string& name, Check* check);
const std::vector<Check>& allChecks();

struct Breach {
  Check check = Check::Bytes;
  DWORD at = 0;  // protocol ms after the run's start
  int port = kNoPort;
  std::string text;
};

// The printer's calls made during one write call of the spooler, as indexes into the
// printer's list of calls: [first, end).
typedef std::pair<size_t, size_t> CallRange;

// One attempt at a job: a restarted job has one attempt per start of its document.
struct JobRecord {
  JobPlan plan;
  unsigned port = 0;
  unsigned attempt = 0;
  std::vector<BYTE> data;
  bool started = false;        // the start of the document returned TRUE
  unsigned startFailures = 0;  // starts that returned FALSE before (the spooler retries)
  DWORD startAt = 0;
  DWORD endAt = 0;             // the end of the document returned
  DWORD handedOver = 0;        // bytes the monitor reported written
  bool writeFailed = false;    // a write returned FALSE
  bool cancelled = false;      // the spooler stopped handing data over before the end
  bool ended = false;          // the end of the document was called (not so when the port closed)
  bool closedInDoc = false;    // the spooler closed the port with the document open
  std::vector<CallRange> writeCalls;
  size_t firstCall = 0;        // the printer's calls from the start of the document ...
  size_t endCall = 0;          // ... to the return of its end
  uint64_t startSeq = 0;       // the run's order (RunContext::seq) of the start ...
  uint64_t endDocSeq = 0;      // ... of the call of the end of the document ...
  uint64_t endSeq = 0;         // ... and of its return (or the close's)
};

// A job the spooler was told about, with the run's order and the printer's calls
// of the job's port at that moment.
struct JobReport {
  DWORD jobId = 0;
  DWORD command = 0;
  uint64_t seq = 0;
  size_t calls = 0;
  DWORD at = 0;
};

// How often each invariant was exercised in a run; a set of runs in which one was
// never exercised checks nothing and is flagged.
struct Exercised {
  unsigned jobs = 0;        // job attempts whose bytes and outcome were judged
  unsigned reported = 0;    // of them reported printed
  unsigned notPrinted = 0;  // of them not printed, with their record looked for
  unsigned pages = 0;       // page ends judged
  unsigned transfers = 0;   // firmware transfers checked from first chunk to end
  unsigned statusSamples = 0;  // steady stretches of port status judged
  unsigned statusPosts = 0;    // port statuses posted and judged against the printer
  unsigned answers = 0;     // pipe answers judged
  unsigned liveStatus = 0;  // live status answers judged
  unsigned ordinary = 0;    // answers to an ordinary user judged
  unsigned foreignReads = 0;  // ReadPort calls of the second thread during jobs
  unsigned idleLeakSamples = 0;  // counts sampled with every port closed
};

// A PROGRAM FLASH that the monitor accepted.
struct FlashStart {
  unsigned port = 0;
  DWORD at = 0;
  int firmware = -1;
  size_t firstCall = 0;  // the printer's calls from the request on
};

// One look at a port by the sampler.
struct Sample {
  DWORD at = 0;
  unsigned port = 0;
  bool eligible = false;  // open, idle, polled, no update, no fault pending
  BYTE status1 = 0;       // the printer's condition
  BYTE status2 = 0;
  bool answers = true;    // the printer is not silent and not switched off
  unsigned faultsFired = 0;
  size_t exchanges = 0;   // status exchanges the printer has served
  std::optional<DWORD> shown;  // the spooler's port status
  bool open = false;
  bool inDoc = false;
  bool flashing = false;  // a firmware update runs on the port
};

// A spooler call on a port that changes what the port may show: its open or close.
struct PortCallSpan {
  unsigned port = 0;
  DWORD from = 0;
  DWORD to = 0;
};

class Record {
 public:
  void addBreach(Check check, DWORD at, int port, const std::string& text);
  std::vector<Breach> breaches() const;

  std::mutex lock;  // guards the lists below
  std::vector<JobRecord> jobs;
  std::vector<std::pair<unsigned, DWORD>> abortsSent;  // port, time
  std::vector<FlashStart> flashes;
  std::vector<Sample> samples;
  std::vector<JobReport> reports;
  std::vector<PortCallSpan> opensAndCloses;
  Exercised exercised;

 private:
  mutable std::mutex breachLock_;
  std::vector<Breach> breaches_;
};

}  // namespace soak

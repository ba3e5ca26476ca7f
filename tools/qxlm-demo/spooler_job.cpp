#include "spooler_job.h"

#include "narrator.h"
#include "platform/clock.h"

namespace demo {
namespace {

std::basic_string<WCHAR> widen(const std::string& text) {
  std::basic_string<WCHAR> wide;
  for (char c : text) wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(c)));
  return wide;
}

// A write that takes nothing this many times in a row ends the sending, as a
// spooler gives up on a port that makes no progress.
const int kMaxEmptyWrites = 100;
// A held job is tried again after this pause (protocol ms), this many times.
const DWORD kHoldPauseMs = 1000;
const unsigned kMaxHolds = 20;

}  // namespace

SpoolerPort::SpoolerPort(LPMONITOREX table, const std::string& portName, const std::string& printerName,
                         MONITOR lower)
    : table_(table), printerName_(widen(printerName)), lower_(lower) {
  std::basic_string<WCHAR> port = widen(portName);
  HANDLE handle = nullptr;
  if (table_->Monitor.pfnOpenPortEx(&port[0], &printerName_[0], &handle, &lower_)) handle_ = handle;
}

SpoolerPort::~SpoolerPort() { close(); }

void SpoolerPort::close() {
  if (handle_ == nullptr) return;
  table_->Monitor.pfnClosePort(handle_);
  handle_ = nullptr;
}

JobRun SpoolerPort::print(DWORD jobId, const std::vector<BYTE>& job) {
  JobRun run;
  std::basic_string<WCHAR> docName = widen("Demo tickets");
  std::basic_string<WCHAR> dataType = widen("RAW");
  DOC_INFO_1W info = {&docName[0], nullptr, &dataType[0]};
  if (!table_->Monitor.pfnStartDocPort(handle_, &printerName_[0], jobId, 1, reinterpret_cast<LPBYTE>(&info))) {
    say("spooler: start of document refused, error " + std::to_string(GetLastError()));
    return run;
  }
  run.started = true;
  say("spooler: document started, job " + std::to_string(jobId) + ", " + std::to_string(job.size()) + " bytes");

  std::vector<BYTE> piece;
  int emptyWrites = 0;
  for (size_t offset = 0; offset < job.size() && !run.cancelled && emptyWrites < kMaxEmptyWrites;) {
    // The spooler passes what is not yet taken of its piece until all of it is.
    const size_t pieceEnd = offset - offset % kSpoolerPieceBytes + kSpoolerPieceBytes;
    const size_t end = pieceEnd < job.size() ? pieceEnd : job.size();
    piece.assign(job.begin() + static_cast<std::ptrdiff_t>(offset), job.begin() + static_cast<std::ptrdiff_t>(end));
    DWORD written = 0;
    const BOOL ok = table_->Monitor.pfnWritePort(handle_, piece.data(), static_cast<DWORD>(piece.size()), &written);
    const DWORD error = GetLastError();
    if (written > piece.size()) written = static_cast<DWORD>(piece.size());
    offset += written;
    run.bytesTaken += written;
    if (ok) {
      if (run.holds > 0 && written > 0 && run.writeRefused) {
        say("spooler: the printer takes data again: the job goes on where it stopped");
        run.writeRefused = false;
      }
      emptyWrites = written == 0 ? emptyWrites + 1 : 0;
      continue;
    }
    if (!run.writeRefused) {
      say("spooler: job in error (write returned FALSE, error " + std::to_string(error) + ", " +
          std::to_string(run.bytesTaken) + " bytes taken): the spooler keeps the rest and tries again");
    }
    run.writeRefused = true;
    if (++run.holds > kMaxHolds) {
      say("spooler: the job stayed in error too long: the spooler cancels it");
      run.cancelled = true;
      break;
    }
    clockSleep(kHoldPauseMs);
  }
  run.ended = table_->Monitor.pfnEndDocPort(handle_);
  say(std::string("spooler: document ended, ") + (run.ended ? "the monitor told the spooler the job's last page left"
                                                             : "the monitor did not tell the spooler the job is done"));
  return run;
}

}  // namespace demo

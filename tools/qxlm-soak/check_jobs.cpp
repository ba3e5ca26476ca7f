// The job invariants, per attempt at a job (a restarted job is judged per start).
// Bytes: what the printer received for the attempt is the start of the job's data,
// each byte once and in order, on the job's own port; only the zeros that finish a
// raster block the job left open and the end request may follow. Reported: the spooler is
// told a job is printed at most once, and only when every byte it handed over
// reached the printer, after the lower port took the last of them and after the end
// of the document was called, before it returned; a job handed over whole and
// received whole on a printer that showed nothing wrong meanwhile must be told.
// Outcome: a job that ended without being told printed has its record in the
// system's event log, whatever the diagnostic log's setting. Pages: each write call
// that completed a page is followed by one end-of-page request, sent after the
// lower port accepted the bytes with the ESC e; no other end-of-page request
// reaches the printer.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "checks.h"
#include "platform/system_event_log.h"
#include "sim/page_scanner.h"
#include "sim/printer_codes.h"

namespace soak {
namespace {

const BYTE kEndRequest[] = {0x1B, 'I', 'e'};

bool isPrefix(const std::vector<BYTE>& part, const std::vector<BYTE>& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// Zeros a monitor writes to finish a block a job left open before its end request:
// at most the largest block's data (an ESC d block), also when it does not know
// where in a block the printer is.
const size_t kMostPadding = 0xFFFF;

// The job's bytes among the bytes the printer received for an attempt: without the
// end request written after them (or the part of it a short write took, or none of
// it when its write failed) and the zeros before it that finish a raster block the
// job's last bytes left open. Data that is all the job's own is taken as such: a job
// may end in ESC itself, with none of the request taken.
std::vector<BYTE> jobBytesIn(const std::vector<BYTE>& data, const JobRecord& job) {
  const std::vector<BYTE>& whole = job.data;
  if (isPrefix(data, whole)) return data;
  for (size_t n = 4; n-- > 0;) {
    if (data.size() < n || !std::equal(kEndRequest, kEndRequest + n, data.end() - static_cast<std::ptrdiff_t>(n))) {
      continue;
    }
    const auto end = data.end() - static_cast<std::ptrdiff_t>(n);
    // Only what was handed over can be the job's: a zero of the fill that happens to
    // match the job's next byte is the fill's.
    const auto handed = whole.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(job.handedOver, whole.size()));
    const auto own = std::mismatch(data.begin(), end, whole.begin(), handed).first;
    if (own == end) return std::vector<BYTE>(data.begin(), end);
    if (static_cast<size_t>(end - own) <= kMostPadding && std::all_of(own, end, [](BYTE b) { return b == 0; })) {
      return std::vector<BYTE>(data.begin(), own);
    }
  }
  return data;
}

std::string describeMismatch(const std::vector<BYTE>& got, const std::vector<BYTE>& job) {
  size_t k = 0;
  while (k < got.size() && k < job.size() && got[k] == job[k]) ++k;
  char text[256];
  // Bytes sent again show as the job's earlier bytes turning up at k.
  const size_t probe = std::min<size_t>(16, got.size() - k);
  for (size_t j = 0; j < k && probe > 0; ++j) {
    if (j + probe <= job.size() &&
        std::equal(got.begin() + static_cast<std::ptrdiff_t>(k), got.begin() + static_cast<std::ptrdiff_t>(k + probe),
                   job.begin() + static_cast<std::ptrdiff_t>(j))) {
      std::snprintf(text, sizeof text,
                    "the printer received the job's bytes from offset %zu a second time, at offset %zu (%zu bytes "
                    "received of %zu)",
                    j, k, got.size(), job.size());
      return text;
    }
  }
  if (k == job.size()) {
    std::snprintf(text, sizeof text, "the printer received %zu bytes for a job of %zu: %zu more than the job has",
                  got.size(), job.size(), got.size() - job.size());
    return text;
  }
  std::snprintf(text, sizeof text, "byte %zu at the printer is %02X where the job has %02X (%zu bytes received of %zu)",
                k, got[k], job[k], got.size(), job.size());
  return text;
}

bool abortSentDuring(const Record& record, const JobRecord& job) {
  for (const auto& a : record.abortsSent) {
    if (a.first == job.port && a.second >= job.startAt && a.second <= job.endAt) return true;
  }
  return false;
}

// What the printer received for one attempt: the documents of its job id opened by
// the attempt's own calls.
struct Received {
  bool any = false;
  std::vector<BYTE> data;
  // The printer took the attempt's first bytes for the rest of a block an earlier
  // document left open.
  bool eatenByOpenBlock = false;
  size_t owed = 0;  // the zeros that block still wanted when the attempt's document opened
  size_t zeros = 0;  // and the zeros that came first
  unsigned pages = 0;  // the pages the printer printed of it
};

size_t leadingZeros(const std::vector<BYTE>& bytes) {
  return static_cast<size_t>(std::find_if(bytes.begin(), bytes.end(), [](BYTE b) { return b != 0; }) - bytes.begin());
}

Received receivedFor(const CheckInput& in, const JobRecord& job) {
  Received r;
  const std::vector<sim::Call>& calls = in.calls[job.port];
  if (job.firstCall >= calls.size() || job.endCall <= job.firstCall) return r;
  const uint64_t first = calls[job.firstCall].seq;
  const uint64_t last = calls[std::min(job.endCall, calls.size()) - 1].seq;
  for (const sim::Document& d : in.documents[job.port]) {
    if (d.jobId != job.plan.id || d.startSeq < first || d.startSeq > last) continue;
    r.any = true;
    // The zeros that finish a block an earlier document left open, when they come
    // first, belong to that document.
    // Zeros beyond those, where the job has none, print nothing: a monitor that
    // lost track of the printer's parser (a restart) may send the longest block's.
    const size_t zeros = leadingZeros(d.data);
    const size_t owed = std::min<size_t>(d.blockOwedAtStart, d.data.size());
    const size_t jobZeros = leadingZeros(job.data);
    size_t skip = 0;
    // A serial port takes no job data through the monitor, which follows no blocks there.
    const bool serial = in.scenario->ports[job.port].name.compare(0, 3, "COM") == 0;
    if (zeros < owed && !serial) {
      r.eatenByOpenBlock = true;
      r.owed = owed;
      r.zeros = zeros;
    } else {
      skip = std::max(owed, zeros > jobZeros ? std::min(zeros - jobZeros, kMostPadding) : 0);
    }
    r.data.insert(r.data.end(), d.data.begin() + static_cast<std::ptrdiff_t>(skip), d.data.end());
    r.pages += d.pages;
  }
  return r;
}

// The printer's index of the last write of the job's data that the lower port took
// bytes of (0 when none did).
size_t lastDataCall(const CheckInput& in, const JobRecord& job) {
  const std::vector<sim::Call>& calls = in.calls[job.port];
  size_t last = 0;
  for (const CallRange& range : job.writeCalls) {
    for (size_t i = range.first; i < range.second && i < calls.size(); ++i) {
      if (calls[i].entry == sim::Entry::WritePort && calls[i].count > 0) last = i;
    }
  }
  return last;
}

// Whether the printer showed anything but a ready state while the attempt ran, or
// a planned fault fired in its calls: a job it stopped may end not printed. Busy
// counts only when it lasts longer than a page's busy time.
bool troubled(const CheckInput& in, const JobRecord& job) {
  const std::vector<sim::Call>& calls = in.calls[job.port];
  for (size_t i = job.firstCall; i < job.endCall && i < calls.size(); ++i) {
    if (!calls[i].fault.empty()) return true;
  }
  if (job.writeFailed || job.startFailures > 0 || abortSentDuring(*in.record, job)) return true;
  unsigned busyRun = 0;
  for (const Sample& s : in.record->samples) {
    if (s.port != job.port || s.at + 200 < job.startAt || s.at > job.endAt + 200) continue;
    if (s.status1 != 0 || !s.answers || (s.status2 & ~sim::status2::Busy) != 0) return true;
    busyRun = (s.status2 & sim::status2::Busy) != 0 ? busyRun + 1 : 0;
    if (busyRun >= 30) return true;
  }
  return false;
}

// The pages of the part of the job the spooler handed over, read from the start.
unsigned pagesOf(const JobRecord& job) {
  sim::PageScanner fresh;
  return fresh.feed(job.data.data(), std::min<size_t>(job.handedOver, job.data.size()));
}

std::string idText(const JobRecord& job) {
  return "job " + std::to_string(job.plan.id) + (job.attempt > 0 ? " (restarted)" : "");
}

void checkBytes(const CheckInput& in, const JobRecord& job, const Received& got) {
  Record& record = *in.record;
  const int port = static_cast<int>(job.port);
  if (job.attempt == 0) {
    for (size_t other = 0; other < in.documents.size(); ++other) {
      if (other == job.port) continue;
      for (const sim::Document& d : in.documents[other]) {
        if (d.jobId == job.plan.id) {
          record.addBreach(Check::Bytes, job.endAt, port,
                           "job " + std::to_string(job.plan.id) + " reached the printer of port " +
                               in.scenario->ports[other].name);
        }
      }
    }
  }
  if (!got.any) return;
  if (got.eatenByOpenBlock) {
    record.addBreach(Check::Bytes, job.endAt, port,
                     idText(job) + ": its first bytes went into a block an earlier document left open (" +
                         std::to_string(got.zeros) + " zeros came of the " + std::to_string(got.owed) + " it wanted)");
  }
  const std::vector<BYTE> bytes = jobBytesIn(got.data, job);
  // A serial printer reads an ESC of the data as the start of a frame of its own, so
  // of an end request written alone it may keep only the rest as data.
  const bool serial = in.scenario->ports[job.port].name.compare(0, 3, "COM") == 0;
  const bool requestTail = serial && bytes.size() < sizeof kEndRequest &&
                           std::equal(bytes.begin(), bytes.end(), kEndRequest + sizeof kEndRequest - bytes.size());
  if (!isPrefix(bytes, job.data) && !requestTail) {
    record.addBreach(Check::Bytes, job.endAt, port, idText(job) + ": " + describeMismatch(bytes, job.data));
  }
}

// The reports of the job's LAST_PAGE_EJECTED that belong to this attempt: made
// after its start and before the next attempt's.
std::vector<JobReport> reportsOf(const CheckInput& in, const JobRecord& job, uint64_t nextStartSeq) {
  std::vector<JobReport> out;
  for (const JobReport& r : in.record->reports) {
    if (r.jobId == job.plan.id && r.command == JOB_CONTROL_LAST_PAGE_EJECTED && r.seq > job.startSeq &&
        r.seq < nextStartSeq) {
      out.push_back(r);
    }
  }
  return out;
}

void checkReported(const CheckInput& in, const JobRecord& job, const Received& got, uint64_t nextStartSeq) {
  Record& record = *in.record;
  const int port = static_cast<int>(job.port);
  const std::vector<JobReport> reports = reportsOf(in, job, nextStartSeq);
  const size_t delivered = got.any ? jobBytesIn(got.data, job).size() : 0;
  const bool deliveredAll =
      !got.eatenByOpenBlock && isPrefix(jobBytesIn(got.data, job), job.data) && delivered == job.handedOver;
  char text[256];
  ++record.exercised.jobs;
  if (reports.size() > 1) {
    std::snprintf(text, sizeof text, "%s was reported printed %zu times", idText(job).c_str(), reports.size());
    record.addBreach(Check::Reported, job.endAt, port, text);
  }
  if (!reports.empty()) {
    ++record.exercised.reported;
    const JobReport& r = reports.front();
    if (!job.started || !deliveredAll) {
      std::snprintf(text, sizeof text,
                    "%s was reported printed with %zu of the %u bytes handed over received by the printer",
                    idText(job).c_str(), delivered, static_cast<unsigned>(job.handedOver));
      record.addBreach(Check::Reported, r.at, port, text);
    } else if (got.pages != pagesOf(job)) {
      // Every byte arrived, but not read as the job's: a printer parser that lost
      // its place (a restart) printed other pages.
      std::snprintf(text, sizeof text, "%s was reported printed, but the printer printed %u pages of its %u",
                    idText(job).c_str(), got.pages, pagesOf(job));
      record.addBreach(Check::Reported, r.at, port, text);
    } else if (!job.ended || r.seq < job.endDocSeq || r.seq > job.endSeq) {
      std::snprintf(text, sizeof text, "%s was reported printed %s", idText(job).c_str(),
                    !job.ended                ? "although its document never ended (the port closed)"
                    : r.seq < job.endDocSeq   ? "before the spooler ended its document"
                                              : "after its end of document had returned");
      record.addBreach(Check::Reported, r.at, port, text);
    } else if (r.calls <= lastDataCall(in, job)) {
      std::snprintf(text, sizeof text, "%s was reported printed before the lower port took its last bytes",
                    idText(job).c_str());
      record.addBreach(Check::Reported, r.at, port, text);
    }
    return;
  }
  if (job.started && job.ended && !job.cancelled && deliveredAll && delivered == job.data.size() &&
      !troubled(in, job)) {
    std::snprintf(text, sizeof text,
                  "%s: all %zu bytes reached a printer that showed nothing wrong, and the spooler was never told it "
                  "printed",
                  idText(job).c_str(), delivered);
    record.addBreach(Check::Reported, job.endAt, port, text);
  }
}

// Whether a not-printed record of the system's event log ("<type> <id> <text>")
// names the job: its id as a word of the text.
bool namesJob(const std::vector<std::string>& records, DWORD id) {
  const std::string word = std::to_string(id);
  const std::string notPrinted = " " + std::to_string(QX_EVENT_JOB_NOT_PRINTED) + " ";
  for (const std::string& r : records) {
    const size_t text = r.find(' ');
    if (text == std::string::npos || r.compare(text, notPrinted.size(), notPrinted) != 0) continue;
    for (size_t at = r.find(word, text); at != std::string::npos; at = r.find(word, at + 1)) {
      const size_t end = at + word.size();
      if (!std::isdigit(static_cast<unsigned char>(r[at - 1])) &&
          (end >= r.size() || !std::isdigit(static_cast<unsigned char>(r[end])))) {
        return true;
      }
    }
  }
  return false;
}

// A job that ended without being told printed leaves its record, and had a cause
// the run produced: it was cut short, or the printer or its link showed trouble.
void checkOutcome(const CheckInput& in, const JobRecord& job, const Received& got, uint64_t nextStartSeq) {
  if (!job.started || !job.ended || !reportsOf(in, job, nextStartSeq).empty()) return;
  ++in.record->exercised.notPrinted;
  if (!job.cancelled && !troubled(in, job)) {
    const size_t delivered = got.any ? jobBytesIn(got.data, job).size() : 0;
    in.record->addBreach(Check::Outcome, job.endAt, static_cast<int>(job.port),
                         idText(job) + " ended not printed with " + std::to_string(delivered) + " of its " +
                             std::to_string(job.data.size()) +
                             " bytes received, on a printer and link that showed no trouble meanwhile");
  }
  if (namesJob(in.systemEvents, job.plan.id)) return;
  in.record->addBreach(Check::Outcome, job.endAt, static_cast<int>(job.port),
                       idText(job) + " ended not printed (" + std::to_string(job.handedOver) + " of " +
                           std::to_string(job.data.size()) +
                           " bytes handed over) and the system's event log holds no record of it");
}

// Walks the printer's calls of one job: each write call that completed a page owes
// one end-of-page request, due after the lower write that accepted the page end.
void checkPages(const CheckInput& in, const JobRecord& job, bool isClean) {
  if (in.scenario->ports[job.port].link == Link::Serial || !job.started) return;
  const std::vector<sim::Call>& calls = in.calls[job.port];
  sim::PageScanner scanner;
  std::vector<size_t> owed;  // write calls (by index in job.writeCalls) not yet told
  const int port = static_cast<int>(job.port);
  auto groupOf = [&](size_t callIndex) -> int {
    for (size_t g = 0; g < job.writeCalls.size(); ++g) {
      if (callIndex >= job.writeCalls[g].first && callIndex < job.writeCalls[g].second) return static_cast<int>(g);
    }
    return -1;
  };
  bool inJobDocument = false;
  std::vector<bool> completed(job.writeCalls.size(), false);
  for (size_t i = job.firstCall; i < job.endCall && i < calls.size(); ++i) {
    const sim::Call& c = calls[i];
    if (c.entry == sim::Entry::StartDocPort && c.jobId == job.plan.id && c.result) inJobDocument = true;
    if (c.entry == sim::Entry::WritePort && inJobDocument) {
      const int g = groupOf(i);
      if (g < 0) continue;  // the end of the document's own request
      const size_t taken = std::min<size_t>(c.count, c.in.size());
      if (scanner.feed(c.in.data(), taken) > 0 && !completed[static_cast<size_t>(g)]) {
        completed[static_cast<size_t>(g)] = true;
        owed.push_back(static_cast<size_t>(g));
      }
    }
    const bool endOfPage = c.entry == sim::Entry::GetPrinterDataFromPort && c.controlId == sim::kVendorSetCommand &&
                           c.in.size() == 8 && c.in[0] == sim::request::EndOfPage;
    if (!endOfPage) continue;
    if (owed.empty()) {
      in.record->addBreach(Check::Pages, in.runTime(c.time), port,
                           "job " + std::to_string(job.plan.id) +
                               ": an end-of-page request reached the printer with no page end accepted before it "
                               "that was not told already (" + describeCall(c) + ")");
      continue;
    }
    ++in.record->exercised.pages;
    owed.erase(owed.begin());
  }
  if (isClean && !owed.empty()) {
    in.record->addBreach(Check::Pages, job.endAt, port,
                         "job " + std::to_string(job.plan.id) + ": " + std::to_string(owed.size()) +
                             " write call(s) that completed a page were never followed by an end-of-page request");
  }
}

}  // namespace

void checkJobs(const CheckInput& in) {
  const std::vector<JobRecord>& jobs = in.record->jobs;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const JobRecord& job = jobs[i];
    uint64_t nextStartSeq = UINT64_MAX;
    for (size_t k = i + 1; k < jobs.size(); ++k) {
      if (jobs[k].plan.id == job.plan.id) {
        nextStartSeq = jobs[k].startSeq;
        break;
      }
    }
    const Received got = receivedFor(in, job);
    checkBytes(in, job, got);
    checkReported(in, job, got, nextStartSeq);
    checkOutcome(in, job, got, nextStartSeq);
    const bool whole = got.any && jobBytesIn(got.data, job).size() == job.data.size();
    checkPages(in, job, whole && !troubled(in, job) && job.ended);
  }
}

bool isErrorLine(const std::string& line, bool lowPaperStops) {
  static const char* const kCodes[] = {"0002", "0003", "0006", "0008", "0010", "0013", "0014",
                                       "0015", "0017", "0019", "0024", "0026", "0027"};
  if (line.size() < 6 || line[0] != '"') return false;
  if (lowPaperStops && line.compare(1, 4, "0007") == 0) return true;
  for (const char* code : kCodes) {
    if (line.compare(1, 4, code) == 0) return true;
  }
  return false;
}

std::string describeCall(const sim::Call& c) {
  std::string text = sim::entryName(c.entry);
  switch (c.entry) {
    case sim::Entry::WritePort:
      text += " " + std::to_string(c.in.size()) + " bytes, took " + std::to_string(c.count) + ": " +
              hexBytes(c.in.data(), c.in.size(), 8);
      break;
    case sim::Entry::ReadPort: text += " " + hexBytes(c.out.data(), c.out.size(), 8); break;
    case sim::Entry::GetPrinterDataFromPort:
      text += c.controlId == sim::kVendorSetCommand ? " vendor request " + hexBytes(c.in.data(), c.in.size(), 8)
                                                    : " control " + std::to_string(c.controlId);
      break;
    case sim::Entry::StartDocPort:
      text += " job " + std::to_string(c.jobId) + " level " + std::to_string(c.level);
      break;
    default: break;
  }
  if (!c.result) text += " -> FALSE, error " + std::to_string(c.lastError);
  if (!c.fault.empty()) text += " [fault: " + c.fault + "]";
  return text;
}

}  // namespace soak

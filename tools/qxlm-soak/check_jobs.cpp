// The job invariants. A job's bytes reach its own printer at most once and in order:
// the document the printer received for it is the start of the job's data (then the
// 3-byte status request that every end of document writes, or the start of it). A job the spooler was
// told is printed, whose writes all succeeded, had every byte accepted, or the event
// log holds an error line from the job's time (or since the port's last job that came
// through whole), or the last state it logged before the job was an error. Each write
// call of the spooler that completed a page is followed by one end-of-page request,
// sent after the lower port accepted the bytes with the ESC e; no other end-of-page
// request reaches the printer.
#include <algorithm>
#include <cstdio>
#include <map>

#include "checks.h"
#include "sim/page_scanner.h"
#include "sim/printer_codes.h"

namespace soak {
namespace {

const BYTE kEndRequest[] = {0x1B, 'I', 'e'};

bool isPrefix(const std::vector<BYTE>& part, const std::vector<BYTE>& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// The job's bytes in a document: the data without the end request written after it
// (or the part of that request a short write took). Data that is all the job's own
// is taken as such: a job may end in ESC itself, with none of the request taken.
std::vector<BYTE> jobBytesIn(const sim::Document& doc, const std::vector<BYTE>& job) {
  const std::vector<BYTE>& data = doc.data;
  if (isPrefix(data, job)) return data;
  for (size_t n = 3; n > 0; --n) {
    if (data.size() < n || !std::equal(kEndRequest, kEndRequest + n, data.end() - static_cast<std::ptrdiff_t>(n))) {
      continue;
    }
    std::vector<BYTE> without(data.begin(), data.end() - static_cast<std::ptrdiff_t>(n));
    if (isPrefix(without, job)) return without;
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

bool reportedPrinted(const CheckInput& in, DWORD jobId) {
  for (const sim::SpoolerRecord& r : in.spooler) {
    if (r.call == sim::SpoolerCall::SetJob && r.jobId == jobId && r.command == JOB_CONTROL_LAST_PAGE_EJECTED) return true;
  }
  return false;
}

bool abortSentDuring(const Record& record, const JobRecord& job) {
  for (const auto& a : record.abortsSent) {
    if (a.first == job.port && a.second >= job.startAt && a.second <= job.endAt) return true;
  }
  return false;
}

// The log's size after the first spooler call on the port that returned at or after t.
size_t logSizeAfter(const Record& record, unsigned port, DWORD t) {
  for (const LogMark& m : record.logMarks) {
    if (m.port == port && m.at >= t) return m.size;
  }
  return SIZE_MAX;
}

// The log's size after the last spooler call on the port that returned by t.
size_t logSizeBefore(const Record& record, unsigned port, DWORD t) {
  size_t size = 0;
  for (const LogMark& m : record.logMarks) {
    if (m.port == port && m.at <= t) size = m.size;
  }
  return size;
}

// A line saying the printer was ready. The state report of a pipe request for one
// field says "Ready" whatever the printer's state (it carries no status bits), so
// those lines do not count.
bool isReadyLine(const std::string& line) {
  if (line.size() < 8 || line.compare(1, 4, "0021") != 0 || line.find(",\"Ready") == std::string::npos) return false;
  const size_t request = line.find("Pipe Request (");
  if (request == std::string::npos) return true;
  for (const char* kind : {"(Short)", "(Normal)", "(Extended)", "(Complete)"}) {
    if (line.find(kind, request) != std::string::npos) return true;
  }
  return false;
}

// Whether the last line before `to` that tells the printer's state is an error line:
// a condition logged before the job that still held. A log that two ports share
// (a pooled printer) mixes their states: any error line counts there.
bool errorStillLogged(const std::string& log, size_t to, bool shared, bool lowPaperStops) {
  bool error = false;
  to = std::min(to, log.size());
  for (size_t at = 0; at < to;) {
    size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    if (isErrorLine(line, lowPaperStops)) error = true;
    if (isReadyLine(line) && !shared) error = false;
    at = end + 1;
  }
  return error;
}

bool errorLoggedBetween(const std::string& log, size_t from, size_t to, bool lowPaperStops) {
  to = std::min(to, log.size());
  for (size_t at = from; at < to;) {
    size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    if (isErrorLine(log.substr(at, end - at), lowPaperStops)) return true;
    at = end + 1;
  }
  return false;
}

void checkBytes(const CheckInput& in, const JobRecord& job, const sim::Document* doc) {
  Record& record = *in.record;
  const int port = static_cast<int>(job.port);
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
  if (doc == nullptr) return;
  const std::vector<BYTE> got = jobBytesIn(*doc, job.data);
  if (!isPrefix(got, job.data)) {
    record.addBreach(Check::Bytes, job.endAt, port,
                     "job " + std::to_string(job.plan.id) + ": " + describeMismatch(got, job.data));
  }
}

void checkReported(const CheckInput& in, const JobRecord& job, const sim::Document* doc, DWORD windowStart) {
  Record& record = *in.record;
  if (!job.started || job.writeFailed || job.cancelled || abortSentDuring(record, job)) return;
  if (!reportedPrinted(in, job.plan.id)) return;
  const size_t accepted = doc == nullptr ? 0 : jobBytesIn(*doc, job.data).size();
  if (accepted >= job.data.size()) return;
  const std::string& log = in.logs[job.port];
  const size_t from = windowStart == 0 ? 0 : logSizeAfter(record, job.port, windowStart);
  const size_t to = logSizeAfter(record, job.port, job.endAt);
  const bool lowPaperStops = (in.scenario->setup.lpMode & 1) != 0;
  if (from != SIZE_MAX && errorLoggedBetween(log, from, to, lowPaperStops)) return;
  bool shared = false;
  for (unsigned other = 0; other < in.logs.size(); ++other) {
    shared = shared || (other != job.port && in.scenario->ports[other].printerName == in.scenario->ports[job.port].printerName);
  }
  if (errorStillLogged(log, logSizeBefore(record, job.port, job.startAt), shared, lowPaperStops)) return;
  char text[200];
  std::snprintf(text, sizeof text,
                "job %u was reported printed with %zu of its %zu bytes accepted, and the event log holds no error "
                "line for it",
                static_cast<unsigned>(job.plan.id), accepted, job.data.size());
  record.addBreach(Check::Reported, job.endAt, static_cast<int>(job.port), text);
}

bool clean(const CheckInput& in, const JobRecord& job, const sim::Document* doc) {
  if (!job.started || job.writeFailed || job.cancelled || doc == nullptr) return false;
  if (jobBytesIn(*doc, job.data).size() != job.data.size()) return false;
  if (abortSentDuring(*in.record, job)) return false;
  const std::vector<sim::Call>& calls = in.calls[job.port];
  for (size_t i = job.firstCall; i < job.endCall && i < calls.size(); ++i) {
    if (!calls[i].fault.empty()) return false;
  }
  return true;
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
  std::map<unsigned, DWORD> lastWholeJobEnd;  // per port
  for (const JobRecord& job : in.record->jobs) {
    const sim::Document* doc = nullptr;
    for (const sim::Document& d : in.documents[job.port]) {
      if (d.jobId == job.plan.id) doc = &d;
    }
    checkBytes(in, job, doc);
    checkReported(in, job, doc, lastWholeJobEnd[job.port]);
    const bool isClean = clean(in, job, doc);
    checkPages(in, job, isClean);
    if (doc != nullptr && jobBytesIn(*doc, job.data).size() == job.data.size()) lastWholeJobEnd[job.port] = job.endAt;
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

// What the printer does when the monitor calls the lower monitor table: documents,
// job data and pages, requests and replies, flash mode, faults, and the timeline.
#include <algorithm>
#include <atomic>

#include "platform/clock.h"
#include "sim/firmware_name.h"
#include "sim/printer.h"
#include "sim/replies.h"
#include "sim/serial_requests.h"
#include "sim/text.h"

namespace sim {
namespace {

std::atomic<uint64_t> g_callSeq{0};

std::vector<BYTE> bytesOf(const void* data, DWORD size) {
  if (data == nullptr) return {};
  const BYTE* p = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(p, p + size);
}

void fail(Call& call, DWORD error) {
  call.result = FALSE;
  call.lastError = error;
}

void notePlannedFault(Call& call, const Fault& fault) {
  call.fault = fault.describe();
  call.planned = true;
}

}  // namespace

const char* entryName(Entry entry) {
  switch (entry) {
    case Entry::OpenPort: return "OpenPort";
    case Entry::StartDocPort: return "StartDocPort";
    case Entry::WritePort: return "WritePort";
    case Entry::ReadPort: return "ReadPort";
    case Entry::EndDocPort: return "EndDocPort";
    case Entry::ClosePort: return "ClosePort";
    case Entry::GetPrinterDataFromPort: return "GetPrinterDataFromPort";
    case Entry::SetPortTimeOuts: return "SetPortTimeOuts";
  }
  return "?";
}

// ---------------------------------------------------------------- helpers

Call Printer::begin(Entry entry) const {
  Call call;
  call.seq = ++g_callSeq;
  call.entry = entry;
  call.port = port_;
  call.time = clockTickCount();
  call.result = TRUE;
  return call;
}

BOOL Printer::finish(std::unique_lock<std::mutex>& held, Call call, DWORD delayMs) {
  const BOOL result = call.result;
  const DWORD error = call.lastError;
  ++callsPerEntry_[static_cast<size_t>(call.entry)];
  calls_.push_back(std::move(call));
  held.unlock();
  changed_.notify_all();
  if (delayMs != 0) clockSleep(delayMs);
  if (!result) SetLastError(error);
  return result;
}

bool Printer::switchedOff(Call& call) {
  if (s_.off && call.time - s_.offAt < s_.offMs) {
    call.fault = "switched off";
    fail(call, ERROR_GEN_FAILURE);
    return true;
  }
  s_.off = false;
  watchdogRuns(call);
  return false;
}

// The watchdog counts the host's silence: every call that reaches the printer renews
// it, and one that comes after more than its time-out finds the printer reset by it,
// as a restart leaves it: no document, a fresh parser, the watchdog off.
void Printer::watchdogRuns(Call& call) {
  if (s_.wdArmed && s_.wdSeconds > 0 && call.time - s_.wdRenewedAt > s_.wdSeconds * 1000u) {
    s_.wdTimeouts = (s_.wdTimeouts + 1) & 0x0F;
    s_.wdEnumerations = (s_.wdEnumerations + 1) & 0x0F;
    s_.wdArmed = false;
    s_.docInProgress = false;
    s_.docEnded = false;
    s_.readQueue.clear();
    s_.scanner.reset();
    call.fault = call.fault.empty() ? "watchdog fired" : call.fault + ", watchdog fired";
  }
  s_.wdRenewedAt = call.time;
}

bool Printer::busyAfterPage(DWORD now) const {
  return !s_.flashMode && link_ != Link::Serial && s_.pages > 0 && now - s_.lastPageAt < s_.lastPageBusyMs;
}

bool Printer::stalled(Call& call) {
  if (s_.flashMode || link_ == Link::Serial) return false;
  if ((currentStatus1(call.time) & kStopsPrinting) == 0) return false;
  call.fault = "stopped";
  fail(call, ERROR_TIMEOUT);
  return true;
}

std::vector<BYTE> Printer::reply(BYTE code, DWORD now) {
  ReplyFacts f;
  f.status1 = currentStatus1(now);
  f.status2 = currentStatus2(now);
  f.watchdogBytes = usb_ && (s_.wdArmed || s_.wdAlwaysReported);
  f.watchdog1 = static_cast<BYTE>((s_.wdEnumerations << 4) | s_.wdTimeouts);
  f.watchdog2 = static_cast<BYTE>(s_.wdVersion);
  f.ticketCount = s_.ticketCount;
  f.headTempC = s_.headTempC;
  f.errorCode = s_.errorCode;
  f.formsLength = s_.formsLength;
  f.version = s_.version;
  f.serialNumber = s_.serialNumber;
  f.deviceId = deviceIdFor(s_.model);
  f.inFlashMode = s_.flashMode;
  f.flashText = s_.flash.readyText;
  if (code == request::CompleteStatus) {
    f.withVersion = !s_.versionlessNextComplete;
    s_.versionlessNextComplete = false;
  }
  return statusReply(code, f);
}

std::vector<BYTE> Printer::answerRequest(BYTE code, DWORD now) {
  if (code <= request::CompleteStatus) ++statusAnswers_;
  return reply(code, now);
}

void Printer::queueReply(std::vector<BYTE> bytes, DWORD now, DWORD delayMs) {
  if (s_.silent) return;
  s_.readQueue.push_back(Chunk{std::move(bytes), now, delayMs});
}

void Printer::printPage(DWORD now) {
  ++s_.pages;
  ++s_.ticketCount;
  s_.lastPageAt = now;
  s_.lastPageBusyMs = s_.busyAfterPageMs;
  for (ActiveCondition& c : s_.conditions) {
    if (!c.pagesReached && s_.pages - c.pagesAtAdd >= c.condition.afterPages) {
      c.pagesReached = true;
      c.pagesReachedAt = now;
    }
  }
}

void Printer::receiveJobData(const BYTE* data, size_t size, DWORD now) {
  Document& doc = documents_.back();
  doc.data.insert(doc.data.end(), data, data + size);
  const unsigned pages = s_.scanner.feed(data, size);
  for (unsigned i = 0; i < pages; ++i) printPage(now);
  doc.pages += pages;
}

void Printer::receive(const BYTE* data, size_t size, DWORD now) {
  if (s_.flashMode) {
    s_.firmware.insert(s_.firmware.end(), data, data + size);
    return;
  }
  if (link_ != Link::Serial) {
    receiveJobData(data, size, now);
    return;
  }
  // A request the port took only part of waits for the rest.
  std::vector<BYTE> line = std::move(s_.serialUnfinished);
  line.insert(line.end(), data, data + size);
  size_t unfinished = 0;
  const std::vector<SerialItem> items = splitSerialWrite(line.data(), line.size(), &unfinished);
  s_.serialUnfinished.assign(line.end() - static_cast<std::ptrdiff_t>(unfinished), line.end());
  for (const SerialItem& item : items) {
    switch (item.kind) {
      case SerialItem::Kind::JobData: receiveJobData(item.bytes.data(), item.bytes.size(), now); break;
      case SerialItem::Kind::DeviceIdQuery: {
        const std::string id = deviceIdFor(s_.model);
        queueReply(std::vector<BYTE>(id.begin(), id.end()), now);
        break;
      }
      case SerialItem::Kind::StatusRequest:
        if (item.code == request::PrintF0Ticket) {
          f0Tickets_.emplace_back(item.bytes.begin() + 4, item.bytes.end());
          queueReply(reply(request::ShortStatus, now), now);
        } else {
          queueReply(answerRequest(item.code, now), now);
        }
        break;
    }
  }
}

void Printer::endDocument(DWORD now) {
  // A request left unfinished when the document ends was data after all.
  const std::vector<BYTE> rest = std::move(s_.serialUnfinished);
  s_.serialUnfinished.clear();
  if (!rest.empty()) receiveJobData(rest.data(), rest.size(), now);
  documents_.back().open = false;
}

void Printer::countWrite(DWORD now) {
  if (!s_.xoff) return;
  if (++s_.writesSinceXoffScript < s_.xoff->afterWrites) return;
  std::vector<BYTE> stop{kXoff};
  stop.insert(stop.end(), s_.xoff->extraBytes.begin(), s_.xoff->extraBytes.end());
  s_.readQueue.push_back(Chunk{std::move(stop), now, 0});
  s_.readQueue.push_back(Chunk{{kXon}, now, s_.xoff->xonAfterMs});
  s_.xoff.reset();
}

void Printer::restart() {
  s_.flashMode = false;
  ++s_.restarts;
  s_.wdArmed = false;
  s_.docInProgress = false;
  s_.docEnded = false;
  s_.readQueue.clear();
  if (s_.flash.restartsWithoutVersion > 0) {
    --s_.flash.restartsWithoutVersion;
    s_.versionlessNextComplete = true;
  } else if (!s_.flash.newVersion.empty()) {
    s_.version = s_.flash.newVersion;
  } else if (s_.flash.updateFileName) {
    const std::string version = firmwareVersionFromFileName(s_.flash.updateFileName());
    if (!version.empty()) s_.version = version;
  }
}

void Printer::vendorRequest(const BYTE* bytes, DWORD size, Call& call, DWORD now) {
  if (size == 3 && bytes[0] == request::Watchdog) {
    if (bytes[2] == 0x01) {
      s_.wdArmed = true;
      s_.wdSeconds = bytes[1];
      return;
    }
    if (bytes[1] == 0 && bytes[2] == 0) {
      s_.wdArmed = false;
      return;
    }
  }
  if (size != 8) {
    fail(call, ERROR_INVALID_PARAMETER);
    return;
  }
  const BYTE code = bytes[0];
  if (code <= request::LastField || code == request::PrintF0Ticket) {
    if (code == request::PrintF0Ticket) f0Tickets_.emplace_back(bytes + 1, bytes + 8);
    const BYTE answer = code == request::PrintF0Ticket ? request::ShortStatus : code;
    if (s_.silent) return;
    // The stale reply first: whatever was still queued gives way to the status as
    // it stands now, then the answer to this request.
    s_.readQueue.clear();
    queueReply(reply(request::ShortStatus, now), now);
    queueReply(answerRequest(answer, now), now);
    return;
  }
  switch (code) {
    case request::StartOfDocument:
      s_.docInProgress = true;
      s_.docEnded = false;
      return;
    case request::EndOfDocument:
      if (s_.docInProgress) {
        s_.docInProgress = false;
        s_.docEnded = true;
        s_.docEndedAt = now;
      }
      return;
    case request::EndOfPage: return;  // pages are counted from the data itself
    case request::EnterFlashMode:
      s_.flashMode = true;
      return;
    case request::EndFlashTransfer:
      restart();
      return;
    default:
      fail(call, ERROR_INVALID_PARAMETER);
      return;
  }
}

// ---------------------------------------------------------------- entries

BOOL Printer::openPort() {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::OpenPort);
  if (const auto fault = s_.faults.next(Fault::Op::Open)) {
    notePlannedFault(call, *fault);
    fail(call, fault->error);
  } else {
    ++openCount_;
  }
  return finish(held, std::move(call));
}

BOOL Printer::startDocPort(LPWSTR printerName, DWORD jobId, DWORD level) {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::StartDocPort);
  call.printerName = narrow(printerName);
  call.jobId = jobId;
  call.level = level;
  if (const auto fault = s_.faults.next(Fault::Op::StartDoc)) {
    notePlannedFault(call, *fault);
    fail(call, fault->error);
  } else if (docDepth_++ == 0) {
    Document doc;
    doc.printerName = call.printerName;
    doc.jobId = jobId;
    doc.startSeq = call.seq;
    doc.blockOwedAtStart = s_.scanner.zerosToFinish();
    documents_.push_back(std::move(doc));
    // The scanner is not reset: a raster block cut by the end of one document eats
    // the first bytes of the next, as the printer's own parser does.
  }
  return finish(held, std::move(call));
}

BOOL Printer::writePort(LPBYTE buffer, DWORD size, LPDWORD written) {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::WritePort);
  call.in = bytesOf(buffer, size);
  DWORD delayMs = 0;
  if (written != nullptr) *written = 0;
  if (buffer == nullptr && size > 0) {
    fail(call, ERROR_INVALID_PARAMETER);
  } else if (docDepth_ == 0) {
    fail(call, ERROR_INVALID_HANDLE);  // the port takes data only inside a document
  } else if (switchedOff(call)) {
    // nothing reaches a printer that is off
  } else if (stalled(call)) {
    // a stopped printer leaves its endpoint stalled until the write times out
  } else if (const auto fault = s_.faults.next(Fault::Op::Write); fault && fault->kind == Fault::Kind::Error) {
    notePlannedFault(call, *fault);
    fail(call, fault->error);
    delayMs = fault->delayMs;
  } else {
    DWORD taken = size;
    if (fault) {
      notePlannedFault(call, *fault);
      taken = std::min(size, fault->bytes);
    }
    const DWORD now = call.time;
    if (busyAfterPage(now)) {
      // Data that comes before the printer is ready again is dropped on the floor.
      call.fault = call.fault.empty() ? "lost while busy" : call.fault + ", lost while busy";
      s_.lostBytes += taken;
    } else {
      receive(buffer, taken, now);
    }
    countWrite(now);
    call.count = taken;
    if (written != nullptr) *written = taken;
    // The bytes taken before the failure are on their way to the paper all the same.
    if (fault && fault->kind == Fault::Kind::PartWrite) fail(call, fault->error);
  }
  return finish(held, std::move(call), delayMs);
}

BOOL Printer::readPort(LPBYTE buffer, DWORD size, LPDWORD read) {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::ReadPort);
  const DWORD now = call.time;
  if (read != nullptr) *read = 0;
  if (buffer == nullptr && size > 0) {
    fail(call, ERROR_INVALID_PARAMETER);
    return finish(held, std::move(call));
  }
  if (switchedOff(call)) return finish(held, std::move(call));
  const auto fault = s_.faults.next(Fault::Op::Read);
  if (fault) notePlannedFault(call, *fault);
  if (fault && (fault->kind == Fault::Kind::Error || fault->kind == Fault::Kind::ZeroBytes)) {
    if (fault->kind == Fault::Kind::Error) fail(call, fault->error);
    return finish(held, std::move(call), fault->delayMs);
  }
  if (s_.silent && !fault) {
    call.fault = "silent";
    return finish(held, std::move(call));
  }
  std::vector<BYTE> data;
  if (!s_.readQueue.empty() && now - s_.readQueue.front().queuedAt >= s_.readQueue.front().delayMs) {
    Chunk& front = s_.readQueue.front();
    const size_t n = std::min<size_t>(size, front.bytes.size());
    data.assign(front.bytes.begin(), front.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    front.bytes.erase(front.bytes.begin(), front.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (front.bytes.empty()) s_.readQueue.pop_front();
  } else if (link_ != Link::Serial) {
    data = reply(request::ShortStatus, now);
    data.resize(std::min<size_t>(size, data.size()));
  }
  if (fault && fault->kind == Fault::Kind::CutRead) data.resize(std::min<size_t>(data.size(), fault->bytes));
  if (fault && fault->kind == Fault::Kind::GarbageRead) {
    data = fault->data;
    data.resize(std::min<size_t>(size, data.size()));
  }
  if (!data.empty()) std::copy(data.begin(), data.end(), buffer);
  call.count = static_cast<DWORD>(data.size());
  if (read != nullptr) *read = call.count;
  call.out = std::move(data);
  return finish(held, std::move(call), fault ? fault->delayMs : 0);
}

BOOL Printer::endDocPort() {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::EndDocPort);
  if (docDepth_ == 0) {
    fail(call, ERROR_INVALID_HANDLE);
  } else if (--docDepth_ == 0) {
    endDocument(call.time);
  }
  return finish(held, std::move(call));
}

BOOL Printer::closePort() {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::ClosePort);
  if (--openCount_ == 0 && docDepth_ > 0) {
    docDepth_ = 0;
    endDocument(call.time);
  }
  return finish(held, std::move(call));
}

BOOL Printer::getPrinterDataFromPort(DWORD controlId, LPWSTR inBuffer, DWORD inSize, LPWSTR outBuffer,
                                     DWORD outSize, LPDWORD returned) {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::GetPrinterDataFromPort);
  call.controlId = controlId;
  call.in = bytesOf(inBuffer, inSize);
  if (returned != nullptr) *returned = 0;
  const DWORD now = call.time;

  DWORD delayMs = 0;
  if ((controlId == kVendorSetCommand || controlId == kQueryDeviceId) && switchedOff(call)) {
    // nothing reaches a printer that is off
  } else if (controlId == kVendorSetCommand) {
    if (const auto fault = s_.faults.next(Fault::Op::VendorRequest)) {
      notePlannedFault(call, *fault);
      fail(call, fault->error);
      delayMs = fault->delayMs;
    } else if (inBuffer == nullptr) {
      fail(call, ERROR_INVALID_PARAMETER);
    } else {
      vendorRequest(call.in.data(), inSize, call, now);
    }
  } else if (controlId == kQueryDeviceId) {
    if (const auto fault = s_.faults.next(Fault::Op::DeviceIdQuery)) {
      notePlannedFault(call, *fault);
      fail(call, fault->error);
    } else if (outBuffer == nullptr || outSize == 0) {
      fail(call, ERROR_INSUFFICIENT_BUFFER);
    } else if (s_.silent) {
      call.fault = "silent";
    } else {
      const std::string id = deviceIdFor(s_.model);
      const DWORD n = std::min<DWORD>(outSize, static_cast<DWORD>(id.size()));
      std::copy(id.begin(), id.begin() + n, reinterpret_cast<BYTE*>(outBuffer));
      call.out.assign(id.begin(), id.begin() + n);
      call.count = n;
      if (returned != nullptr) *returned = n;
    }
  } else if (!s_.otherResult) {
    fail(call, s_.otherError);
  }
  return finish(held, std::move(call), delayMs);
}

BOOL Printer::setPortTimeOuts(LPCOMMTIMEOUTS timeouts) {
  std::unique_lock<std::mutex> held(lock_);
  Call call = begin(Entry::SetPortTimeOuts);
  if (timeouts == nullptr) {
    fail(call, ERROR_INVALID_PARAMETER);
  } else {
    call.timeouts = *timeouts;
  }
  return finish(held, std::move(call));
}

}  // namespace sim

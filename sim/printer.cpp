// The printer's script, its status as time passes, and the records tests read.
#include "sim/printer.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "sim/replies.h"

namespace sim {

Printer::Printer(std::string portName)
    : port_(std::move(portName)),
      link_(port_.find("COM") != std::string::npos ? Link::Serial : Link::VendorRequests),
      usb_(port_.find("USB") != std::string::npos && link_ != Link::Serial) {}

// ---------------------------------------------------------------- status

bool Printer::conditionActive(const ActiveCondition& c, DWORD now) const {
  if (!c.pagesReached) return false;
  const DWORD sinceAdded = now - c.addedAt;
  const DWORD start = std::max(c.pagesReachedAt - c.addedAt, c.condition.afterMs);
  if (sinceAdded < start) return false;
  return c.condition.forMs == 0 || sinceAdded - start < c.condition.forMs;
}

BYTE Printer::currentStatus1(DWORD now) const {
  BYTE bits = s_.base1;
  for (const ActiveCondition& c : s_.conditions) {
    if (conditionActive(c, now)) bits |= c.condition.status1;
  }
  return bits;
}

BYTE Printer::currentStatus2(DWORD now) const {
  BYTE bits = s_.base2;
  for (const ActiveCondition& c : s_.conditions) {
    if (conditionActive(c, now)) bits |= c.condition.status2;
  }
  if (s_.pages > 0 && now - s_.lastPageAt < s_.lastPageBusyMs) bits |= status2::Busy;
  const bool held = s_.docEnded && (s_.docHoldForever || now - s_.docEndedAt < s_.docHoldMs);
  if (s_.docInProgress || held) bits |= status2::DocInProgress;
  return bits;
}

void Printer::setStatus(BYTE status1, BYTE status2) {
  std::lock_guard<std::mutex> held(lock_);
  s_.base1 = status1;
  s_.base2 = status2;
}

void Printer::addCondition(const Condition& condition) {
  std::lock_guard<std::mutex> held(lock_);
  ActiveCondition c;
  c.condition = condition;
  c.addedAt = clockTickCount();
  c.pagesAtAdd = s_.pages;
  c.pagesReached = condition.afterPages == 0;
  c.pagesReachedAt = c.addedAt;
  s_.conditions.push_back(c);
}

void Printer::clearConditions() {
  std::lock_guard<std::mutex> held(lock_);
  s_.conditions.clear();
}

void Printer::setBusyAfterPage(DWORD ms) {
  std::lock_guard<std::mutex> held(lock_);
  s_.busyAfterPageMs = ms;
}

void Printer::holdDocInProgress(DWORD ms, bool forever) {
  std::lock_guard<std::mutex> held(lock_);
  s_.docHoldMs = ms;
  s_.docHoldForever = forever;
}

BYTE Printer::status1() const {
  std::lock_guard<std::mutex> held(lock_);
  return currentStatus1(clockTickCount());
}

BYTE Printer::status2() const {
  std::lock_guard<std::mutex> held(lock_);
  return currentStatus2(clockTickCount());
}

// ------------------------------------------------------ counters and identity

void Printer::setTicketCount(DWORD count) {
  std::lock_guard<std::mutex> held(lock_);
  s_.ticketCount = count;
}

DWORD Printer::ticketCount() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.ticketCount;
}

void Printer::setHeadTemperature(int celsius) {
  std::lock_guard<std::mutex> held(lock_);
  s_.headTempC = celsius;
}

void Printer::setErrorCode(int code) {
  std::lock_guard<std::mutex> held(lock_);
  s_.errorCode = code;
}

void Printer::setFormsLength(WORD hundredthsOfInch) {
  std::lock_guard<std::mutex> held(lock_);
  s_.formsLength = hundredthsOfInch;
}

void Printer::setFirmwareVersion(const std::string& version) {
  std::lock_guard<std::mutex> held(lock_);
  s_.version = version;
}

std::string Printer::firmwareVersion() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.version;
}

void Printer::setSerialNumber(const std::string& serial) {
  std::lock_guard<std::mutex> held(lock_);
  s_.serialNumber = serial;
}

void Printer::setModel(const std::string& model) {
  std::lock_guard<std::mutex> held(lock_);
  s_.model = model;
}

std::string Printer::deviceId() const {
  std::lock_guard<std::mutex> held(lock_);
  return deviceIdFor(s_.model);
}

// ---------------------------------------------------------------- watchdog

void Printer::setWatchdogCounts(unsigned enumerations, unsigned timeouts) {
  std::lock_guard<std::mutex> held(lock_);
  s_.wdEnumerations = enumerations & 0x0F;
  s_.wdTimeouts = timeouts & 0x0F;
}

void Printer::setWatchdogVersion(char digit) {
  std::lock_guard<std::mutex> held(lock_);
  s_.wdVersion = digit;
}

void Printer::setWatchdogAlwaysReported(bool always) {
  std::lock_guard<std::mutex> held(lock_);
  s_.wdAlwaysReported = always;
}

bool Printer::watchdogArmed() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.wdArmed;
}

BYTE Printer::watchdogSeconds() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.wdSeconds;
}

// ------------------------------------------------------ flash and flow control

void Printer::scriptFlash(const FlashScript& script) {
  std::lock_guard<std::mutex> held(lock_);
  s_.flash = script;
}

void Printer::setFlashMode(bool on) {
  std::lock_guard<std::mutex> held(lock_);
  s_.flashMode = on;
}

bool Printer::inFlashMode() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.flashMode;
}

unsigned Printer::restarts() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.restarts;
}

std::vector<BYTE> Printer::firmwareBytes() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.firmware;
}

void Printer::scriptXoff(const XoffScript& script) {
  std::lock_guard<std::mutex> held(lock_);
  s_.xoff = script;
  s_.writesSinceXoffScript = 0;
}

void Printer::setOtherControlResult(BOOL result, DWORD error) {
  std::lock_guard<std::mutex> held(lock_);
  s_.otherResult = result;
  s_.otherError = error;
}

// ------------------------------------------------------------------ faults

void Printer::addFault(const Fault& fault) {
  std::lock_guard<std::mutex> held(lock_);
  s_.faults.add(fault);
}

void Printer::clearFaults() {
  std::lock_guard<std::mutex> held(lock_);
  s_.faults.clear();
}

void Printer::setSilent(bool silent) {
  std::lock_guard<std::mutex> held(lock_);
  s_.silent = silent;
}

void Printer::powerCycle(DWORD offMs) {
  std::lock_guard<std::mutex> held(lock_);
  s_.off = true;
  s_.offAt = clockTickCount();
  s_.offMs = offMs;
  s_.wdArmed = false;
  s_.wdEnumerations = (s_.wdEnumerations + 1) & 0x0F;
  s_.docInProgress = false;
  s_.docEnded = false;
  s_.flashMode = false;
  s_.readQueue.clear();
  s_.scanner.reset();
  s_.xoff.reset();
}

bool Printer::answers() const {
  std::lock_guard<std::mutex> held(lock_);
  if (s_.silent || (s_.off && clockTickCount() - s_.offAt < s_.offMs) || s_.faults.failing(Fault::Op::Read)) return false;
  // A serial request travels in a document of its own, written like job data; in
  // flash mode it is taken for firmware.
  return link_ != Link::Serial ||
         (!s_.flashMode && !s_.faults.failing(Fault::Op::Write) && !s_.faults.failing(Fault::Op::StartDoc));
}

bool Printer::faultsPending(Fault::Op op) const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.faults.pending(op);
}

unsigned Printer::faultsFired() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.faults.fired();
}

// ----------------------------------------------------------------- records

std::vector<Call> Printer::calls() const {
  std::lock_guard<std::mutex> held(lock_);
  return calls_;
}

std::vector<Call> Printer::calls(Entry entry) const {
  std::lock_guard<std::mutex> held(lock_);
  std::vector<Call> out;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
               [entry](const Call& c) { return c.entry == entry; });
  return out;
}

size_t Printer::callCount() const {
  std::lock_guard<std::mutex> held(lock_);
  return calls_.size();
}

size_t Printer::callCount(Entry entry) const {
  std::lock_guard<std::mutex> held(lock_);
  return callsPerEntry_[static_cast<size_t>(entry)];
}

std::vector<std::vector<BYTE>> Printer::vendorRequests() const {
  std::lock_guard<std::mutex> held(lock_);
  std::vector<std::vector<BYTE>> out;
  for (const Call& c : calls_) {
    if (c.entry == Entry::GetPrinterDataFromPort && c.controlId == kVendorSetCommand) out.push_back(c.in);
  }
  return out;
}

std::vector<Document> Printer::documents() const {
  std::lock_guard<std::mutex> held(lock_);
  return documents_;
}

std::vector<BYTE> Printer::documentBytes() const {
  std::lock_guard<std::mutex> held(lock_);
  return documents_.empty() ? std::vector<BYTE>{} : documents_.back().data;
}

size_t Printer::statusAnswers() const {
  std::lock_guard<std::mutex> held(lock_);
  return statusAnswers_;
}

std::vector<std::vector<BYTE>> Printer::f0Tickets() const {
  std::lock_guard<std::mutex> held(lock_);
  return f0Tickets_;
}

unsigned Printer::pagesPrinted() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.pages;
}

size_t Printer::lostBytes() const {
  std::lock_guard<std::mutex> held(lock_);
  return s_.lostBytes;
}

int Printer::openCount() const {
  std::lock_guard<std::mutex> held(lock_);
  return openCount_;
}

bool Printer::inDocument() const {
  std::lock_guard<std::mutex> held(lock_);
  return docDepth_ > 0;
}

bool Printer::waitUntil(const std::function<bool(const std::vector<Call>&)>& pred, DWORD timeoutMs) const {
  const DWORD start = clockTickCount();
  std::unique_lock<std::mutex> held(lock_);
  for (;;) {
    if (pred(calls_)) return true;
    const DWORD elapsed = clockTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    // Wake at least every 10 protocol ms to follow the clock even without new calls.
    const DWORD slice = std::min<DWORD>(timeoutMs - elapsed, 10);
    changed_.wait_for(held, std::chrono::microseconds(static_cast<long long>(slice * clockScale() * 1000.0) + 1));
  }
}

void Printer::clearRecords() {
  std::lock_guard<std::mutex> held(lock_);
  calls_.clear();
  std::fill(std::begin(callsPerEntry_), std::end(callsPerEntry_), 0);
  f0Tickets_.clear();
  statusAnswers_ = 0;
  // An open document stays, emptied, so the bytes that follow still land in it.
  if (docDepth_ > 0 && !documents_.empty()) {
    Document current = documents_.back();
    current.data.clear();
    current.pages = 0;
    documents_.assign(1, current);
  } else {
    documents_.clear();
  }
}

void Printer::reset() {
  {
    std::lock_guard<std::mutex> held(lock_);
    s_ = State{};
  }
  clearRecords();
}

}  // namespace sim

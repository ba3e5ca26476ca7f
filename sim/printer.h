// The virtual ticket printer: one per port name, scripted and inspected by tests,
// driven by the monitor through the lower monitor table (sim/lower_monitor.h).
//
// Link. A port name containing "COM" is a serial link; every other name (USB...,
// LPT..., FILE:) takes vendor requests through GetPrinterDataFromPort. The name is
// matched case-sensitively, the way the monitor decides its port type, and the
// watchdog bytes appear only on names containing "USB". Vendor requests are acted
// on on every link, so a serial printer can be flashed too.
//
// Reply model. The printer keeps its previous answer queued. A status vendor
// request queues two replies: first the stale one (the short status as it stood
// when the request arrived), then the answer to the request; each read returns one
// queued reply (cut to the reader's buffer, the rest stays for the next read). A
// read with nothing queued returns the current short status on a vendor-request
// link, and 0 bytes on a serial link. On a serial link a request written to the port
// queues its answer alone.
//
// Strictness. On a vendor-request link a stopped printer (paper out, a jam, the
// head open, off line) takes no data: WritePort fails with ERROR_TIMEOUT and 0 bytes
// written. Job bytes written while the printer is busy after a page are lost and
// counted (lostBytes). The page scanner follows raster blocks across documents.
//
// Time. Every duration of the printer (busy after a page, conditions, XON after
// XOFF, holding DOC_IN_PROGRESS) is in protocol ms from clockTickCount(), so a
// test that speeds the clock up speeds the printer up too. Replies are available
// at once; a table entry blocks only for a planned time-out (Fault::timeOut).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "sim/fault_plan.h"
#include "sim/page_scanner.h"
#include "sim/printer_codes.h"
#include "sim/timeline.h"

namespace sim {

enum class Link { Serial, VendorRequests };

// Status bits that hold for a while. A condition starts once `afterPages` pages
// have been printed and `afterMs` protocol ms have passed since it was added (both
// 0: at once), then lasts `forMs` protocol ms (0: until cleared).
struct Condition {
  BYTE status1 = 0;
  BYTE status2 = 0;
  unsigned afterPages = 0;
  DWORD afterMs = 0;
  DWORD forMs = 0;
};

// What a firmware update does. After the end-of-transfer request the printer
// restarts: the next `restartsWithoutVersion` restarts leave the version as it was
// and make the first complete status after them carry no field 05; later restarts
// take `newVersion`, or else the version the update file's name tells (see
// firmwareVersionFromFileName), when `updateFileName` is set and tells one; else
// the version stays. `updateFileName` is asked at the restart, on the thread that
// ends the transfer.
struct FlashScript {
  std::string readyText = "FLASH READY";  // field 15 in flash mode
  std::string newVersion;
  unsigned restartsWithoutVersion = 0;
  std::function<std::string()> updateFileName;
};

// Serial flow control: after the Nth write from now the printer puts XOFF and then
// `extraBytes` in its read stream, and XON `xonAfterMs` protocol ms later. Once.
struct XoffScript {
  unsigned afterWrites = 1;
  std::vector<BYTE> extraBytes;
  DWORD xonAfterMs = 0;
};

// Everything between the lower StartDocPort and EndDocPort. A StartDocPort inside an
// open document nests (serial status queries do this during a job) and keeps it open.
struct Document {
  std::string printerName;
  DWORD jobId = 0;
  uint64_t startSeq = 0;   // the seq of the StartDocPort call that opened it
  std::vector<BYTE> data;  // job data only: no serial requests, no firmware bytes
  // The zeros the printer's parser still wanted, when the document opened, to end a
  // block an earlier document left open.
  uint32_t blockOwedAtStart = 0;
  unsigned pages = 0;
  bool open = true;
};

class Printer {
 public:
  explicit Printer(std::string portName);
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  const std::string& portName() const { return port_; }
  Link link() const { return link_; }
  bool isUsb() const { return usb_; }

  // ---- status
  void setStatus(BYTE status1, BYTE status2);  // the bits that hold until changed
  void addCondition(const Condition& condition);
  void clearConditions();
  // Busy for `ms` after each page printed from now on: a page already printed keeps
  // the busy time it had.
  void setBusyAfterPage(DWORD ms);
  // DOC_IN_PROGRESS runs from the start-of-document request to the end-of-document
  // request, then for `ms` more (forever: until the next start-of-document request).
  void holdDocInProgress(DWORD ms, bool forever = false);
  BYTE status1() const;  // as a reply would carry them now
  BYTE status2() const;

  // ---- counters and identity
  void setTicketCount(DWORD count);
  DWORD ticketCount() const;
  void setHeadTemperature(int celsius);
  void setErrorCode(int code);
  void setFormsLength(WORD hundredthsOfInch);
  void setFirmwareVersion(const std::string& version);
  std::string firmwareVersion() const;
  void setSerialNumber(const std::string& serial);
  void setModel(const std::string& model);
  std::string deviceId() const;

  // ---- watchdog (replies on USB ports)
  void setWatchdogCounts(unsigned enumerations, unsigned timeouts);  // 0 ... 15 each
  void setWatchdogVersion(char digit);
  // A printer whose watchdog always shows in its replies, armed or not.
  void setWatchdogAlwaysReported(bool always);
  bool watchdogArmed() const;
  BYTE watchdogSeconds() const;  // of the last arming request

  // ---- flash and flow control
  void scriptFlash(const FlashScript& script);
  void setFlashMode(bool on);  // as if the enter-flash request had come
  bool inFlashMode() const;
  unsigned restarts() const;
  std::vector<BYTE> firmwareBytes() const;
  void scriptXoff(const XoffScript& script);

  // ---- GetPrinterDataFromPort with a control id the printer does not know
  void setOtherControlResult(BOOL result, DWORD error);

  // ---- faults
  void addFault(const Fault& fault);
  void clearFaults();
  // A silent printer: every read returns TRUE with 0 bytes, requests are not answered.
  void setSilent(bool silent);
  // The printer is switched off for offMs protocol ms and comes back fresh: while it
  // is off every read, write and vendor request fails with ERROR_GEN_FAILURE, as the
  // link to a device that has gone does; then it answers again with its watchdog
  // disarmed, no document in progress, nothing queued and one more enumeration.
  void powerCycle(DWORD offMs);
  // Whether the printer answers status requests now: neither silent nor switched off,
  // and its reads (on serial also its writes and document starts) not failing for
  // good; a serial printer in flash mode takes requests for firmware.
  bool answers() const;
  // Whether a planned fault of the kind may still fire at a moment of its own
  // (FaultPlan::pending), and how many planned faults have fired.
  bool faultsPending(Fault::Op op) const;
  unsigned faultsFired() const;

  // ---- records
  std::vector<Call> calls() const;
  std::vector<Call> calls(Entry entry) const;
  size_t callCount() const;             // without copying the calls
  size_t callCount(Entry entry) const;
  // Status requests (short, normal, extended, complete) answered, on either link.
  size_t statusAnswers() const;
  std::vector<std::vector<BYTE>> vendorRequests() const;  // every request passed, in order
  std::vector<Document> documents() const;
  std::vector<BYTE> documentBytes() const;  // of the open document, else of the last one
  std::vector<std::vector<BYTE>> f0Tickets() const;  // the 7 parameter bytes of each
  unsigned pagesPrinted() const;
  // Job bytes that arrived while the printer was busy after a page, and were lost.
  size_t lostBytes() const;
  int openCount() const;  // lower ports open on this printer
  bool inDocument() const;
  // Waits until pred holds over the calls, at most timeoutMs protocol ms.
  bool waitUntil(const std::function<bool(const std::vector<Call>&)>& pred, DWORD timeoutMs) const;
  // Forgets calls, documents and F0 tickets (long runs call it to bound memory); an
  // open document stays open, emptied.
  void clearRecords();

  // A fresh printer again: script, state, faults and records. Open ports stay open.
  void reset();

 private:
  friend struct PortEntries;  // the lower monitor table

  struct ActiveCondition {
    Condition condition;
    DWORD addedAt = 0;
    unsigned pagesAtAdd = 0;
    bool pagesReached = false;
    DWORD pagesReachedAt = 0;
  };

  struct Chunk {
    std::vector<BYTE> bytes;
    DWORD queuedAt = 0;
    DWORD delayMs = 0;
  };

  // Everything reset() restores.
  struct State {
    BYTE base1 = 0;
    BYTE base2 = 0;
    std::vector<ActiveCondition> conditions;
    DWORD busyAfterPageMs = 0;
    DWORD docHoldMs = 0;
    bool docHoldForever = false;

    DWORD ticketCount = 0;
    int headTempC = 32;
    int errorCode = 0;
    WORD formsLength = 300;
    std::string version = "V1.23";
    std::string serialNumber = "SN0001";
    std::string model = "VTP-100";

    unsigned wdEnumerations = 0;
    unsigned wdTimeouts = 0;
    char wdVersion = '5';
    bool wdAlwaysReported = false;
    bool wdArmed = false;
    BYTE wdSeconds = 0;
    DWORD wdRenewedAt = 0;

    FlashScript flash;
    bool flashMode = false;
    unsigned restarts = 0;
    bool versionlessNextComplete = false;
    std::vector<BYTE> firmware;

    std::optional<XoffScript> xoff;
    unsigned writesSinceXoffScript = 0;

    BOOL otherResult = FALSE;
    DWORD otherError = ERROR_NOT_SUPPORTED;

    FaultPlan faults;
    bool silent = false;
    bool off = false;  // switched off since offAt, for offMs
    DWORD offAt = 0;
    DWORD offMs = 0;

    bool docInProgress = false;
    bool docEnded = false;
    DWORD docEndedAt = 0;
    unsigned pages = 0;
    DWORD lastPageAt = 0;
    DWORD lastPageBusyMs = 0;
    PageScanner scanner;
    std::deque<Chunk> readQueue;
    std::vector<BYTE> serialUnfinished;  // the start of a request whose rest has not come
    size_t lostBytes = 0;
  };

  // Helpers; the caller holds lock_.
  Call begin(Entry entry) const;
  // Records the call and returns its result, after delayMs when a fault takes that long.
  BOOL finish(std::unique_lock<std::mutex>& held, Call call, DWORD delayMs = 0);
  bool switchedOff(Call& call);  // fails the call when the printer is off
  void watchdogRuns(Call& call);  // a printer silent past its armed watchdog resets
  // A stopped printer (paper out, a jam, the head open, off line) takes no data: the
  // write fails with ERROR_TIMEOUT and 0 bytes, as a stalled USB endpoint does.
  bool stalled(Call& call);
  bool busyAfterPage(DWORD now) const;
  BYTE currentStatus1(DWORD now) const;
  BYTE currentStatus2(DWORD now) const;
  bool conditionActive(const ActiveCondition& c, DWORD now) const;
  std::vector<BYTE> reply(BYTE code, DWORD now);
  std::vector<BYTE> answerRequest(BYTE code, DWORD now);  // reply(), counted when it carries status
  void queueReply(std::vector<BYTE> bytes, DWORD now, DWORD delayMs = 0);
  void receive(const BYTE* data, size_t size, DWORD now);
  void receiveJobData(const BYTE* data, size_t size, DWORD now);
  void countWrite(DWORD now);
  void endDocument(DWORD now);
  void printPage(DWORD now);
  void vendorRequest(const BYTE* bytes, DWORD size, Call& call, DWORD now);
  void restart();

  // The table entries (sim/printer_entries.cpp).
  BOOL openPort();
  BOOL startDocPort(LPWSTR printerName, DWORD jobId, DWORD level);
  BOOL writePort(LPBYTE buffer, DWORD size, LPDWORD written);
  BOOL readPort(LPBYTE buffer, DWORD size, LPDWORD read);
  BOOL endDocPort();
  BOOL closePort();
  BOOL getPrinterDataFromPort(DWORD controlId, LPWSTR inBuffer, DWORD inSize, LPWSTR outBuffer, DWORD outSize,
                              LPDWORD returned);
  BOOL setPortTimeOuts(LPCOMMTIMEOUTS timeouts);

  const std::string port_;
  const Link link_;
  const bool usb_;

  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  State s_;
  int openCount_ = 0;
  int docDepth_ = 0;
  std::vector<Call> calls_;
  size_t callsPerEntry_[8] = {};
  std::vector<Document> documents_;
  std::vector<std::vector<BYTE>> f0Tickets_;
  size_t statusAnswers_ = 0;
};

}  // namespace sim

#include "scenario.h"

#include <algorithm>
#include <cstdio>

#include "pipe/pipe_commands.h"
#include "rng.h"
#include "sim/printer_codes.h"
#include "ticket_data.h"

namespace soak {
namespace {

const BYTE ESC = 0x1B;

// Firmware files: the printers are TK-300s at V1.23, so the first two pass the
// checks; the others are refused at their check, or do not exist.
enum FirmwareKind { GoodImage, UniversalImage, OtherModel, BadExtension, Missing, FirmwareKinds };

Event event(unsigned port, DWORD at, Step step) {
  Event e;
  e.port = port;
  e.at = at;
  e.step = step;
  return e;
}

std::vector<PortPlan> drawPorts(Rng& rng) {
  std::vector<PortPlan> pool = {{"USB001", "", Link::Usb},
                                {"USB002", "", Link::Usb},
                                {"LPT1:", "", Link::Parallel},
                                {"COM1:", "", Link::Serial}};
  if (rng.percent(30)) pool.push_back({"FILE:", "", Link::File});
  std::vector<PortPlan> ports = {pool[0]};
  pool.erase(pool.begin());
  const unsigned count = rng.range(2, 4);
  while (ports.size() < count && !pool.empty()) {
    const uint32_t i = rng.below(static_cast<uint32_t>(pool.size()));
    ports.push_back(pool[i]);
    pool.erase(pool.begin() + i);
  }
  for (PortPlan& p : ports) p.printerName = "Soak " + p.name + " Printer";
  // The pooled printer: one spooler printer over two ports of the same kind of link.
  if (rng.percent(70)) {
    for (size_t i = 1; i < ports.size(); ++i) {
      if (ports[i].link == Link::Usb || ports[i].link == Link::Parallel) {
        ports[0].printerName = ports[i].printerName = "Soak Pooled Printer";
        break;
      }
    }
  }
  return ports;
}

MonitorSetup drawSetup(Rng& rng) {
  MonitorSetup s;
  s.enableHeartBeat = rng.percent(90) ? 1 : 0;
  s.heartBeatRate = rng.pick(std::vector<DWORD>{1000, 1000, 2000, 3000, 5000});
  s.usbPacketSize = rng.pick(std::vector<DWORD>{64, 512, 1000, 2048, 4096, 4096, 8192});
  s.eojEjectSendLastPage = rng.percent(70) ? 1 : 0;
  s.usbAbortOnWriteTimeout = rng.percent(50) ? 1 : 0;
  s.lpMode = rng.percent(20) ? 1 : 0;
  s.usbWdGlobalEnable = rng.percent(50) ? 1 : 0;
  s.drwEnable = rng.percent(70) ? 1 : 0;
  s.drwDebugMask = 0x01;
  for (DWORD bit : {0x02u, 0x04u, 0x08u, 0x10u, 0x20u}) {
    if (rng.percent(50)) s.drwDebugMask |= bit;
  }
  return s;
}

std::vector<Firmware> drawFirmware(Rng& rng) {
  std::vector<Firmware> files(FirmwareKinds);
  const char* names[FirmwareKinds] = {"TK3A0124.BIN", "TKUNI125.FUL", "TK4A0200.BIN", "TK3A0124.TXT",
                                      "TK3A0999.BIN"};
  for (int i = 0; i < FirmwareKinds; ++i) {
    files[i].fileName = names[i];
    files[i].exists = i != Missing;
    // Images of tens of chunks: a transfer lasts long enough to meet the heartbeat.
    if (files[i].exists) files[i].bytes = firmwareImage(rng.next(), rng.range(600, 80000));
  }
  return files;
}

void drawSpooler(Rng& rng, unsigned port, Link link, DWORD length, DWORD& nextJobId, std::vector<Event>& out) {
  DWORD t = rng.range(0, 3000);
  out.push_back(event(port, t, Step::Open));
  t += rng.range(200, 3000);
  while (t < length) {
    const uint32_t r = rng.below(100);
    if (r < 62) {
      Event e = event(port, t, Step::Job);
      e.job.id = nextJobId++;
      e.job.dataSeed = rng.next();
      e.job.size = rng.percent(20) ? rng.range(1, 600) : rng.range(600, 30000);
      e.job.chunk = rng.percent(30) ? rng.range(1, 20000) : rng.pick(std::vector<DWORD>{64, 512, 4096, 8192, 16384});
      e.job.cancelAt = rng.percent(8) ? rng.below(e.job.size) : e.job.size;
      // A serial port takes no job data through the monitor: its jobs stand in error
      // until the user gives up on them, soon.
      e.job.patienceMs = rng.percent(80) && link != Link::Serial ? rng.range(20000, 60000) : rng.range(1000, 4000);
      e.job.restart = rng.percent(5);
      e.job.closeInDoc = e.job.cancelAt < e.job.size && rng.percent(30);
      out.push_back(e);
      t += rng.range(500, 8000);
    } else if (r < 72) {
      out.push_back(event(port, t, Step::Close));
      t += rng.range(300, 6000);
      out.push_back(event(port, t, Step::Open));
      t += rng.range(200, 3000);
    } else if (r < 75) {
      out.push_back(event(port, t, Step::MemoryQuery));
      t += rng.range(200, 3000);
    } else {
      t += rng.percent(50) ? rng.range(1000, 8000) : rng.range(10000, 30000);  // idle
    }
  }
  out.push_back(event(port, length, Step::Close));
}

// The second thread's reads, on about half of the ports, often enough to meet jobs.
void drawReader(Rng& rng, unsigned port, DWORD length, std::vector<Event>& out) {
  if (!rng.percent(50)) return;
  for (DWORD t = rng.range(500, 3000); t < length; t += rng.range(300, 4000)) out.push_back(event(port, t, Step::ForeignRead));
}

RequestPlan drawRequest(Rng& rng) {
  RequestPlan q;
  q.limitMs = 4000;
  const uint32_t r = rng.below(100);
  if (r < 25) {
    q.code = GET_REAL_TIME_STATUS;
    const WORD timeout = static_cast<WORD>(rng.percent(10) ? 0 : rng.range(100, 3000));
    q.payload = {static_cast<BYTE>(timeout >> 8), static_cast<BYTE>(timeout & 0xFF), ESC, 'I'};
    const uint32_t kind = rng.below(6);
    if (kind < 4) {
      q.payload.push_back(static_cast<BYTE>("SNEC"[kind]));
    } else {
      q.payload.push_back('A');
      q.payload.push_back(rng.pick(std::vector<BYTE>{0, 1, 2, 3, 4, 5, 8, 9, 15}));
    }
    q.limitMs = timeout + 4000u;
  } else if (r < 33) {
    q.code = GET_LAST_STATUS;
  } else if (r < 48) {
    q.code = rng.pick(std::vector<BYTE>{GET_PRINTER_NAME, GET_PORT_NAME, GET_DPRINT_STATE, GET_LM_VERSION});
  } else if (r < 56) {
    q.code = SET_HEARTBEAT;
    q.payload = {static_cast<BYTE>(rng.percent(70) ? 1 : 0)};
  } else if (r < 60) {
    q.code = SET_HEARTBEAT_RATE;
    const DWORD rate = rng.pick(std::vector<DWORD>{1000, 2000, 3000, 5000});
    q.payload = {static_cast<BYTE>(rate), static_cast<BYTE>(rate >> 8), 0, 0};
  } else if (r < 64) {
    q.code = SET_SPOOLER_MODE;
    q.payload = {static_cast<BYTE>(rng.percent(60) ? 1 : 0)};
  } else if (r < 69) {
    q.code = ABORT_DOCUMENT;
  } else if (r < 75) {
    q.code = SET_REGISTRY_KEY;
    struct Choice {
      const char* name;
      std::vector<DWORD> values;
    };
    const std::vector<Choice> choices = {{"HeartBeatRate", {1000, 2000, 5000}},
                                         {"USBPacketSize", {64, 512, 4096, 8192}},
                                         {"EOJEjectSendLastPage", {0, 1}},
                                         {"USBAbortOnWriteTimeout", {0, 1}},
                                         {"NoSuchSetting", {1}}};
    const Choice& c = rng.pick(choices);
    const DWORD value = rng.pick(c.values);
    q.payload = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                 static_cast<BYTE>(value >> 24)};
    for (const char* p = c.name; *p != 0; ++p) q.payload.push_back(static_cast<BYTE>(*p));
    q.payload.push_back(0);
  } else if (r < 80) {
    q.code = PROGRAM_FLASH;
    q.firmware = static_cast<int>(rng.below(FirmwareKinds));
    q.payload = {static_cast<BYTE>(rng.percent(60) ? 'T' : 'N')};
  } else if (r < 90) {
    q.code = GET_FLASH_PROGRESS;
  } else if (r < 94) {
    q.code = GET_DPRINT_STATE;
    q.badFrame = true;
  } else if (r < 97) {
    q.code = GET_JOB_OUTCOMES;
  } else {
    q.code = static_cast<BYTE>(rng.range(GET_JOB_OUTCOMES + 1, 255));
  }
  q.vanish = rng.percent(10);
  q.hangUp = rng.percent(30);
  return q;
}

std::vector<BYTE> rateValue(DWORD rate) {
  return {static_cast<BYTE>(rate), static_cast<BYTE>(rate >> 8), static_cast<BYTE>(rate >> 16),
          static_cast<BYTE>(rate >> 24)};
}

// The same commands from a user who may only read. A change it asks for uses a rate
// of its own, so that one carried out shows; a live status may be the ticket form
// (it prints) or bytes that are no status request at all.
RequestPlan drawOrdinaryRequest(Rng& rng) {
  RequestPlan q = drawRequest(rng);
  q.ordinary = true;
  q.badFrame = false;
  q.vanish = false;
  if (q.code == SET_HEARTBEAT_RATE) q.payload = rateValue(kOrdinaryRate);
  if (q.code == SET_REGISTRY_KEY) {
    q.payload = rateValue(kOrdinaryRate);
    for (const char* p = "HeartBeatRate"; *p != 0; ++p) q.payload.push_back(static_cast<BYTE>(*p));
    q.payload.push_back(0);
  }
  if (q.code == GET_REAL_TIME_STATUS && rng.percent(50)) {
    q.payload.resize(2);
    const std::vector<BYTE> ticket = {ESC, 'I', 'A', 'c', 1, 0, 0, 0, 1, 0, 0};
    const size_t length = rng.percent(50) ? ticket.size() : rng.range(5, 10);
    q.payload.insert(q.payload.end(), ticket.begin(), ticket.begin() + static_cast<long>(length));
  }
  return q;
}

void drawOrdinaryClient(Rng& rng, unsigned port, DWORD length, std::vector<Event>& out) {
  for (DWORD t = rng.range(1000, 4000); t < length; t += rng.range(2000, 12000)) {
    Event e = event(port, t, Step::Request);
    e.request = drawOrdinaryRequest(rng);
    out.push_back(e);
  }
}

// The second thread's reads timed to meet a live status: one that waits for the link
// while the status query holds it takes the link the moment the query lets go, and
// its reply becomes the port's latest just before the pipe answers.
void drawReadsAlongLiveStatus(Rng& rng, unsigned port, std::vector<Event>& out) {
  std::vector<Event> reads;
  for (const Event& e : out) {
    if (e.port != port || e.step != Step::Request || e.request.code != GET_REAL_TIME_STATUS) continue;
    if (rng.percent(40)) reads.push_back(event(port, e.at + rng.range(10, 150), Step::ForeignRead));
  }
  out.insert(out.end(), reads.begin(), reads.end());
}

void drawClient(Rng& rng, unsigned port, DWORD length, std::vector<Event>& out) {
  for (DWORD t = rng.range(300, 3000); t < length; t += rng.range(800, 6000)) {
    Event e = event(port, t, Step::Request);
    e.request = drawRequest(rng);
    out.push_back(e);
  }
}

PrinterPlan condition(Rng& rng, BYTE s1, BYTE s2, const char* what, DWORD minMs, DWORD maxMs) {
  PrinterPlan p;
  p.status1 = s1;
  p.status2 = s2;
  p.afterPages = rng.percent(40) ? rng.range(1, 3) : 0;
  p.afterMs = rng.percent(50) ? rng.range(0, 3000) : 0;
  p.forMs = rng.range(minMs, maxMs);
  p.what = what;
  return p;
}

Event drawPrinterEvent(Rng& rng, unsigned port, DWORD at) {
  using sim::Fault;
  Event e = event(port, at, Step::Fault);
  PrinterPlan& p = e.printer;
  const unsigned nth = rng.range(1, 6);
  const DWORD errors[] = {ERROR_CRC, ERROR_GEN_FAILURE, ERROR_TIMEOUT, ERROR_BUSY, ERROR_SEM_TIMEOUT};
  const DWORD error = errors[rng.below(5)];
  const uint32_t r = rng.below(100);
  if (r < 12) {
    p.fault = Fault::shortWrite(nth, rng.below(3000));
  } else if (r < 22) {
    p.fault = Fault::partWrite(nth, rng.below(3000), error);
  } else if (r < 32) {
    const bool persistent = rng.percent(25);
    p.fault = error == ERROR_TIMEOUT ? Fault::timeOut(Fault::Op::Write, nth, rng.range(100, 3000), persistent)
                                     : Fault::failWrite(nth, error, persistent);
    if (persistent) p.forMs = rng.range(1000, 8000);
  } else if (r < 48) {
    const bool persistent = rng.percent(20);
    switch (rng.below(5)) {
      case 0: p.fault = Fault::failRead(nth, error, persistent); break;
      case 1: p.fault = Fault::zeroRead(nth, persistent); break;
      case 2: p.fault = Fault::cutRead(nth, rng.range(1, 4), persistent); break;
      case 3: {
        std::vector<BYTE> garbage(rng.range(1, 40));
        for (BYTE& b : garbage) b = static_cast<BYTE>(rng.below(256));
        if (rng.percent(50)) garbage[0] = static_cast<BYTE>("SNECA"[rng.below(5)]);
        p.fault = Fault::garbageRead(nth, garbage, persistent);
        break;
      }
      default: p.fault = Fault::timeOut(Fault::Op::Read, nth, rng.range(100, 2000), persistent); break;
    }
    if (persistent) p.forMs = rng.range(1000, 10000);
  } else if (r < 53) {
    p.fault = Fault::failVendorRequest(nth, rng.percent(50) ? ERROR_GEN_FAILURE : ERROR_CRC);
  } else if (r < 56) {
    p.fault = Fault::failStartDoc(ERROR_BUSY);
  } else if (r < 76) {
    e.step = Step::Condition;
    using namespace sim::status1;
    switch (rng.below(8)) {
      case 0: p = condition(rng, SystemNotReady | OutOfPaper, 0, "paper out", 2000, 20000); break;
      case 1: p = condition(rng, SystemNotReady | CutterJam, 0, "cutter jam", 2000, 20000); break;
      case 2: p = condition(rng, SystemNotReady | OutputJam, 0, "output jam", 2000, 20000); break;
      case 3: p = condition(rng, SystemNotReady | HeadLeverUp, 0, "head open", 2000, 20000); break;
      case 4: p = condition(rng, SystemNotReady | ManualDeselect, 0, "off line", 2000, 20000); break;
      case 5: p = condition(rng, 0, sim::status2::LowPaper, "low paper", 2000, 30000); break;
      case 6: p = condition(rng, 0, sim::status2::TicketNotTaken, "ticket not taken", 1000, 10000); break;
      default: p = condition(rng, 0, sim::status2::Busy, "busy", 2000, rng.percent(30) ? 90000 : 15000); break;
    }
  } else if (r < 84) {
    e.step = Step::Silent;
    p.forMs = rng.range(1000, 12000);
    p.what = "silent";
  } else if (r < 90) {
    e.step = Step::Restart;
    p.forMs = rng.range(500, 5000);
    p.what = "restart";
  } else if (r < 95) {
    e.step = Step::BusyAfterPage;
    p.busyMs = rng.percent(50) ? 0 : rng.range(100, 2000);
    p.what = "busy after each page";
  } else {
    p.fault = Fault::failDeviceIdQuery(ERROR_GEN_FAILURE);
  }
  if (e.step == Step::Fault) p.what = p.fault.describe();
  return e;
}

void drawPrinter(Rng& rng, unsigned port, DWORD length, std::vector<Event>& out) {
  for (DWORD t = rng.range(1000, 8000); t < length; t += rng.range(2000, 15000)) {
    out.push_back(drawPrinterEvent(rng, port, t));
  }
}

}  // namespace

const char* linkName(Link link) {
  switch (link) {
    case Link::Usb: return "USB";
    case Link::Parallel: return "parallel";
    case Link::Serial: return "serial";
    case Link::File: return "file";
  }
  return "?";
}

Scenario drawScenario(uint64_t seed) {
  Rng rng(seed);
  Scenario s;
  s.seed = seed;
  s.length = rng.range(60000, 120000);
  s.setup = drawSetup(rng);
  s.ports = drawPorts(rng);
  s.firmware = drawFirmware(rng);
  DWORD nextJobId = 101;
  for (unsigned i = 0; i < s.ports.size(); ++i) {
    Rng spooler = rng.fork(3 * i + 1);
    Rng client = rng.fork(3 * i + 2);
    Rng printer = rng.fork(3 * i + 3);
    Rng reader = rng.fork(1000 + i);
    drawSpooler(spooler, i, s.ports[i].link, s.length, nextJobId, s.events);
    drawReader(reader, i, s.length, s.events);
    drawClient(client, i, s.length, s.events);
    drawPrinter(printer, i, s.length, s.events);
  }
  // Drawn after the rest, which stays as each seed had it.
  for (unsigned i = 0; i < s.ports.size(); ++i) {
    Rng ordinary = rng.fork(2000 + i);
    drawOrdinaryClient(ordinary, i, s.length, s.events);
  }
  for (unsigned i = 0; i < s.ports.size(); ++i) {
    Rng along = rng.fork(3000 + i);
    drawReadsAlongLiveStatus(along, i, s.events);
  }
  std::stable_sort(s.events.begin(), s.events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });
  for (unsigned i = 0; i < s.events.size(); ++i) s.events[i].id = i + 1;
  return s;
}

bool isStructural(const Event& event) { return event.step == Step::Open || event.step == Step::Close; }

Scenario keepOnly(const Scenario& scenario, const std::set<unsigned>& ids) {
  Scenario kept = scenario;
  kept.events.clear();
  for (const Event& e : scenario.events) {
    if (isStructural(e) || ids.count(e.id) != 0) kept.events.push_back(e);
  }
  return kept;
}

std::string Event::describe() const {
  char text[256];
  switch (step) {
    case Step::Open: return "open";
    case Step::Close: return "close";
    case Step::MemoryQuery: return "memory query";
    case Step::ForeignRead: return "a second thread reads the port";
    case Step::Job:
      std::snprintf(text, sizeof text, "job %u: %u bytes in %u-byte buffers%s", static_cast<unsigned>(job.id),
                    static_cast<unsigned>(job.size), static_cast<unsigned>(job.chunk),
                    job.cancelAt < job.size ? (job.closeInDoc ? ", port closed part-way" : ", cancelled part-way")
                    : job.restart           ? ", restarted once"
                                            : "");
      return text;
    case Step::Request:
      std::snprintf(text, sizeof text, "pipe request %u%s%s%s%s", request.code,
                    request.ordinary ? " from an ordinary user" : "", request.badFrame ? " (bad checksum)" : "",
                    request.vanish ? " (client vanishes)" : "", request.hangUp ? " (then hangs up)" : "");
      return text;
    case Step::Fault:
      return "fault " + printer.what + (printer.forMs != 0 ? " for " + std::to_string(printer.forMs) + " ms" : "");
    case Step::Condition:
      std::snprintf(text, sizeof text, "%s for %u ms (after %u pages, %u ms)", printer.what.c_str(),
                    static_cast<unsigned>(printer.forMs), printer.afterPages, static_cast<unsigned>(printer.afterMs));
      return text;
    case Step::Silent:
    case Step::Restart:
      return printer.what + " for " + std::to_string(printer.forMs) + " ms";
    case Step::BusyAfterPage:
      return printer.what + ": " + std::to_string(printer.busyMs) + " ms";
  }
  return "?";
}

}  // namespace soak

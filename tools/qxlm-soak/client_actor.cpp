// A pipe client of one port: connects when the port's pipe is there, sends the
// scenario's requests one at a time, sometimes goes away without reading the answer
// or hangs up after it, and checks that every answer it reads answers its own
// request. Some requests come from an ordinary local user: what would change
// anything is refused and changes nothing, the rest is answered as to anyone.
#include <cstdio>

#include "ctl_client.h"
#include "ctl_packet.h"
#include "entry/monitor_entry.h"
#include "pipe/pipe_commands.h"
#include "platform/posix/pipe_peer.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "run.h"

namespace soak {
namespace {

const DWORD kFlashLimitMs = 20000;  // a flash start reads the printer several times

std::string text(const ctl::Response& r) { return ctl::responseText(r); }

std::string letterName(BYTE type) { return std::string(1, static_cast<char>(type)); }

bool isText(const ctl::Response& r, BYTE type, const char* expected) {
  return r.type == type && text(r) == expected;
}

// Whether a live-status answer is the one a port that is printing gives: the saved
// reply marked not ready, busy and printing, as far as the printer's reply that was
// saved (perhaps cut short) reaches.
bool inDocumentAnswer(const ctl::Response& r) {
  if (r.type != 'P') return false;
  const size_t n = r.payload.size();
  return (n < 4 || (r.payload[3] & 0x80) != 0) && (n < 5 || (r.payload[4] & 0xA0) == 0xA0);
}

std::string judgeLiveStatus(const RequestPlan& q, const ctl::Response& r, bool printing) {
  if (r.type != 'P') return "";  // O and T are answers too; judge() takes the others
  if (printing && inDocumentAnswer(r)) return "";
  const BYTE asked = q.payload.size() > 4 ? q.payload[4] : 0;
  if (r.payload.empty()) return "a live status answered with an empty reply";
  if (r.payload[0] != asked) {
    return "a live status of type " + letterName(asked) + " answered with a reply of type " +
           letterName(r.payload[0]) + " (" + hexBytes(r.payload.data(), r.payload.size()) + ")";
  }
  if (asked == 'A') {
    const unsigned field = q.payload.size() > 5 ? q.payload[5] : 0;
    const char digits[3] = {static_cast<char>('0' + field / 10 % 10), static_cast<char>('0' + field % 10), 0};
    if (r.payload.size() < 3 || r.payload[1] != digits[0] || r.payload[2] != digits[1]) {
      return "field " + std::string(digits) + " asked for, the reply carries " +
             hexBytes(r.payload.data(), r.payload.size());
    }
  }
  return "";
}

std::string judgeFlash(const RunContext& ctx, const RequestPlan& q, const ctl::Response& r) {
  if (r.type == 'F') return "";
  if (r.type != 'P') return "a flash request answered with type " + letterName(r.type);
  const bool withChecks = !q.payload.empty() && q.payload[0] == 'T';
  const Firmware& file = ctx.scenario.firmware[static_cast<size_t>(q.firmware)];
  const bool acceptable = file.exists && (!withChecks || q.firmware <= 1);
  if (!acceptable) return "the update of " + file.fileName + " was started although it must be refused";
  return "";
}

// Empty when the answer fits the request; else what is wrong with it. A live status
// is judged apart (judgeLiveStatus).
std::string judge(const RunContext& ctx, unsigned port, const RequestPlan& q, const ctl::Response& r) {
  if (q.badFrame) return isText(r, 'B', "Bad packet received") ? "" : "a bad packet answered with type " + letterName(r.type);
  if (q.code <= PROGRAM_FLASH && isText(r, 'F', "FLASH UPLOAD IN PROGRESS")) return "";
  switch (q.code) {
    case GET_LAST_STATUS:
      return r.type == 'P' || (r.type == 'O' && r.payload.empty()) ? "" : "last status answered with " + letterName(r.type);
    case GET_REAL_TIME_STATUS:
      return r.type == 'P' || r.type == 'O' || r.type == 'T' ? "" : "a live status answered with " + letterName(r.type);
    case GET_PRINTER_NAME:
      return isText(r, 'P', ctx.scenario.ports[port].printerName.c_str()) ? "" : "printer name answered with " + text(r);
    case GET_PORT_NAME: return isText(r, 'P', ctx.portName(port).c_str()) ? "" : "port name answered with " + text(r);
    case GET_DPRINT_STATE:
      return isText(r, 'D', "DPrint IN progress") || isText(r, 'd', "dPrint NOT in progress")
                 ? ""
                 : "print state answered with " + letterName(r.type);
    case SET_HEARTBEAT: return isText(r, 'P', "Set Heartbeat") ? "" : "heartbeat switch answered with " + text(r);
    case SET_HEARTBEAT_RATE: return isText(r, 'P', "Set Heartbeat rate") ? "" : "rate answered with " + text(r);
    case SET_SPOOLER_MODE: return isText(r, 'P', "Set spooler mode") ? "" : "spooler mode answered with " + text(r);
    case GET_LM_VERSION: return isText(r, 'P', QX_MONITOR_VERSION_TEXT) ? "" : "version answered with " + text(r);
    case PROGRAM_FLASH: return judgeFlash(ctx, q, r);
    case GET_FLASH_PROGRESS: {
      const std::string t = text(r);
      size_t commas = 0;
      for (char c : t) commas += c == ',';
      return r.type == 'P' && commas >= 4 ? "" : "progress answered with " + letterName(r.type) + " " + t;
    }
    case ABORT_DOCUMENT: return isText(r, 'P', "Abort Document") ? "" : "abort answered with " + text(r);
    case GET_JOB_OUTCOMES: {
      const std::string t = text(r);
      return r.type == 'P' && t.compare(0, 5, "held=") == 0 && t.find("\njobs.printed=") != std::string::npos
                 ? ""
                 : "job outcomes answered with " + letterName(r.type) + " " + t;
    }
    case SET_REGISTRY_KEY: {
      const bool known = q.payload.size() > 4 && std::string(q.payload.begin() + 4, q.payload.end() - 1) != "NoSuchSetting";
      const char* expected = known ? "SET REGISTRY KEY PASS" : "SET REGISTRY KEY FAIL";
      return isText(r, 'T', expected) ? "" : std::string("a registry write answered with ") + text(r) + ", not " + expected;
    }
    default:
      return isText(r, 'N', "Unknown status Language Monitor command") ? ""
                                                                          : "an unknown command answered with " + text(r);
  }
}

const char kDenied[] = "ACCESS DENIED - ADMINISTRATOR REQUIRED";

// TRUE, with *wrong set when the answer is not the refusal it must be, for a request
// an ordinary user may not make; FALSE for one that is answered as to anyone.
bool judgeRefusal(const RequestPlan& q, const ctl::Response& r, std::string* wrong) {
  const char* expected = nullptr;
  switch (q.code) {
    case SET_HEARTBEAT:
    case SET_HEARTBEAT_RATE:
    case SET_SPOOLER_MODE:
    case PROGRAM_FLASH:
    case ABORT_DOCUMENT:
    case SET_REGISTRY_KEY:
      expected = kDenied;
      break;
    case GET_REAL_TIME_STATUS:
      // Payload: the time-out, ESC "I", then the type; "A" "c" is the ticket form.
      if (q.payload.size() > 5 && q.payload[4] == 'A' && q.payload[5] == 'c') {
        expected = q.payload.size() == 13 ? kDenied : "NOT A STATUS REQUEST";
      }
      break;
    default:
      break;
  }
  if (expected == nullptr) return false;
  if (!isText(r, 'F', expected)) {
    *wrong = "an ordinary user's request " + std::to_string(q.code) + " answered with " + letterName(r.type) + " " +
             text(r) + ", not F " + expected;
  }
  return true;
}

// What a refused request must leave as it was.
struct Effects {
  bool known = false;  // the port's record was there to look at
  bool abortPending = false;
  bool flashing = false;
  size_t tickets = 0;
};

Effects effectsOf(RunContext& ctx, unsigned port) {
  PortState& ps = *ctx.ports[port];
  Effects e;
  e.tickets = ctx.printer(port).f0Tickets().size();
  std::lock_guard<std::mutex> held(ps.lock);
  if (ps.record != nullptr) {
    e.known = true;
    e.abortPending = ps.record->doc.AbortPending != FALSE;
    e.flashing = ps.record->flash.FlashInProgress != FALSE;
  }
  return e;
}

// Only this port's client aborts or flashes it, one request at a time, and no
// administrator asks for the ordinary user's rate or prints a ticket.
// A port whose open had not returned when the request went has no state before it
// to compare: an administrator's abort or update may have come in between.
std::string changedByOrdinaryUser(const Effects& before, const Effects& after) {
  if (before.known && !before.abortPending && after.abortPending) {
    return "an ordinary user's request left an abort pending";
  }
  if (before.known && !before.flashing && after.flashing) return "an ordinary user's request started a firmware update";
  if (after.tickets != before.tickets) return "an ordinary user's request printed a ticket";
  if (Settings.HeartBeatRate == kOrdinaryRate || wdHeartBeatRate == kOrdinaryRate) {
    return "the heartbeat rate an ordinary user asked for was taken";
  }
  return "";
}

std::vector<BYTE> requestBytes(const RunContext& ctx, const RequestPlan& q) {
  std::vector<BYTE> payload = q.payload;
  if (q.code == PROGRAM_FLASH) {
    const std::string path = ctx.options.firmwareDir + "/" + ctx.scenario.firmware[static_cast<size_t>(q.firmware)].fileName;
    payload.insert(payload.end(), path.begin(), path.end());
    payload.push_back(0);
  }
  std::vector<BYTE> packet = ctl::buildRequest(q.code, payload);
  if (q.badFrame) packet.back() = static_cast<BYTE>(packet.back() + 1);
  return packet;
}

}  // namespace

void runClient(RunContext& ctx, unsigned port) {
  PortState& ps = *ctx.ports[port];
  const int p = static_cast<int>(port);
  ctl::PipeClient client;
  bool connected = false;
  bool connectedOrdinary = false;
  for (const Event& e : ctx.scenario.events) {
    if (e.port != port || e.step != Step::Request) continue;
    ctx.waitUntil(e.at);
    const RequestPlan& q = e.request;
    // The account is the connection's: an ordinary user's request goes on one of its own.
    if (connected && connectedOrdinary != q.ordinary) {
      client.close();
      connected = false;
    }
    if (!connected) {
      // The client lends its identity, so that the monitor can open a firmware file
      // as the client (an update can then really run).
      posix::connectAsOrdinaryCaller(q.ordinary);
      const ctl::Outcome opened = client.open(ctx.portName(port), ctx.realMs(2000, 200), ctl::Identity::Lend);
      posix::connectAsOrdinaryCaller(false);
      connectedOrdinary = q.ordinary;
      if (opened != ctl::Outcome::Ok) {
        ctx.trace.add(p, "client: no connection (" + std::to_string(static_cast<int>(opened)) + ", error " +
                             std::to_string(client.lastError()) + ")");
        continue;
      }
      connected = true;
    }
    const std::vector<BYTE> packet = requestBytes(ctx, q);
    if (q.code == ABORT_DOCUMENT && !q.ordinary) {
      std::lock_guard<std::mutex> held(ctx.record.lock);
      ctx.record.abortsSent.emplace_back(port, ctx.trace.now());
    }
    const size_t callsBefore = ctx.printer(port).callCount();
    const unsigned faultsBefore = ctx.printer(port).faultsFired();
    const DWORD sentAt = ctx.trace.now();
    const bool printingBefore = ps.inDoc;
    const unsigned epochBefore = ps.docEpoch;
    // Taken once connected: every earlier request on the pipe has been served.
    const Effects effectsBefore = q.ordinary ? effectsOf(ctx, port) : Effects();
    ctx.trace.add(p, "client: sends " + e.describe() + ": " + hexBytes(packet.data(), packet.size(), 12));
    std::vector<BYTE> message;
    if (q.vanish) {
      client.exchange(packet, 1, &message);
      client.close();
      connected = false;
      ctx.trace.add(p, "client: went away without reading the answer");
      continue;
    }
    const DWORD limit = q.code == PROGRAM_FLASH ? kFlashLimitMs : q.limitMs;
    const ctl::Outcome outcome = client.exchange(packet, ctx.realMs(limit, 1000) + 1000, &message);
    const bool printing = printingBefore || ps.inDoc || ps.docEpoch != epochBefore;
    if (outcome != ctl::Outcome::Ok) {
      ctx.trace.add(p, "client: no answer (" + std::to_string(static_cast<int>(outcome)) + ", error " +
                           std::to_string(client.lastError()) + "); hangs up");
      client.close();
      connected = false;
      continue;
    }
    ctl::Response response;
    if (!ctl::parseResponse(message, &response)) {
      ctx.record.addBreach(Check::Replies, ctx.trace.now(), p,
                           "an answer that is no response packet: " + hexBytes(message.data(), message.size(), 24));
    } else {
      ctx.trace.add(p, "client: answer " + letterName(response.type) + " " +
                           hexBytes(response.payload.data(), response.payload.size(), 24));
      std::string refusal;
      const bool refused = q.ordinary && judgeRefusal(q, response, &refusal);
      const std::string wrong = refused ? "" : judge(ctx, port, q, response);
      {
        std::lock_guard<std::mutex> held(ctx.record.lock);
        ++ctx.record.exercised.answers;
        if (q.code == GET_REAL_TIME_STATUS && !q.badFrame && !refused) ++ctx.record.exercised.liveStatus;
        if (q.ordinary) ++ctx.record.exercised.ordinary;
      }
      if (!wrong.empty()) ctx.record.addBreach(Check::Replies, ctx.trace.now(), p, wrong);
      if (!refusal.empty()) ctx.record.addBreach(Check::Authority, ctx.trace.now(), p, refusal);
      if (q.ordinary) {
        const std::string changed = changedByOrdinaryUser(effectsBefore, effectsOf(ctx, port));
        if (!changed.empty()) ctx.record.addBreach(Check::Authority, ctx.trace.now(), p, changed);
      }
      // A reply the printer itself cut or garbled is passed on as it came.
      if (q.code == GET_REAL_TIME_STATUS && !q.badFrame && !refused && ctx.printer(port).faultsFired() == faultsBefore) {
        const std::string other = judgeLiveStatus(q, response, printing);
        if (!other.empty()) ctx.record.addBreach(Check::LiveStatus, ctx.trace.now(), p, other);
      }
      if (q.code == PROGRAM_FLASH && response.type == 'P' && !q.badFrame) {
        std::lock_guard<std::mutex> held(ctx.record.lock);
        ctx.record.flashes.push_back(FlashStart{port, sentAt, q.firmware, callsBefore});
      }
    }
    if (q.hangUp) {
      client.close();
      connected = false;
    }
  }
  client.close();
}

}  // namespace soak

#include "ctl_run.h"

#include "ctl_client.h"
#include "ctl_command_line.h"
#include "ctl_fleet.h"
#include "ctl_progress.h"
#include "ctl_status.h"
#include "pipe/pipe_commands.h"

namespace ctl {
namespace {

// How long a client waits for the port's pipe while another client has it.
const DWORD kBusyWaitMs = 5000;
// The monitor answers most commands at once; a firmware update's start reads the
// printer's status and waits for its flash mode first.
const DWORD kAnswerLimitMs = 30000;
const DWORD kFlashStartLimitMs = 120000;
// The live status waits the client's time-out inside the monitor, then answers.
const DWORD kStatusMarginMs = 10000;
const DWORD kProgressPollMs = 200;
const int kBarWidth = 40;

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::NoSuchPort:
      return "no such port (the port is not open)";
    case Outcome::Busy:
      return "the port's pipe is busy with another client";
    case Outcome::TimedOut:
      return "the monitor did not answer in time";
    case Outcome::Untrusted:
      return "the port's pipe is not served by the spooler's account (SYSTEM) or an administrator, so the "
             "firmware file is not offered to it";
    default:
      return "the connection to the port failed";
  }
}

int outcomeExit(Outcome outcome) {
  switch (outcome) {
    case Outcome::Ok:
      return EXIT_OK;
    case Outcome::NoSuchPort:
      return EXIT_NO_SUCH_PORT;
    case Outcome::Busy:
      return EXIT_BUSY;
    case Outcome::TimedOut:
      return EXIT_TIMED_OUT;
    case Outcome::Untrusted:
      return EXIT_UNTRUSTED;
    default:
      return EXIT_FAILED;
  }
}

class Session {
 public:
  Session(const Invocation& invocation, const Console& console) : inv_(invocation), console_(console) {}

  int run() {
    Response response;
    const DWORD limit = inv_.code == GET_REAL_TIME_STATUS ? inv_.timeoutMs + kStatusMarginMs
                        : inv_.followsProgress        ? kFlashStartLimitMs
                                                      : kAnswerLimitMs;
    const Outcome outcome = ask(inv_.code, inv_.payload, limit, &response);
    if (outcome != Outcome::Ok) return clientFailure(outcome);
    const int code = report(response);
    if (code != EXIT_OK || !inv_.followsProgress) return code;
    return followUpdate();
  }

 private:
  // Only the firmware update lends the client's identity: the monitor opens the
  // file as the client.
  Outcome ask(BYTE code, const std::vector<BYTE>& payload, DWORD limitMs, Response* response) {
    PipeClient client;
    Outcome outcome =
        client.open(inv_.port, kBusyWaitMs, code == PROGRAM_FLASH ? Identity::Lend : Identity::IdentifyOnly);
    if (outcome == Outcome::Ok) outcome = client.send(buildRequest(code, payload), limitMs, response);
    if (outcome == Outcome::Untrusted) serverAccount_ = client.serverAccount();
    return outcome;
  }

  // An answer's object, open after the members every answer has.
  tools::JsonWriter jsonHead() const {
    tools::JsonWriter json;
    json.beginObject().member("port", inv_.port).member("command", inv_.command);
    return json;
  }

  int clientFailure(Outcome outcome) {
    if (inv_.output == Output::Json) {
      console_.out << jsonHead().member("error", outcomeText(outcome)).endObject().text() << "\n";
    }
    console_.err << "qxlm-ctl: " << inv_.port << ": " << outcomeText(outcome);
    if (outcome == Outcome::Untrusted) console_.err << " (it is served by " << serverAccount_ << ")";
    console_.err << "\n";
    return outcomeExit(outcome);
  }

  bool isStatusCommand() const { return inv_.code == GET_LAST_STATUS || inv_.code == GET_REAL_TIME_STATUS; }

  // What the answer means for the exit code.
  int verdict(const Response& response) const {
    switch (response.type) {
      case 'P':
      case 'O':
      case 'D':
      case 'd':
        return EXIT_OK;
      case 'T':
        if (inv_.code == SET_REGISTRY_KEY) {
          return responseText(response) == "SET REGISTRY KEY PASS" ? EXIT_OK : EXIT_REFUSED;
        }
        return EXIT_TIMED_OUT;
      default:
        return EXIT_REFUSED;  // F, B, N
    }
  }

  int report(const Response& response) {
    const int code = verdict(response);
    const std::string letter(1, static_cast<char>(response.type));
    const bool statusReply = isStatusCommand() && response.type == 'P';
    if (inv_.output == Output::Raw) {
      console_.out << letter << (response.payload.empty() ? "" : " ") << hexBytes(response.payload) << "\n";
      return code;
    }
    DecodedStatus status;
    const bool decoded = statusReply && decodeStatus(response.payload, &status);
    if (inv_.output == Output::Json) {
      tools::JsonWriter json = jsonHead();
      json.member("response", letter);
      if (statusReply) {
        json.member("raw", hexBytes(response.payload));
        if (decoded) writeStatusMembers(status, &json);
      } else if (response.type == 'O') {
        json.member("stored", false);
      } else {
        json.member("text", responseText(response));
      }
      if (response.type == 'D' || response.type == 'd') json.member("printing", response.type == 'D');
      console_.out << json.member("ok", code == EXIT_OK).endObject().text() << "\n";
      return code;
    }
    if (statusReply) {
      console_.out << (decoded ? statusText(status) : "reply: " + hexBytes(response.payload) + "\n");
    } else if (response.type == 'O') {
      console_.out << "no status reply stored yet\n";
    } else if (code == EXIT_OK) {
      console_.out << responseText(response) << "\n";
    } else {
      console_.err << "qxlm-ctl: " << inv_.port << ": " << (code == EXIT_TIMED_OUT ? "timed out: " : "refused: ")
                   << responseText(response) << "\n";
    }
    return code;
  }

  // Shows one progress text: in place on a terminal, else one line per change.
  void showProgress(const std::string& line, const FlashProgress& progress) {
    if (inv_.output == Output::Raw) {
      console_.out << line << "\n";
    } else if (inv_.output == Output::Json) {
      tools::JsonWriter json = jsonHead();
      json.member("progress", line).member("stage", progress.stage);
      if (progress.stage == 1) json.member("percent", transferPercent(progress));
      if (isFinalProgress(progress)) json.member("ok", isSuccessfulProgress(progress));
      console_.out << json.endObject().text() << "\n";
    } else if (console_.terminal) {
      const std::string bar = progressBar(progress, kBarWidth);
      const size_t pad = drawn_ > bar.size() ? drawn_ - bar.size() : 0;
      console_.out << "\r" << bar << std::string(pad, ' ') << std::flush;
      drawn_ = bar.size();
    } else {
      console_.out << progressBar(progress, kBarWidth) << "\n";
    }
  }

  // Asks for the progress until the update's final line, which decides the exit code.
  int followUpdate() {
    std::string last;
    std::string reason;  // a failure line the final one replaces
    DWORD changed = GetTickCount();
    for (;;) {
      Sleep(kProgressPollMs);
      Response response;
      const Outcome outcome = ask(GET_FLASH_PROGRESS, {}, kAnswerLimitMs, &response);
      // Another client may ask in between, but a pipe that stays busy shows no
      // progress either.
      if (outcome == Outcome::Busy && GetTickCount() - changed < inv_.stallLimitMs) continue;
      if (outcome != Outcome::Ok) {
        endLine();
        return clientFailure(outcome);
      }
      const std::string line = responseText(response);
      FlashProgress progress;
      if (line == last || !parseProgress(line, &progress)) {
        if (GetTickCount() - changed >= inv_.stallLimitMs) {
          endLine();
          console_.err << "qxlm-ctl: " << inv_.port << ": the update shows no progress: " << line << "\n";
          return EXIT_TIMED_OUT;
        }
        continue;
      }
      last = line;
      changed = GetTickCount();
      if (progress.stage == 3 && !isFinalProgress(progress)) reason = progress.text;
      showProgress(line, progress);
      if (isFinalProgress(progress)) {
        endLine();
        if (isSuccessfulProgress(progress)) return EXIT_OK;
        if (inv_.output == Output::Decoded && !reason.empty()) {
          console_.err << "qxlm-ctl: " << inv_.port << ": " << reason << "\n";
        }
        return EXIT_REFUSED;
      }
    }
  }

  void endLine() {
    if (drawn_ != 0) console_.out << "\n";
    drawn_ = 0;
  }

  const Invocation& inv_;
  const Console& console_;
  size_t drawn_ = 0;
  std::string serverAccount_;  // of a server refused the client's identity
};

}  // namespace

int runCtl(const std::vector<std::string>& args, const Console& console) {
  if (isFleetCommand(args)) return runFleet(args, console);
  Invocation invocation;
  std::string error;
  if (!parseCommandLine(args, &invocation, &error)) {
    console.err << "qxlm-ctl: " << error << "\nTry 'qxlm-ctl --help'.\n";
    return EXIT_USAGE;
  }
  if (invocation.help) {
    console.out << usageText();
    return EXIT_OK;
  }
  return Session(invocation, console).run();
}

}  // namespace ctl

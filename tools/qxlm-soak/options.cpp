#include "options.h"

#include <cstdlib>
#include <sstream>

namespace soak {

const char kUsage[] =
    "usage: qxlm-soak [options]\n"
    "\n"
    "Seeded randomized runs of the monitor: several ports at once (USB, parallel, serial,\n"
    "FILE:; two of them for one pooled printer) opened and closed at random, jobs with\n"
    "random ticket data and buffer sizes, pipe clients on every port, printer and lower-port\n"
    "faults at random moments, all on the sped-up clock, through the monitor's function\n"
    "table over the virtual printers and the recording spooler. One seed fixes every event\n"
    "of a run and when it is due; threads still interleave as the machine runs them, so a\n"
    "breach that hangs on a race may need its seed run a few times.\n"
    "\n"
    "  --seed N           run seed N\n"
    "  --first-seed N     the first seed of a series (default 1)\n"
    "  --runs M           how many seeds, from the first on (default 1)\n"
    "  --seeds LIST       exactly these seeds: 4,17,233\n"
    "  --hours H          run seeds from the first on until H hours have passed\n"
    "  --only LIST        replay only these events of the seed (and every open and close),\n"
    "                     as a shrunk breach report names them: 3,17,40\n"
    "  --shrink           after a breach, replay the seed with fewer events until no event\n"
    "                     can go, and print the shortest list that still breaches\n"
    "  --skip-check LIST  do not judge these invariants (comma-separated)\n"
    "  --time-scale S     real milliseconds per protocol millisecond (default 0.01)\n"
    "  --monitor-trace    put the monitor's own debug trace into the run's trace\n"
    "  --traces N         show the trace of the first N breaches of a run (default 3)\n"
    "  --window MS        protocol ms of trace shown before a breach (default 20000)\n"
    "  --list             print the seed's events and stop\n"
    "  --quiet            print breaches and the summary only\n"
    "  --help             this text\n"
    "\n"
    "Invariants, checked after every run (the job ones per attempt: a restart is another):\n"
    "  bytes     a job's bytes reach its own printer at most once and in order, never\n"
    "            into a block an earlier document left open; only zeros (ending such a\n"
    "            block) may come first, only the zeros that finish a block the job left\n"
    "            open and the end request may follow\n"
    "  reported  the spooler is told a job printed at most once, and only when every\n"
    "            byte it handed over reached the printer and printed the pages it holds,\n"
    "            after the lower port took the last of them and after the end of the\n"
    "            document was called, before it returned (never for a port closed with\n"
    "            the document open); a job handed over whole and received whole, with no\n"
    "            fault, condition or failed write meanwhile, must be told (whatever the\n"
    "            event log says: it is not read)\n"
    "  outcome   a job that ended not told printed has a record naming it in the system\n"
    "            event log (with the diagnostic log on or off), and a cause the run\n"
    "            produced: cut short, or trouble of the printer or its link\n"
    "  pages     each write call that completed a page is followed by one end-of-page\n"
    "            request, after the lower port accepted the ESC e; no other such request\n"
    "            reaches the printer\n"
    "  flash     between the first chunk of a firmware image and the end-of-transfer\n"
    "            request (or the port's close, which cuts the update) the port sees only\n"
    "            the image's chunks (and flow control reads on serial)\n"
    "  replies   every pipe answer is a response packet of the kind its request calls\n"
    "            for (the port's own names, the texts of the switches, a refusal of a\n"
    "            firmware file that must be refused, ...)\n"
    "  live-status  a live status answers with a reply of the type (and field) asked\n"
    "            for, unless the port was printing (the saved reply stands in) or the\n"
    "            printer itself cut or garbled a reply meanwhile\n"
    "  authority an ordinary user's request that would change anything (switches,\n"
    "            rate, spooler mode, firmware, abort, settings, the ticket request) is\n"
    "            answered F \"ACCESS DENIED - ADMINISTRATOR REQUIRED\" (bytes that are no\n"
    "            status request: F \"NOT A STATUS REQUEST\") and leaves no abort pending,\n"
    "            no update started, no ticket printed and its heartbeat rate not taken\n"
    "  bounds    every entry point the spooler calls returns within its bound, in\n"
    "            protocol time: open 10 s, close 90 s, start of document 70 s, write\n"
    "            200 s, end of document 40 s, memory query 70 s; a call still running at\n"
    "            three times its bound is a hang and stops the soak. On a machine too\n"
    "            busy to run the soak's threads at once, protocol time stretches: a call\n"
    "            is only held to its bound once it has also taken a second of real time\n"
    "            more than the bound asks (twenty seconds more for a hang)\n"
    "  status    once a port is idle and polled with the heartbeat on and the printer's\n"
    "            condition holds, the spooler shows that condition's port status by the\n"
    "            time the printer has answered 5 status requests; and every status posted\n"
    "            for an idle port is one the printer showed in the 16 s before it (three\n"
    "            of the slowest heartbeats, for the low-paper debounce, and a confirming\n"
    "            read), unless a fault fired meanwhile\n"
    "  leaks     after every port closed: no thread, handle, allocation, spooler printer\n"
    "            handle, lower port or pipe is left; between runs the counts are those the\n"
    "            first run started with\n"
    "  log       the event log holds only whole lines of four quoted fields, with no\n"
    "            control character\n"
    "\n"
    "\n"
    "Each run says how often each invariant was exercised (jobs, reports, records of jobs\n"
    "not printed, page ends, firmware transfers, status stretches and posts, pipe and live\n"
    "status answers, reads of the second thread during jobs, leak samples); a series of 10\n"
    "runs or more in which one was never exercised fails, as a check that saw nothing.\n"
    "\n"
    "Exit status: 0 no breach, 1 a breach or a check never exercised, 2 a command line not\n"
    "understood.\n";

namespace {

bool number(const char* text, uint64_t* value) {
  char* end = nullptr;
  *value = std::strtoull(text, &end, 10);
  return end != text && *end == 0;
}

bool decimal(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == 0 && *value > 0;
}

bool list(const std::string& text, std::set<unsigned>* ids) {
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    uint64_t id = 0;
    if (!number(item.c_str(), &id)) return false;
    ids->insert(static_cast<unsigned>(id));
  }
  return true;
}

bool checks(const std::string& text, std::set<Check>* skipped) {
  std::istringstream in(text);
  std::string name;
  while (std::getline(in, name, ',')) {
    Check c;
    if (!checkByName(name, &c)) return false;
    skipped->insert(c);
  }
  return true;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    uint64_t n = 0;
    bool ok = true;
    if (arg == "--help") {
      o->help = true;
    } else if (arg == "--shrink") {
      o->shrink = true;
    } else if (arg == "--monitor-trace") {
      o->monitorTrace = true;
    } else if (arg == "--list") {
      o->list = true;
    } else if (arg == "--quiet") {
      o->quiet = true;
    } else if (value == nullptr) {
      *error = "unknown option or missing value: " + arg;
      return false;
    } else {
      ++i;
      if (arg == "--seed") {
        ok = number(value, &o->firstSeed);
        o->runs = 1;
      } else if (arg == "--first-seed") {
        ok = number(value, &o->firstSeed);
      } else if (arg == "--runs") {
        ok = number(value, &n) && n > 0;
        o->runs = n;
      } else if (arg == "--hours") {
        ok = decimal(value, &o->hours);
      } else if (arg == "--seeds") {
        std::set<unsigned> listed;
        ok = list(value, &listed) && !listed.empty();
        o->seeds.assign(listed.begin(), listed.end());
      } else if (arg == "--only") {
        o->onlyGiven = true;
        ok = list(value, &o->only);
      } else if (arg == "--traces") {
        ok = number(value, &n);
        o->traced = static_cast<unsigned>(n);
      } else if (arg == "--window") {
        ok = number(value, &o->window);
      } else if (arg == "--skip-check") {
        ok = checks(value, &o->skipped);
      } else if (arg == "--time-scale") {
        ok = decimal(value, &o->timeScale);
      } else {
        *error = "unknown option: " + arg;
        return false;
      }
      if (!ok) {
        *error = "bad value for " + arg + ": " + value;
        return false;
      }
    }
  }
  return true;
}

}  // namespace soak

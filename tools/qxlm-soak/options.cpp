#include "options.h"

#include <cstdlib>
#include <functional>
#include <sstream>

#include "option_table.h"

namespace soak {

const char kIntroduction[] =
    "usage: qxlm-soak [options]\n"
    "\n"
    "Seeded randomized runs of the monitor: several ports at once (USB, parallel, serial,\n"
    "FILE:; two of them for one pooled printer) opened and closed at random, jobs with\n"
    "random ticket data and buffer sizes, pipe clients on every port, printer and lower-port\n"
    "faults at random moments, all on the sped-up clock, through the monitor's function\n"
    "table over the virtual printers and the recording spooler. One seed fixes every event\n"
    "of a run and when it is due; threads still interleave as the machine runs them, so a\n"
    "breach that hangs on a race may need its seed run a few times.\n"
    "\n";

const char kInvariants[] =
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
    "Exit status: 0 no breach, 6 a breach, a check never exercised or no work folder,\n"
    "1 a command line not understood.\n";

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

// A value option: parse() reads the value, false for one it does not take.
tools::Option valued(const char* name, const char* value, const char* help,
                     std::function<bool(const char* text)> parse) {
  return {{name}, value, help, [name, parse](const std::string& text, std::string* error) {
            if (parse(text.c_str())) return true;
            *error = std::string("bad value for ") + name + ": " + text;
            return false;
          }};
}

tools::Option flag(const char* name, const char* help, bool* set) {
  return {{name}, "", help, [set](const std::string&, std::string*) { return *set = true; }};
}

tools::OptionTable optionTable(Options* o) {
  return {
      valued("--seed", "N", "run seed N",
             [o](const char* v) {
               o->runs = 1;
               return number(v, &o->firstSeed);
             }),
      valued("--first-seed", "N", "the first seed of a series (default 1)",
             [o](const char* v) { return number(v, &o->firstSeed); }),
      valued("--runs", "M", "how many seeds, from the first on (default 1)",
             [o](const char* v) { return number(v, &o->runs) && o->runs > 0; }),
      valued("--seeds", "LIST", "exactly these seeds: 4,17,233",
             [o](const char* v) {
               std::set<unsigned> listed;
               const bool ok = list(v, &listed) && !listed.empty();
               o->seeds.assign(listed.begin(), listed.end());
               return ok;
             }),
      valued("--hours", "H", "run seeds from the first on until H hours have passed",
             [o](const char* v) { return decimal(v, &o->hours); }),
      valued("--only", "LIST",
             "replay only these events of the seed (and every open and close),\nas a shrunk breach report names "
             "them: 3,17,40",
             [o](const char* v) {
               o->onlyGiven = true;
               return list(v, &o->only);
             }),
      flag("--shrink",
           "after a breach, replay the seed with fewer events until no event\ncan go, and print the shortest list "
           "that still breaches",
           &o->shrink),
      valued("--skip-check", "LIST", "do not judge these invariants (comma-separated)",
             [o](const char* v) { return checks(v, &o->skipped); }),
      valued("--time-scale", "S", "real milliseconds per protocol millisecond (default 0.01)",
             [o](const char* v) { return decimal(v, &o->timeScale); }),
      flag("--monitor-trace", "put the monitor's own debug trace into the run's trace", &o->monitorTrace),
      valued("--traces", "N", "show the trace of the first N breaches of a run (default 3)",
             [o](const char* v) {
               uint64_t n = 0;
               const bool ok = number(v, &n);
               o->traced = static_cast<unsigned>(n);
               return ok;
             }),
      valued("--window", "MS", "protocol ms of trace shown before a breach (default 20000)",
             [o](const char* v) { return number(v, &o->window); }),
      flag("--list", "print the seed's events and stop", &o->list),
      flag("--quiet", "print breaches and the summary only", &o->quiet),
      flag("--help", "this text", &o->help),
  };
}

}  // namespace

std::string usageText() {
  Options ignored;
  return kIntroduction + tools::optionsHelp(optionTable(&ignored), 21) + "\n" + kInvariants;
}

bool parseOptions(int argc, char** argv, Options* o, std::string* error) {
  std::vector<std::string> positional;
  if (!tools::parseOptions(optionTable(o), std::vector<std::string>(argv + 1, argv + argc), &positional, error)) {
    return false;
  }
  if (positional.empty()) return true;
  *error = "unexpected argument " + positional[0];
  return false;
}

}  // namespace soak

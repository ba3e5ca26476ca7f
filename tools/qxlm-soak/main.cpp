// qxlm-soak: seeded randomized runs of the monitor with invariants checked after
// each run. `qxlm-soak --help` tells the options, the invariants and their bounds.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include "entry/monitor_entry.h"
#include "exit_codes.h"
#include "options.h"
#include "platform/strict_platform.h"
#include "port/monitor_state.h"
#include "run.h"
#include "scenario.h"
#include "shrink.h"

namespace {

using soak::Options;

// Fewer runs (a replay, a shrink) may well miss an invariant.
const uint64_t kRunsThatMustExercise = 10;

// A folder of the soak's own for the firmware files and, unless the caller chose
// one, the monitor's Windows folder with its event logs.
std::string makeWorkDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qxlm-soak-XXXXXX").string();
  if (mkdtemp(&pattern[0]) == nullptr) return std::string();
  const char* windows = getenv("QXLM_WINDOWS_DIR");
  if (windows == nullptr || *windows == 0) setenv("QXLM_WINDOWS_DIR", (pattern + "/windows").c_str(), 1);
  return pattern;
}

// A first, short run: what the platform sets up once (the pipe service, the
// registry) is then in place before the first counted run.
void warmUp(const soak::RunOptions& options) {
  soak::Scenario s;
  s.length = 400;
  s.ports.push_back({"USB001", "Soak Warm-up Printer", soak::Link::Usb});
  soak::Event open, ask, close;
  open.step = soak::Step::Open;
  ask.step = soak::Step::Request;
  ask.at = 100;
  ask.request.code = 8;
  ask.request.limitMs = 4000;
  close.step = soak::Step::Close;
  close.at = 400;
  s.events = {open, ask, close};
  soak::RunOptions quiet = options;
  quiet.skipped.insert(soak::allChecks().begin(), soak::allChecks().end());
  quiet.monitorTrace = false;
  std::ostream none(nullptr);
  soak::runScenario(s, quiet, none);
}

void add(soak::Exercised& total, const soak::Exercised& e) {
  total.jobs += e.jobs;
  total.reported += e.reported;
  total.notPrinted += e.notPrinted;
  total.pages += e.pages;
  total.transfers += e.transfers;
  total.statusSamples += e.statusSamples;
  total.statusPosts += e.statusPosts;
  total.answers += e.answers;
  total.liveStatus += e.liveStatus;
  total.ordinary += e.ordinary;
  total.foreignReads += e.foreignReads;
  total.idleLeakSamples += e.idleLeakSamples;
}

// Each invariant with how often it was exercised; those never exercised are named
// in `quiet`.
std::string exercisedText(const soak::Exercised& e, std::string* quiet) {
  const std::pair<const char*, unsigned> counts[] = {
      {"jobs", e.jobs},           {"reported", e.reported},       {"not printed", e.notPrinted},
      {"page ends", e.pages},     {"transfers", e.transfers},     {"status stretches", e.statusSamples},
      {"status posts", e.statusPosts},
      {"answers", e.answers},     {"live status", e.liveStatus},  {"ordinary user", e.ordinary},  {"foreign reads", e.foreignReads},
      {"idle leak samples", e.idleLeakSamples}};
  std::string text;
  for (const auto& c : counts) {
    text += (text.empty() ? "" : ", ") + std::to_string(c.second) + " " + c.first;
    if (c.second == 0 && quiet != nullptr) *quiet += (quiet->empty() ? "" : ", ") + std::string(c.first);
  }
  return text;
}

void listEvents(const soak::Scenario& s) {
  std::cout << "seed " << s.seed << ": " << s.length << " ms, ports:";
  for (const soak::PortPlan& p : s.ports) std::cout << " " << p.name << " (" << p.printerName << ")";
  const soak::MonitorSetup& m = s.setup;
  std::cout << "\n  settings: EnableHeartBeat " << m.enableHeartBeat << ", HeartBeatRate " << m.heartBeatRate
            << ", USBPacketSize " << m.usbPacketSize << ", EOJEjectSendLastPage " << m.eojEjectSendLastPage
            << ", USBAbortOnWriteTimeout " << m.usbAbortOnWriteTimeout << ", LPmode " << m.lpMode
            << ", USBWDGlobalEnable " << m.usbWdGlobalEnable << ", DRWdebugMask " << m.drwDebugMask << "\n";
  for (const soak::Event& e : s.events) {
    std::cout << "  #" << e.id << " " << e.at << " ms " << s.ports[e.port].name << ": " << e.describe() << "\n";
  }
}

std::string portNames(const soak::Scenario& s) {
  std::string out;
  for (const soak::PortPlan& p : s.ports) out += (out.empty() ? "" : " ") + p.name;
  return out;
}

std::string replayCommand(uint64_t seed, const Options& o, const std::set<unsigned>* only) {
  std::string command = "qxlm-soak --seed " + std::to_string(seed);
  if (only != nullptr) command += " --only " + soak::idList(*only);
  if (o.timeScale != 0.01) command += " --time-scale " + std::to_string(o.timeScale);
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!soak::parseOptions(argc, argv, &o, &error)) {
    std::cerr << "qxlm-soak: " << error << "\n" << soak::usageText();
    return tools::EXIT_USAGE;
  }
  if (o.help) {
    std::cout << soak::usageText();
    return tools::EXIT_OK;
  }
  if (o.list) {
    listEvents(o.onlyGiven ? soak::keepOnly(soak::drawScenario(o.firstSeed), o.only)
                           : soak::drawScenario(o.firstSeed));
    return 0;
  }
  const std::string workDir = makeWorkDir();
  if (workDir.empty()) {
    std::cerr << "qxlm-soak: cannot make a work folder\n";
    return tools::EXIT_FAILED;
  }
  // As unforgiving as Windows: handle values come back soon after a close, and
  // cancelled pipe operations end later.
  platformReuseHandleValues(TRUE);
  platformCancelIoLater(TRUE);
  ProcessAttach(nullptr);
  soak::RunOptions runOptions;
  runOptions.timeScale = o.timeScale;
  runOptions.firmwareDir = workDir;
  runOptions.skipped = o.skipped;
  runOptions.monitorTrace = o.monitorTrace;
  runOptions.traced = o.traced;
  runOptions.traceWindowMs = static_cast<DWORD>(o.window);
  warmUp(runOptions);

  const auto start = std::chrono::steady_clock::now();
  auto hoursSoFar = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 3600.0;
  };
  uint64_t runs = 0;
  uint64_t events = 0;
  soak::Exercised total;
  std::map<uint64_t, std::string> failed;  // seed: the checks breached
  for (uint64_t next = 0;; ++next) {
    if (o.seeds.empty() ? (o.hours > 0 ? hoursSoFar() >= o.hours : runs >= o.runs) : next >= o.seeds.size()) break;
    const uint64_t seed = o.seeds.empty() ? o.firstSeed + next : o.seeds[next];
    soak::Scenario scenario = soak::drawScenario(seed);
    if (o.onlyGiven) scenario = soak::keepOnly(scenario, o.only);
    const auto runStart = std::chrono::steady_clock::now();
    const soak::RunOutcome outcome = soak::runScenario(scenario, runOptions, std::cout);
    ++runs;
    events += outcome.events;
    add(total, outcome.exercised);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count();
    if (outcome.breaches.empty()) {
      if (!o.quiet) {
        std::string quiet;
        const std::string exercised = exercisedText(outcome.exercised, &quiet);
        std::printf("seed %llu: ok, %s, %u jobs, %u pages, %u requests, %u faults, %.1f s; checked: %s%s%s\n",
                    static_cast<unsigned long long>(seed), portNames(scenario).c_str(), outcome.jobs, outcome.pages,
                    outcome.requests, outcome.faults, seconds, exercised.c_str(), quiet.empty() ? "" : "; quiet: ",
                    quiet.c_str());
        std::fflush(stdout);
      }
      continue;
    }
    std::string checks;
    for (const soak::Breach& b : outcome.breaches) {
      const std::string name = soak::checkName(b.check);
      if (checks.find(name) == std::string::npos) checks += (checks.empty() ? "" : ",") + name;
    }
    failed[seed] = checks;
    std::set<unsigned> events;
    for (const soak::Event& e : scenario.events) {
      if (!soak::isStructural(e)) events.insert(e.id);
    }
    std::cout << "replay: " << replayCommand(seed, o, o.onlyGiven ? &events : nullptr) << "\n";
    if (o.shrink) {
      soak::ShrinkRequest request;
      request.seed = seed;
      request.events = events;
      request.check = outcome.breaches.front().check;
      request.timeScale = o.timeScale;
      const std::set<unsigned> kept = soak::shrink(request, std::cout);
      std::cout << "shortest: " << replayCommand(seed, o, &kept) << " (" << kept.size() << " of " << events.size()
                << " events)\n";
      listEvents(soak::keepOnly(scenario, kept));
    }
    std::cout.flush();
  }
  std::printf("%llu runs from seed %llu in %.2f hours; %zu with a breach%s\n", static_cast<unsigned long long>(runs),
              static_cast<unsigned long long>(o.seeds.empty() ? o.firstSeed : o.seeds.front()), hoursSoFar(),
              failed.size(), failed.empty() ? "" : ":");
  for (const auto& f : failed) std::printf("  seed %llu: %s\n", static_cast<unsigned long long>(f.first), f.second.c_str());
  std::string quiet;
  const std::string exercised = exercisedText(total, &quiet);
  const double seconds = hoursSoFar() * 3600.0;
  std::printf("checked: %s\n%llu events, %.0f events/s\n", exercised.c_str(), static_cast<unsigned long long>(events),
              seconds > 0 ? static_cast<double>(events) / seconds : 0.0);
  // A set of runs in which an invariant saw nothing it guards proves nothing of it.
  const bool quietFails = runs >= kRunsThatMustExercise && !quiet.empty();
  if (quietFails) std::printf("never exercised in %llu runs: %s\n", static_cast<unsigned long long>(runs), quiet.c_str());
  std::error_code ignored;
  if (failed.empty()) std::filesystem::remove_all(workDir, ignored);
  return failed.empty() && !quietFails ? tools::EXIT_OK : tools::EXIT_FAILED;
}

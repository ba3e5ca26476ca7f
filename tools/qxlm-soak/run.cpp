#include "run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <unistd.h>

#include "checks.h"
#include "ctl_client.h"
#include "entry/monitor_entry.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/handle_count.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "report.h"
#include "sim/lower_monitor.h"
#include "sim/recording_event_log.h"
#include "sim/recording_spooler.h"

namespace soak {

sim::Printer& RunContext::printer(unsigned port) const { return sim::printer(scenario.ports[port].name); }

void RunContext::waitUntil(DWORD at) const {
  const DWORD now = trace.now();
  if (at > now) clockSleep(at - now);
}

DWORD RunContext::realMs(DWORD protocolMs, DWORD minimum) const {
  const DWORD real = static_cast<DWORD>(std::ceil(protocolMs * options.timeScale));
  return std::max(real, minimum);
}

// The log is read through the platform, which knows the monitor's path names; the
// monitor may hold it open meanwhile.
std::string readLogFile(const std::string& path) {
  std::string data;
  HANDLE h = path.empty() ? INVALID_HANDLE_VALUE
                          : CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return data;
  data.resize(GetFileSize(h, nullptr));
  DWORD got = 0;
  if (!data.empty() && !ReadFile(h, &data[0], static_cast<DWORD>(data.size()), &got, nullptr)) got = 0;
  data.resize(got);
  CloseHandle(h);
  return data;
}

namespace {

const WCHAR kRegistryRoot[] = WSTR("SOFTWARE\\qxlm-soak\\run");

bool setValue(HKEY key, const char* name, DWORD value) {
  const std::basic_string<WCHAR> wide(name, name + std::char_traits<char>::length(name));
  return RegSetValueExW(key, wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

bool prepareRegistry(const MonitorSetup& s, bool monitorTrace) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRegistryRoot);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryRoot, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD diags = monitorTrace ? (DIAG_INFO | DIAG_ERRORS | DIAG_PRINTER_PREFIX) : 0;
  const bool ok = setValue(key, "EnableHeartBeat", s.enableHeartBeat) && setValue(key, "HeartBeatRate", s.heartBeatRate) &&
                  setValue(key, "USBPacketSize", s.usbPacketSize) &&
                  setValue(key, "EOJEjectSendLastPage", s.eojEjectSendLastPage) &&
                  setValue(key, "USBAbortOnWriteTimeout", s.usbAbortOnWriteTimeout) && setValue(key, "LPmode", s.lpMode) &&
                  setValue(key, "USBWDGlobalEnable", s.usbWdGlobalEnable) && setValue(key, "DRWenable", s.drwEnable) &&
                  setValue(key, "DRWdebugMask", s.drwDebugMask) && setValue(key, "DRWpollTime", 1) &&
                  setValue(key, "EnableDiags", diags);
  RegCloseKey(key);
  return ok;
}

void preparePrinter(sim::Printer& printer, uint64_t seed) {
  printer.reset();
  printer.setModel("TK-300");
  printer.setFirmwareVersion("V1.23");
  printer.setSerialNumber("SN" + std::to_string(seed % 100000));
  sim::FlashScript flash;
  flash.newVersion = "V1.24";
  printer.scriptFlash(flash);
}

bool writeFirmwareFiles(const Scenario& s, const std::string& dir) {
  for (const Firmware& f : s.firmware) {
    const std::string path = dir + "/" + f.fileName;
    std::remove(path.c_str());
    if (!f.exists) continue;
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    if (!file) return false;
  }
  return true;
}

size_t threadCount() {
  size_t n = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end; it.increment(error)) {
    ++n;
  }
  return n;
}

// The monitor names the printer in front of its trace lines: a line goes to the
// port of that printer, or to every port when the printer is pooled.
void monitorTraceLine(LPCSTR line, void* context) {
  RunContext& ctx = *static_cast<RunContext*>(context);
  const std::string text = line;
  int port = kNoPort;
  unsigned matches = 0;
  for (unsigned i = 0; i < ctx.scenario.ports.size(); ++i) {
    if (text.compare(0, ctx.scenario.ports[i].printerName.size() + 3, ctx.scenario.ports[i].printerName + " - ") == 0) {
      port = static_cast<int>(i);
      ++matches;
    }
  }
  ctx.trace.add(matches == 1 ? port : kNoPort, "monitor: " + text);
}

std::string spoolerLine(const sim::SpoolerRecord& r) {
  switch (r.call) {
    case sim::SpoolerCall::SetPort:
      return "spooler told: port status " + std::to_string(r.status) + " severity " + std::to_string(r.severity);
    case sim::SpoolerCall::SetJob:
      return "spooler told: job " + std::to_string(r.jobId) +
             (r.command == JOB_CONTROL_LAST_PAGE_EJECTED ? " printed"
              : r.command == JOB_CONTROL_DELETE         ? " deleted"
                                                        : " command " + std::to_string(r.command));
    default: return "";
  }
}

// The spooler's calls go into the trace with the port they concern.
void observeSpooler(RunContext& ctx) {
  std::vector<std::pair<DWORD, unsigned>> jobPorts;
  for (const Event& e : ctx.scenario.events) {
    if (e.step == Step::Job) jobPorts.emplace_back(e.job.id, e.port);
  }
  sim::spooler().setObserver([&ctx, jobPorts](const sim::SpoolerRecord& r) {
    const std::string text = spoolerLine(r);
    if (text.empty()) return;
    int port = kNoPort;
    for (unsigned i = 0; i < ctx.scenario.ports.size(); ++i) {
      if (r.call == sim::SpoolerCall::SetPort && r.name == ctx.scenario.ports[i].name) port = static_cast<int>(i);
    }
    for (const auto& jp : jobPorts) {
      if (r.call == sim::SpoolerCall::SetJob && jp.first == r.jobId) port = static_cast<int>(jp.second);
    }
    if (r.call == sim::SpoolerCall::SetJob && port != kNoPort) {
      JobReport report{r.jobId, r.command, ++ctx.seq, ctx.printer(static_cast<unsigned>(port)).callCount(),
                       ctx.trace.now()};
      std::lock_guard<std::mutex> held(ctx.record.lock);
      ctx.record.reports.push_back(report);
    }
    ctx.trace.add(port, text);
  });
}

// Waits until the actors have all finished, watching every entry call for a hang.
// Returns the port of a hung call, or kNoPort.
int watchActors(RunContext& ctx, const std::atomic<unsigned>& finished, unsigned actors, std::string& what) {
  while (finished < actors) {
    for (unsigned port = 0; port < ctx.ports.size(); ++port) {
      const int kind = ctx.ports[port]->callKind;
      if (kind < 0) continue;
      const EntryPoint entry = static_cast<EntryPoint>(kind);
      const DWORD took = ctx.trace.now() - ctx.ports[port]->callStart;
      const int64_t tookReal = realNowMs() - ctx.ports[port]->callStartReal;
      if (ctx.ports[port]->callKind == kind &&
          pastBound(took, tookReal, kHangFactor * entryPointBound(entry), ctx.options.timeScale, kHangSlackRealMs)) {
        what = std::string(entryPointName(entry)) + " has not returned after " + std::to_string(took) +
               " ms (bound " + std::to_string(entryPointBound(entry)) + " ms): taken for a hang";
        return static_cast<int>(port);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return kNoPort;
}

// Where every thread of the process waits, from a debugger when there is one: the
// first thing to know about a hang.
void printStacks(std::ostream& out) {
  const std::string command =
      "gdb -p " + std::to_string(getpid()) + " -batch -ex 'thread apply all bt' 2>/dev/null";
  FILE* gdb = popen(command.c_str(), "r");
  if (gdb == nullptr) return;
  out << "  threads:\n";
  char line[1024];
  while (std::fgets(line, sizeof line, gdb) != nullptr) {
    if (line[0] != '#' && std::strncmp(line, "Thread", 6) != 0) continue;
    std::string text = line;
    if (text.size() > 200) text = text.substr(0, 200) + "...\n";
    out << "    " << text;
  }
  pclose(gdb);
}

struct Baseline {
  size_t threads = 0;
  DWORD handles = 0;
  LONG blocks = 0;
};

void checkAfterClose(RunContext& ctx, const Baseline& before) {
  const DWORD at = ctx.trace.now();
  // Port threads end on their own once the close has stopped them; give them a moment.
  size_t threads = threadCount();
  for (int i = 0; i < 250 && threads > before.threads; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    threads = threadCount();
  }
  if (threads > before.threads) {
    ctx.record.addBreach(Check::Leaks, at, kNoPort,
                         std::to_string(threads - before.threads) + " thread(s) still running after every port closed");
  }
  const DWORD handles = platformHandleCount();
  if (handles > before.handles) {
    ctx.record.addBreach(Check::Leaks, at, kNoPort,
                         std::to_string(handles - before.handles) + " handle(s) left open after every port closed");
  }
  const LONG blocks = AllocSplMemBlocks();
  if (blocks != before.blocks) {
    ctx.record.addBreach(Check::Leaks, at, kNoPort,
                         std::to_string(blocks - before.blocks) + " allocation(s) not freed after every port closed");
  }
  if (sim::spooler().openPrinterCount() != 0) {
    ctx.record.addBreach(Check::Leaks, at, kNoPort,
                         std::to_string(sim::spooler().openPrinterCount()) + " spooler printer handle(s) left open");
  }
  for (unsigned port = 0; port < ctx.ports.size(); ++port) {
    const int p = static_cast<int>(port);
    if (ctx.printer(port).openCount() != 0) {
      ctx.record.addBreach(Check::Leaks, at, p, "the lower port was left open");
    }
    const std::basic_string<WCHAR> pipe = ctl::pipeNameFor(ctx.portName(port));
    HANDLE h = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      ctx.record.addBreach(Check::Leaks, at, p, "the port's pipe still answers after the port closed");
    } else if (error != ERROR_FILE_NOT_FOUND) {
      ctx.record.addBreach(Check::Leaks, at, p,
                           "the port's pipe is still there after the port closed (error " + std::to_string(error) + ")");
    }
  }
}

// With every port closed between runs the counts are those of the first run's start:
// a leak too slow for one run still adds up over many.
void checkBetweenRuns(RunContext& ctx, const Baseline& now) {
  static const Baseline first = now;
  ++ctx.record.exercised.idleLeakSamples;
  if (now.threads > first.threads || now.handles > first.handles || now.blocks != first.blocks) {
    ctx.record.addBreach(Check::Leaks, 0, kNoPort,
                         "between runs, with every port closed: " + std::to_string(now.threads) + " threads, " +
                             std::to_string(now.handles) + " handles, " + std::to_string(now.blocks) +
                             " allocations where the first run started with " + std::to_string(first.threads) + ", " +
                             std::to_string(first.handles) + ", " + std::to_string(first.blocks));
  }
}

}  // namespace

RunOutcome runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out) {
  RunContext ctx(scenario, options);
  RunOutcome outcome;
  clockSetScale(options.timeScale);
  if (!prepareRegistry(scenario.setup, options.monitorTrace) || !writeFirmwareFiles(scenario, options.firmwareDir)) {
    out << "seed " << scenario.seed << ": cannot prepare the registry or the firmware files\n";
    outcome.breaches.push_back(Breach{Check::Leaks, 0, kNoPort, "the run could not be prepared"});
    return outcome;
  }
  if (options.monitorTrace) debugOutputCapture(monitorTraceLine, &ctx);
  ctx.table = InitializePrintMonitor(const_cast<LPWSTR>(kRegistryRoot));
  for (unsigned i = 0; i < scenario.ports.size(); ++i) {
    ctx.ports.emplace_back(new PortState);
    ctx.ports.back()->lower = sim::lowerMonitor();
    preparePrinter(ctx.printer(i), scenario.seed);
  }
  sim::spooler().reset();
  sim::clearRecordedEvents();
  const Baseline before{threadCount(), platformHandleCount(), AllocSplMemBlocks()};
  if (options.skipped.count(Check::Leaks) == 0) checkBetweenRuns(ctx, before);
  ctx.trace.start();
  observeSpooler(ctx);

  std::atomic<unsigned> finished{0};
  std::vector<std::thread> actors;
  auto actor = [&finished](std::function<void()> body) {
    return std::thread([&finished, body] {
      body();
      ++finished;
    });
  };
  for (unsigned i = 0; i < scenario.ports.size(); ++i) {
    actors.push_back(actor([&ctx, i] { runSpooler(ctx, i); }));
    actors.push_back(actor([&ctx, i] { runClient(ctx, i); }));
    actors.push_back(actor([&ctx, i] { runReader(ctx, i); }));
  }
  actors.push_back(actor([&ctx] { runPrinterFaults(ctx); }));
  std::thread sampler(runSampler, std::ref(ctx));
  std::string hang;
  const int hungPort = watchActors(ctx, finished, static_cast<unsigned>(actors.size()), hang);
  if (hungPort != kNoPort) {
    ctx.record.addBreach(Check::Bounds, ctx.trace.now(), hungPort, hang);
    printHang(out, ctx, ctx.record.breaches().back());
    printStacks(out);
    out.flush();
    std::_Exit(1);  // the hung thread cannot be taken back
  }
  ctx.actorsDone = true;
  for (std::thread& t : actors) t.join();
  sampler.join();
  sim::spooler().setObserver(nullptr);
  if (options.monitorTrace) debugOutputCapture(nullptr, nullptr);

  if (options.skipped.count(Check::Leaks) == 0) checkAfterClose(ctx, before);
  CheckInput in;
  in.scenario = &scenario;
  in.record = &ctx.record;
  in.startTick = ctx.trace.startTick();
  in.spooler = sim::spooler().calls();
  for (unsigned i = 0; i < scenario.ports.size(); ++i) {
    in.calls.push_back(ctx.printer(i).calls());
    in.documents.push_back(ctx.printer(i).documents());
    in.logs.push_back(ctx.ports[i]->logPath.empty() ? std::string() : readLogFile(ctx.ports[i]->logPath));
  }
  in.systemEvents = sim::recordedEvents();
  checkJobs(in);
  checkFlash(in);
  checkStatus(in);
  checkLog(in);

  for (const Breach& b : ctx.record.breaches()) {
    if (options.skipped.count(b.check) == 0) outcome.breaches.push_back(b);
  }
  for (const JobRecord& j : ctx.record.jobs) outcome.jobs += j.started ? 1 : 0;
  outcome.exercised = ctx.record.exercised;
  outcome.events = in.spooler.size();
  for (const auto& calls : in.calls) outcome.events += calls.size();
  for (unsigned i = 0; i < scenario.ports.size(); ++i) outcome.pages += ctx.printer(i).pagesPrinted();
  for (const Event& e : scenario.events) {
    outcome.requests += e.step == Step::Request;
    outcome.faults += e.step >= Step::Fault;
  }
  if (!outcome.breaches.empty()) printReport(out, ctx, in, outcome.breaches, options.traced);

  // The next run starts with empty logs; a breached run's logs are kept beside the
  // firmware files when its trace is shown.
  for (unsigned i = 0; i < scenario.ports.size(); ++i) {
    if (ctx.ports[i]->logPath.empty()) continue;
    if (!outcome.breaches.empty() && options.traced > 0) {
      std::ofstream copy(options.firmwareDir + "/seed-" + std::to_string(scenario.seed) + "-" +
                             std::to_string(i) + ".log",
                         std::ios::binary);
      copy << in.logs[i];
      out << "  event log of " << scenario.ports[i].name << " kept in " << options.firmwareDir << "/seed-"
          << scenario.seed << "-" << i << ".log\n";
    }
    DeleteFileA(ctx.ports[i]->logPath.c_str());
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRegistryRoot);
  return outcome;
}

}  // namespace soak

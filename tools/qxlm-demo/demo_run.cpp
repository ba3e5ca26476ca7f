#include "demo_run.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "entry/monitor_entry.h"
#include "interrupt.h"
#include "log/event_log.h"
#include "narrator.h"
#include "platform/clock.h"
#include "port/port_record.h"
#include "sim/lower_monitor.h"
#include "sim/recording_spooler.h"
#include "spooler_job.h"
#include "spooler_view.h"
#include "ticket_job.h"
#include "update_view.h"
#include "watcher.h"

namespace demo {
namespace {

const char kPrinterName[] = "Demo Ticket Printer";
// Not 1: the monitor's own short documents (status on serial links, the model
// query, a firmware update) reach the printer with job id 1.
const DWORD kJobId = 12;

std::basic_string<WCHAR> registryRoot(const std::string& port) {
  std::string root = "SOFTWARE\\qxlm-demo\\";
  for (char c : port) root.push_back(c == ':' ? '_' : c);
  return std::basic_string<WCHAR>(root.begin(), root.end());
}

// A fresh key with the event log on for every class but the heartbeat polls; the
// monitor writes the other settings' defaults into it.
bool prepareRegistry(const std::basic_string<WCHAR>& root) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
  HKEY hKey = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, root.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE,
                      nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD enable = 1;
  const DWORD mask = DRW_ERRORS | DRW_PORTS | DRW_DOCUMENTS | DRW_PIPE | DRW_WATCHDOG;
  const bool ok =
      RegSetValueExW(hKey, WSTR("DRWenable"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable) ==
          ERROR_SUCCESS &&
      RegSetValueExW(hKey, WSTR("DRWdebugMask"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mask), sizeof mask) ==
          ERROR_SUCCESS;
  RegCloseKey(hKey);
  return ok;
}

const char* linkName(const std::string& port) {
  if (port.rfind("USB", 0) == 0) return "USB";
  if (port.rfind("COM", 0) == 0) return "serial";
  if (port.rfind("LPT", 0) == 0) return "parallel";
  return "file";
}

// What reached the printer in the job's own document, without the status request
// that the end of document writes after the job's data. Later documents on the
// printer (a firmware update in --keep-open mode) are not the job's.
void observeJob(const sim::Printer& printer, const std::vector<BYTE>& job, Observed& seen) {
  const std::vector<sim::Document> documents = printer.documents();
  auto doc = std::find_if(documents.rbegin(), documents.rend(),
                          [](const sim::Document& d) { return d.jobId == kJobId; });
  if (doc == documents.rend()) return;
  std::vector<BYTE> bytes = doc->data;
  const BYTE endRequest[] = {0x1B, 'I', 'e'};
  if (bytes.size() >= 3 && std::equal(endRequest, endRequest + 3, bytes.end() - 3)) bytes.resize(bytes.size() - 3);
  seen.pagesPrinted = doc->pages;
  seen.bytesAtPrinter = bytes.size();
  seen.jobBytesIntact = bytes == job;
}

void keepOpen(const std::string& port, UpdateView& updates) {
  say("port " + port + " stays open with its heartbeat; ask it with: qxlm-ctl status " + port);
  say("press Ctrl-C to close the port and end");
  while (!interrupted()) {
    updates.poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  say("interrupted: closing the port");
}

}  // namespace

Outcome runDemo(const Options& options) {
  Outcome outcome;
  clockSetScale(options.timeScale);
  startNarration();

  std::vector<BYTE> job;
  if (options.jobFile.empty()) {
    job = ticketJob(options.tickets);
  } else if (!readJobFile(options.jobFile, job)) {
    say("cannot read the job file " + options.jobFile);
    outcome.exitCode = kExitUsage;
    return outcome;
  }
  Observed& seen = outcome.seen;
  seen.jobBytes = job.size();
  seen.jobPages = pagesIn(job);
  std::string why;
  if (!scenarioFits(options, seen.jobPages, why)) {
    say("cannot run fault " + std::string(faultName(options.fault)) + " here: " + why);
    outcome.exitCode = kExitUsage;
    return outcome;
  }

  std::basic_string<WCHAR> root = registryRoot(options.port);
  if (!prepareRegistry(root)) {
    say("cannot create the monitor's registry key");
    return outcome;
  }
  LPMONITOREX table = InitializePrintMonitor(&root[0]);
  if (table == nullptr) {
    say("the monitor refused its registry key");
    return outcome;
  }
  say("monitor: initialised from a fresh registry key HKLM\\" + std::string(root.begin(), root.end()));

  sim::Printer& printer = sim::printer(options.port);
  scriptPrinter(printer, options, job);
  sim::spooler().reset();
  SpoolerView spoolerView(options.port, kJobId);
  say(std::string("printer: virtual ticket printer on a ") + linkName(options.port) + " link, ticket counter " +
      std::to_string(printer.ticketCount()) + ", fault scenario: " + faultName(options.fault));

  SpoolerPort port(table, options.port, kPrinterName, sim::lowerMonitor());
  if (!port.ok()) {
    say("monitor: the port did not open, error " + std::to_string(GetLastError()));
    return outcome;
  }
  char logPath[LOG_PATH_SIZE] = "";
  BuildLogFilePath(static_cast<INIPORT*>(port.handle()), logPath, sizeof logPath);
  say("monitor: port " + options.port + " open; event log " + logPath);
  Watcher watcher(printer, logPath);
  UpdateView updates(static_cast<INIPORT*>(port.handle()), printer);

  // The spooler opens a port right before the job it sends there.
  const JobRun run = port.print(kJobId, job);
  observeJob(printer, job, seen);
  const DWORD ticketCounter = printer.ticketCount();
  if (options.keepOpen) keepOpen(options.port, updates);
  port.close();
  say("monitor: port closed");
  watcher.stop();

  seen.started = run.started;
  seen.writeRefused = run.writeRefused;
  seen.holds = run.holds;
  seen.reportsPrinted = spoolerView.jobReportsPrinted();
  seen.ended = run.ended;
  seen.reportedPrinted = spoolerView.jobReportedPrinted();
  seen.deleted = spoolerView.jobDeleted();
  seen.offlineShown = spoolerView.statusShown(PORT_STATUS_OFFLINE);
  seen.paperOutShown = spoolerView.statusShown(PORT_STATUS_PAPER_OUT);
  seen.jamShown = spoolerView.statusShown(PORT_STATUS_PAPER_JAM);
  seen.crcErrorLogged = watcher.eventLog().sawCode("0002");

  for (const std::string& line : resultLines(seen, ticketCounter)) say("result: " + line);
  std::vector<std::string> notes;
  const bool expected = judge(options, seen, notes);
  for (const std::string& note : notes) say(note);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
  outcome.exitCode = expected ? kExitExpected : kExitUnexpected;
  return outcome;
}

}  // namespace demo

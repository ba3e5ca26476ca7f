#include "ctl_metrics.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ctl_progress.h"

namespace ctl {
namespace {

// Label values are UTF-8 with \, " and line feeds escaped; printer names are
// single-byte text.
std::string labelValue(const std::string& text) {
  std::string value;
  for (unsigned char c : text) {
    if (c == '\\' || c == '"') {
      value += '\\';
      value += static_cast<char>(c);
    } else if (c == '\n') {
      value += "\\n";
    } else if (c >= 0x80) {
      value += static_cast<char>(0xC0 | (c >> 6));
      value += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      value += static_cast<char>(c);
    }
  }
  return value;
}

class Family {
 public:
  Family(std::string* out, const char* name, const char* type, const char* help) : out_(out), name_(name) {
    *out_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  }
  void sample(const PortView& view, const std::string& moreLabels, const std::string& value) {
    *out_ += name_ + "{port=\"" + labelValue(view.name()) + "\"" + moreLabels + "} " + value + "\n";
  }

 private:
  std::string* out_;
  std::string name_;
};

std::string label(const char* name, const std::string& value) {
  return std::string(",") + name + "=\"" + labelValue(value) + "\"";
}

const char* flag(bool on) { return on ? "1" : "0"; }

// none, running, success or failure, from the progress text.
std::string updateOutcome(const PortView& view) {
  FlashProgress progress;
  if (view.updating) return "running";
  if (!parseProgress(view.progress, &progress) || (progress.outcome == 'P' && progress.text == "NONE")) return "none";
  return progress.outcome == 'P' ? "success" : "failure";
}

}  // namespace

std::string metricsText(const std::vector<PortMetrics>& ports) {
  std::string out;
  Family up(&out, "qxlm_port_up", "gauge", "1 when the port's monitor pipe answered.");
  for (const PortMetrics& p : ports) up.sample(p.view, "", flag(p.view.outcome == Outcome::Ok));

  Family answers(&out, "qxlm_printer_answering", "gauge",
                 "1 when the printer answered the monitor's last status request.");
  for (const PortMetrics& p : ports) answers.sample(p.view, "", flag(p.view.printerAnswers()));

  Family info(&out, "qxlm_printer_info", "gauge", "The printer a port serves and its firmware version.");
  for (const PortMetrics& p : ports) {
    if (!p.view.printer.empty()) info.sample(p.view, label("printer", p.view.printer) + label("firmware", p.firmware), "1");
  }

  Family condition(&out, "qxlm_condition", "gauge",
                   "1 while the condition holds; ipp is its IPP printer-state-reasons keyword.");
  for (const PortMetrics& p : ports) {
    const std::vector<const StateWord*> words = p.view.words();
    for (const StateWord& word : stateWords()) {
      const bool holds = std::find(words.begin(), words.end(), &word) != words.end();
      condition.sample(p.view, label("condition", word.name) + label("ipp", word.ippReason), flag(holds));
    }
  }

  Family state(&out, "qxlm_printer_state", "gauge", "1 for the port's IPP printer-state.");
  for (const PortMetrics& p : ports) {
    const PrinterState now = ippStateOf(p.view.words()).state;
    for (PrinterState s : {PrinterState::Idle, PrinterState::Processing, PrinterState::Stopped}) {
      state.sample(p.view, label("state", printerStateName(s)), flag(s == now));
    }
  }

  Family tickets(&out, "qxlm_tickets_total", "counter", "The printer's ticket counter.");
  for (const PortMetrics& p : ports) {
    if (p.hasTickets) tickets.sample(p.view, "", std::to_string(p.tickets));
  }

  Family temperature(&out, "qxlm_head_temperature_celsius", "gauge", "The print head's temperature.");
  for (const PortMetrics& p : ports) {
    if (p.hasHeadTemperature) temperature.sample(p.view, "", std::to_string(p.headTempC));
  }

  Family jobs(&out, "qxlm_jobs_total", "counter", "The port's jobs by outcome since the monitor opened it.");
  for (const PortMetrics& p : ports) {
    for (const char* o : {"printed", "not_printed"}) {
      if (!p.view.jobs.empty()) jobs.sample(p.view, label("outcome", o), std::to_string(p.view.jobCount(std::string("jobs.") + o)));
    }
  }
  Family jobTickets(&out, "qxlm_job_tickets_total", "counter",
                    "The tickets of the port's jobs by outcome (the printer's count, else the page ends).");
  for (const PortMetrics& p : ports) {
    for (const char* o : {"printed", "not_printed"}) {
      if (!p.view.jobs.empty()) {
        jobTickets.sample(p.view, label("outcome", o), std::to_string(p.view.jobCount(std::string("tickets.") + o)));
      }
    }
  }
  Family held(&out, "qxlm_job_held", "gauge", "1 while the port's job is held, waiting for the printer.");
  for (const PortMetrics& p : ports) {
    if (!p.view.jobs.empty()) held.sample(p.view, "", flag(p.view.jobCount("held") != 0));
  }

  Family update(&out, "qxlm_firmware_update", "gauge",
                "1 for the outcome of the port's last firmware update (none, running, success, failure).");
  for (const PortMetrics& p : ports) {
    if (p.view.outcome != Outcome::Ok) continue;
    const std::string outcome = updateOutcome(p.view);
    for (const char* o : {"none", "running", "success", "failure"}) {
      update.sample(p.view, label("outcome", o), flag(outcome == o));
    }
  }
  return out;
}

bool writeMetricsFile(const std::string& path, const std::string& text, std::string* error) {
  // Not ending in .prom, so a collector never takes the temporary file for one.
  const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  // A name planted there (a link to a file of the user running the watch) is
  // removed, and the file made anew: nothing is written through it.
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  HANDLE fresh = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool wrote = fresh != INVALID_HANDLE_VALUE &&
                     WriteFile(fresh, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                     written == text.size();
  if (fresh != INVALID_HANDLE_VALUE) CloseHandle(fresh);
  if (!wrote) {
    *error = "cannot write " + temporary;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  std::error_code code;
  std::filesystem::rename(temporary, path, code);
  if (code) {
    *error = "cannot rename " + temporary + " to " + path + ": " + code.message();
    std::filesystem::remove(temporary, code);
    return false;
  }
  return true;
}

}  // namespace ctl

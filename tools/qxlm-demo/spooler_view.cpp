#include "spooler_view.h"

#include <cctype>
#include <cstdio>

#include "narrator.h"
#include "sim/recording_spooler.h"

namespace demo {
namespace {

const char* conditionName(DWORD status) {
  switch (status) {
    case 0: return "ready";
    case PORT_STATUS_OFFLINE: return "offline";
    case PORT_STATUS_PAPER_JAM: return "paper jam";
    case PORT_STATUS_PAPER_OUT: return "paper out";
    case PORT_STATUS_OUTPUT_BIN_FULL: return "output bin full (ticket not taken)";
    case PORT_STATUS_PAPER_PROBLEM: return "paper problem (paper low)";
    case PORT_STATUS_DOOR_OPEN: return "door open (print head up)";
    default: return "other";
  }
}

const char* severityName(DWORD severity) {
  switch (severity) {
    case PORT_STATUS_TYPE_ERROR: return "error";
    case PORT_STATUS_TYPE_WARNING: return "warning";
    case PORT_STATUS_TYPE_INFO: return "info";
    default: return "no severity";
  }
}

bool samePort(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

std::string portStatusText(DWORD status, DWORD severity) {
  char text[128];
  snprintf(text, sizeof text, "%s (status %u, %s)", conditionName(status), static_cast<unsigned>(status),
           severityName(severity));
  return text;
}

SpoolerView::SpoolerView(const std::string& portName, DWORD jobId) : port_(portName), jobId_(jobId) {
  sim::spooler().setObserver([this](const sim::SpoolerRecord& record) {
    if (!record.result) return;
    std::string line;
    {
      std::lock_guard<std::mutex> held(lock_);
      if (record.call == sim::SpoolerCall::SetPort && samePort(record.name, port_)) {
        if (anyStatus_ && record.status == lastStatus_ && record.severity == lastSeverity_) return;
        line = std::string(anyStatus_ ? "spooler: port status now " : "spooler: port status ") +
               portStatusText(record.status, record.severity);
        anyStatus_ = true;
        lastStatus_ = record.status;
        lastSeverity_ = record.severity;
        shown_.insert(record.status);
      } else if (record.call == sim::SpoolerCall::SetJob && record.jobId == jobId_) {
        if (record.command == JOB_CONTROL_LAST_PAGE_EJECTED) {
          ++printed_;
          line = "spooler: told job " + std::to_string(jobId_) +
                 " has its last page ejected: the spooler counts the job done, whatever came out";
        } else if (record.command == JOB_CONTROL_DELETE) {
          deleted_ = true;
          line = "spooler: told to delete job " + std::to_string(jobId_);
        } else {
          return;
        }
      } else {
        return;
      }
    }
    say(line);
  });
}

SpoolerView::~SpoolerView() { sim::spooler().setObserver(nullptr); }

bool SpoolerView::statusShown(DWORD status) const {
  std::lock_guard<std::mutex> held(lock_);
  return shown_.count(status) != 0;
}

bool SpoolerView::jobReportedPrinted() const {
  std::lock_guard<std::mutex> held(lock_);
  return printed_ != 0;
}

unsigned SpoolerView::jobReportsPrinted() const {
  std::lock_guard<std::mutex> held(lock_);
  return printed_;
}

bool SpoolerView::jobDeleted() const {
  std::lock_guard<std::mutex> held(lock_);
  return deleted_;
}

}  // namespace demo

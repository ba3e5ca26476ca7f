// What the print spooler sees of the demo's port: each change of the port status
// it would show, and what it is told about the job.
#pragma once

#include <mutex>
#include <set>
#include <string>

#include "platform/win32_api.h"

namespace demo {

std::string portStatusText(DWORD status, DWORD severity);

class SpoolerView {
 public:
  // Watches the recording spooler's calls for this port and job until destroyed.
  SpoolerView(const std::string& portName, DWORD jobId);
  ~SpoolerView();
  SpoolerView(const SpoolerView&) = delete;
  SpoolerView& operator=(const SpoolerView&) = delete;

  bool statusShown(DWORD status) const;  // posted at any time during the run
  bool jobReportedPrinted() const;       // JOB_CONTROL_LAST_PAGE_EJECTED for the job
  unsigned jobReportsPrinted() const;    // how often
  bool jobDeleted() const;               // JOB_CONTROL_DELETE for the job

 private:
  const std::string port_;
  const DWORD jobId_;
  mutable std::mutex lock_;
  bool anyStatus_ = false;
  DWORD lastStatus_ = 0;
  DWORD lastSeverity_ = 0;
  std::set<DWORD> shown_;
  unsigned printed_ = 0;
  bool deleted_ = false;
};

}  // namespace demo

// One thread that tells, while the demo runs, what the printer goes through and
// what the event log gains.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "event_log_tail.h"
#include "printer_view.h"

namespace demo {

class Watcher {
 public:
  Watcher(sim::Printer& printer, const std::string& eventLogPath);
  ~Watcher();
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // Ends the thread after telling everything that happened until now.
  void stop();
  const EventLogTail& eventLog() const { return log_; }

 private:
  void run();

  PrinterView printer_;
  EventLogTail log_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace demo

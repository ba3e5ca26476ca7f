#include "printer_view.h"

#include <string>

#include "narrator.h"
#include "sim/printer_codes.h"

namespace demo {

PrinterView::PrinterView(sim::Printer& printer) : printer_(printer), pages_(printer.pagesPrinted()) {}

void PrinterView::poll(DWORD waitMs) {
  std::vector<sim::Call> fresh;
  printer_.waitUntil(
      [&](const std::vector<sim::Call>& calls) {
        if (calls.size() < seen_) seen_ = 0;  // the records were cleared
        if (calls.size() == seen_) return false;
        fresh.assign(calls.begin() + static_cast<std::ptrdiff_t>(seen_), calls.end());
        seen_ = calls.size();
        return true;
      },
      waitMs);
  for (const sim::Call& call : fresh) tell(call);
  tellPages();
}

void PrinterView::tell(const sim::Call& call) {
  // A lasting fault (a silent printer) fires on every call: tell it once.
  if (!call.fault.empty() && call.fault != lastFault_) say("printer: fault " + call.fault);
  if (!call.fault.empty()) lastFault_ = call.fault;
  switch (call.entry) {
    case sim::Entry::GetPrinterDataFromPort:
      if (call.in.size() != 8) return;
      if (call.in[0] == sim::request::StartOfDocument) say("printer: told a job starts");
      if (call.in[0] == sim::request::EndOfDocument) say("printer: told the job's data is complete");
      if (call.in[0] == sim::request::EndOfPage) say("monitor: page end found in the data, printer told");
      return;
    case sim::Entry::ReadPort: {
      const std::vector<BYTE>& reply = call.out;
      if (reply.size() < 5 || (reply[0] != 'S' && reply[0] != 'N' && reply[0] != 'E' && reply[0] != 'C')) return;
      const bool busy = (reply[4] & sim::status2::Busy) != 0;
      if (busy != busy_) say(busy ? "printer: busy" : "printer: free");
      busy_ = busy;
      return;
    }
    case sim::Entry::WritePort:
      tellPages();
      return;
    default:
      return;
  }
}

void PrinterView::tellPages() {
  const unsigned pages = printer_.pagesPrinted();
  while (pages_ < pages) {
    ++pages_;
    say("printer: ticket printed and cut (" + std::to_string(pages_) + " this run, ticket counter " +
        std::to_string(printer_.ticketCount() - (pages - pages_)) + ")");
  }
}

}  // namespace demo

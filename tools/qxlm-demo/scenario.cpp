#include "scenario.h"

#include "sim/page_scanner.h"
#include "spooler_job.h"

namespace demo {
namespace {

bool isSerial(const std::string& port) { return port.find("COM") != std::string::npos; }

// The printer stays busy this long after each ticket, so the monitor holds the
// next data back.
const DWORD kBusyAfterTicketMs = 600;
const DWORD kPaperReloadMs = 5000;

void expect(bool holds, const std::string& finding, std::vector<std::string>& notes, bool& ok) {
  notes.push_back(std::string(holds ? "as expected: " : "NOT as expected: ") + finding);
  ok = ok && holds;
}

}  // namespace

unsigned pagesIn(const std::vector<BYTE>& job) {
  sim::PageScanner scanner;
  return scanner.feed(job.data(), job.size());
}

bool scenarioFits(const Options& options, unsigned jobPages, std::string& why) {
  if (options.fault == Fault::None) return true;
  if (isSerial(options.port)) {
    why = "job data does not pass through the monitor on a serial port; fault scenarios need USB001, LPT1: or FILE:";
    return false;
  }
  if ((options.fault == Fault::PaperOut || options.fault == Fault::Jam) && jobPages < 2) {
    why = "a fault in the middle of the job needs a job of at least 2 tickets";
    return false;
  }
  return true;
}

void scriptPrinter(sim::Printer& printer, const Options& options, const std::vector<BYTE>& job) {
  printer.reset();
  // A model of the family, so that a checked firmware update can be tried on it.
  printer.setModel("TK-300");
  printer.setTicketCount(1200);
  printer.setHeadTemperature(45);
  printer.setBusyAfterPage(kBusyAfterTicketMs);
  const unsigned half = pagesIn(job) / 2;
  switch (options.fault) {
    case Fault::None:
      break;
    case Fault::PaperOut:
      // The operator reloads paper 5 s after it ran out.
      printer.addCondition({sim::status1::OutOfPaper, 0, half, 0, kPaperReloadMs});
      break;
    case Fault::Jam:
      printer.addCondition({sim::status1::CutterJam, 0, half, 0, 0});
      break;
    case Fault::UsbCrcError: {
      // The write of the middle piece of the job fails on the wire.
      const unsigned pieces = static_cast<unsigned>((job.size() + kSpoolerPieceBytes - 1) / kSpoolerPieceBytes);
      printer.addFault(sim::Fault::failWrite(pieces / 2 + 1, ERROR_CRC));
      break;
    }
    case Fault::SilentPrinter:
      printer.setSilent(true);
      break;
  }
}

std::vector<std::string> resultLines(const Observed& seen, DWORD ticketCounter) {
  std::vector<std::string> lines;
  lines.push_back("the printer printed " + std::to_string(seen.pagesPrinted) + " of the job's " +
                  std::to_string(seen.jobPages) + " tickets (" + std::to_string(seen.bytesAtPrinter) + " of " +
                  std::to_string(seen.jobBytes) + " bytes reached it), ticket counter " +
                  std::to_string(ticketCounter));
  const bool incomplete = seen.pagesPrinted < seen.jobPages;
  if (seen.deleted) {
    lines.push_back("the spooler was told to delete the job");
  } else if (seen.reportedPrinted) {
    lines.push_back("the spooler was told the job ended (last page ejected), so that it counts the job done and "
                    "does not print it again");
  } else {
    lines.push_back("the spooler was told the job did not print (its status says why): it stays in the queue");
  }
  if (incomplete && (seen.deleted || seen.reportedPrinted)) {
    lines.push_back(std::to_string(seen.jobPages - seen.pagesPrinted) + " of the job's " +
                    std::to_string(seen.jobPages) + " tickets did not come out: send the job again to print them");
  }
  return lines;
}

bool judge(const Options& options, const Observed& seen, std::vector<std::string>& notes) {
  bool ok = true;
  expect(seen.started, "the document started", notes, ok);
  if (!seen.started) return false;

  if (isSerial(options.port)) {
    // The monitor passes no job data on a serial link: the spooler's write is refused.
    expect(seen.writeRefused && seen.bytesAtPrinter == 0, "the serial link took no job data through the monitor",
           notes, ok);
    expect(!seen.ended, "the end of document does not report the job printed", notes, ok);
    return ok;
  }

  switch (options.fault) {
    case Fault::None:
      expect(seen.jobBytesIntact, "the printer received every byte of the job unchanged", notes, ok);
      expect(seen.pagesPrinted == seen.jobPages,
             "the printer printed all " + std::to_string(seen.jobPages) + " tickets", notes, ok);
      expect(seen.ended && seen.reportedPrinted, "the spooler was told the job's last page left the printer", notes,
             ok);
      break;
    case Fault::PaperOut:
      expect(seen.paperOutShown, "the spooler showed the port out of paper", notes, ok);
      expect(seen.holds > 0, "the job was held while the paper was out", notes, ok);
      expect(seen.jobBytesIntact && seen.pagesPrinted == seen.jobPages,
             "once paper was reloaded every ticket printed, each once", notes, ok);
      expect(seen.reportsPrinted == 1, "the spooler was told once that the job's last page left", notes, ok);
      break;
    case Fault::Jam:
      expect(seen.jamShown, "the spooler showed a paper jam", notes, ok);
      expect(seen.pagesPrinted < seen.jobPages, "the jam was never cleared: the rest did not print", notes, ok);
      expect(!seen.reportedPrinted, "the job was not reported printed", notes, ok);
      break;
    case Fault::UsbCrcError:
      expect(seen.crcErrorLogged, "the USB error is in the event log (0002)", notes, ok);
      expect(seen.bytesAtPrinter < seen.jobBytes, "the rest of the job was abandoned", notes, ok);
      expect(!seen.reportedPrinted, "the job was not reported printed", notes, ok);
      break;
    case Fault::SilentPrinter:
      expect(seen.offlineShown, "the spooler showed the port offline", notes, ok);
      expect(!seen.reportedPrinted || seen.pagesPrinted == seen.jobPages,
             "a job is reported printed only when its tickets came out", notes, ok);
      break;
  }
  return ok;
}

}  // namespace demo

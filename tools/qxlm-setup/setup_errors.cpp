#include "setup_errors.h"

namespace setup {

namespace {

// The system's codes, by name; this file is shared with the native build, which has
// no SDK headers to take them from.
const uint32_t kAccessDenied = 5;
const uint32_t kSharingViolation = 32;
const uint32_t kLockViolation = 33;
const uint32_t kServiceNotActive = 1062;
const uint32_t kUserMappedFile = 1224;
const uint32_t kRpcServerUnavailable = 1722;
const uint32_t kRpcServerTooBusy = 1723;
const uint32_t kUnknownPrinterDriver = 1797;
const uint32_t kInvalidPrinterName = 1801;
const uint32_t kUnknownPrintMonitor = 3000;
const uint32_t kPrinterDriverInUse = 3001;
const uint32_t kPrintMonitorInUse = 3008;

bool spoolerGone(uint32_t error) {
  return error == kRpcServerUnavailable || error == kRpcServerTooBusy || error == kServiceNotActive;
}

}  // namespace

ExitCode exitCodeForError(uint32_t error) {
  if (error == kAccessDenied) return EXIT_NOT_ADMINISTRATOR;
  if (spoolerGone(error)) return EXIT_NO_SPOOLER;
  if (error == kInvalidPrinterName || error == kUnknownPrinterDriver || error == kUnknownPrintMonitor) {
    return EXIT_UNKNOWN_NAME;
  }
  if (error == kPrinterDriverInUse || error == kPrintMonitorInUse) return EXIT_REFUSED;
  return EXIT_FAILED;
}

std::string adviceForError(uint32_t error) {
  if (error == kAccessDenied) return "Run qxlm-setup from a command prompt opened with \"Run as administrator\".";
  if (spoolerGone(error)) return "Start the print spooler (net start spooler) and run qxlm-setup again.";
  if (error == kInvalidPrinterName) return "\"qxlm-setup status\" and the Printers settings list the printers.";
  return "";
}

bool isFileInUse(uint32_t error) {
  return error == kSharingViolation || error == kLockViolation || error == kUserMappedFile || error == kAccessDenied;
}

}  // namespace setup

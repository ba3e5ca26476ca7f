// A firmware transfer runs from the write of the image's first chunk to the
// end-of-transfer request (or the close of the port that cuts it). In between the port sees the image's chunks in order and,
// on a serial link, the reads of its flow control and the setting of its time-outs:
// nothing else (no status request, no watchdog, no job data, no document start or
// end, no read on a link where reads are status exchanges).
#include <algorithm>

#include "checks.h"
#include "sim/printer_codes.h"

namespace soak {
namespace {

const size_t kChunk = 2048;

bool chunkAt(const sim::Call& c, const std::vector<BYTE>& image, size_t offset) {
  if (c.entry != sim::Entry::WritePort || offset >= image.size()) return false;
  const size_t n = std::min(kChunk, image.size() - offset);
  return c.in.size() == n && std::equal(c.in.begin(), c.in.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool endOfTransfer(const sim::Call& c) {
  return c.entry == sim::Entry::GetPrinterDataFromPort && c.controlId == sim::kVendorSetCommand && c.in.size() == 8 &&
         c.in[0] == sim::request::EndFlashTransfer;
}

}  // namespace

void checkFlash(const CheckInput& in) {
  for (const FlashStart& f : in.record->flashes) {
    const std::vector<BYTE>& image = in.scenario->firmware[static_cast<size_t>(f.firmware)].bytes;
    const std::vector<sim::Call>& calls = in.calls[f.port];
    const bool serial = in.scenario->ports[f.port].link == Link::Serial;
    const int port = static_cast<int>(f.port);
    bool inTransfer = false;
    size_t offset = 0;
    for (size_t i = f.firstCall; i < calls.size(); ++i) {
      const sim::Call& c = calls[i];
      if (!inTransfer) {
        if (chunkAt(c, image, 0)) {
          inTransfer = true;
          offset = std::min(kChunk, image.size());
        } else if (c.entry == sim::Entry::ClosePort) {
          break;  // this update is over with the port
        }
        continue;
      }
      if (endOfTransfer(c)) {
        ++in.record->exercised.transfers;
        inTransfer = false;  // a retry starts again from the first chunk
        continue;
      }
      if (c.entry == sim::Entry::ClosePort) {
        ++in.record->exercised.transfers;  // cut by the port's close
        break;
      }
      if (chunkAt(c, image, offset)) {
        offset += std::min(kChunk, image.size() - offset);
        continue;
      }
      if (c.entry == sim::Entry::SetPortTimeOuts) continue;
      if (serial && c.entry == sim::Entry::ReadPort) continue;
      const std::string& name = in.scenario->firmware[static_cast<size_t>(f.firmware)].fileName;
      const std::string where =
          offset == image.size()
              ? "the transfer of all " + std::to_string(image.size()) + " bytes of " + name +
                    " went on without its end-of-transfer request: "
              : "inside the firmware transfer of " + name + ", after " + std::to_string(offset) + " of its " +
                    std::to_string(image.size()) + " bytes: ";
      in.record->addBreach(Check::Flash, in.runTime(c.time), port, where + describeCall(c));
      break;
    }
  }
}

}  // namespace soak

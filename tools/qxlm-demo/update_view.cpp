#include "update_view.h"

#include "ctl_progress.h"
#include "flash/flash_progress.h"
#include "narrator.h"
#include "port/port_record.h"

namespace demo {
namespace {

std::string baseName(const char* path) {
  const std::string name = path != nullptr ? path : "";
  const size_t slash = name.find_last_of("\\/");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

UpdateView::UpdateView(INIPORT* port, sim::Printer& printer) : port_(port) {
  sim::FlashScript script;
  // The update thread owns the name while it runs; the printer asks for it on that thread.
  script.updateFileName = [port] { return std::string(port->flash.pszFlashFileName != nullptr ? port->flash.pszFlashFileName : ""); };
  printer.scriptFlash(script);
  char text[FLASH_PROGRESS_SIZE];
  copyFlashProgress(port_, text, sizeof text);
  last_ = text;
}

void UpdateView::poll() {
  char text[FLASH_PROGRESS_SIZE];
  copyFlashProgress(port_, text, sizeof text);
  if (last_ == text) return;
  last_ = text;
  ctl::FlashProgress progress;
  if (!ctl::parseProgress(last_, &progress)) return;
  const int stage = stage_;
  stage_ = progress.stage;
  // The name is kept before the first line of an update is written, and stays
  // until the next update starts.
  if (stage == 3 && progress.stage != 3) say("update: started, firmware file " + baseName(port_->flash.pszFlashFileName));
  switch (progress.stage) {
    case 0:
      if (stage == 0) say("update: waiting for the printer to take it (" + progress.third + " s)");
      return;
    case 1: {
      const int quarter = ctl::transferPercent(progress) / 25;
      if (stage != 1) told_ = -1;
      if (quarter == told_) return;
      told_ = quarter;
      say("update: sending the firmware, " + progress.third + " of " + progress.second + " thousand bytes (" +
          std::to_string(ctl::transferPercent(progress)) + "%)");
      return;
    }
    case 2:
      if (stage != 2) say("update: file sent, the printer restarts");
      return;
    default:
      if (ctl::isSuccessfulProgress(progress)) {
        say("update: done, the printer now reports firmware " + progress.text);
      } else if (ctl::isFinalProgress(progress)) {
        say("update: failed (" + last_ + ")");
      } else {
        say("update: " + progress.text);
      }
      return;
  }
}

}  // namespace demo

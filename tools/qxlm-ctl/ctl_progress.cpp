#include "ctl_progress.h"

#include <cstdlib>
#include <vector>

namespace ctl {
namespace {

const char kFinalFailure[] = "STATUS = 0";

long number(const std::string& text) { return strtol(text.c_str(), nullptr, 10); }

}  // namespace

bool parseProgress(const std::string& line, FlashProgress* progress) {
  std::vector<std::string> fields;
  size_t start = 0;
  // The fifth field is free text and may itself hold commas.
  while (fields.size() < 4) {
    const size_t comma = line.find(',', start);
    if (comma == std::string::npos) return false;
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  if (fields[0].size() != 1 || fields[0][0] < '0' || fields[0][0] > '3') return false;
  if (fields[3] != "P" && fields[3] != "F") return false;
  progress->stage = fields[0][0] - '0';
  progress->second = fields[1];
  progress->third = fields[2];
  progress->outcome = fields[3][0];
  progress->text = line.substr(start);
  return true;
}

bool isFinalProgress(const FlashProgress& progress) {
  return progress.stage == 3 &&
         (progress.outcome == 'P' || progress.text.compare(0, sizeof kFinalFailure - 1, kFinalFailure) == 0);
}

bool isSuccessfulProgress(const FlashProgress& progress) { return isFinalProgress(progress) && progress.outcome == 'P'; }

int transferPercent(const FlashProgress& progress) {
  const long total = number(progress.second);
  const long sent = number(progress.third);
  if (total <= 0) return 100;
  const long percent = sent * 100 / total;
  return static_cast<int>(percent > 100 ? 100 : (percent < 0 ? 0 : percent));
}

std::string progressBar(const FlashProgress& progress, int width) {
  switch (progress.stage) {
    case 0:
      return "waiting for the printer: " + progress.third + " s";
    case 1: {
      const int percent = transferPercent(progress);
      const int filled = width * percent / 100;
      std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                        std::string(static_cast<size_t>(width - filled), '.') + "] ";
      const std::string pct = std::to_string(percent);
      bar += std::string(3 - (pct.size() < 3 ? pct.size() : 3), ' ') + pct + "%  ";
      return bar + progress.third + " of " + progress.second + " kB sent";
    }
    case 2:
      return "printer restarting: " + progress.third + " of 15 s";
    default:
      if (progress.outcome == 'P') return "update finished, firmware " + progress.text;
      return "update failed: " + progress.text;
  }
}

}  // namespace ctl

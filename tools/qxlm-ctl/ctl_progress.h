// The progress text of a firmware update ("stage,a,b,P|F,text") and the bar that
// qxlm-ctl draws from it.
#pragma once

#include <string>

namespace ctl {

struct FlashProgress {
  int stage = -1;  // 0 start wait, 1 transfer, 2 end wait, 3 finished
  std::string second;
  std::string third;
  char outcome = 0;  // 'P' or 'F'
  std::string text;
};

// false for a text that is not five comma-separated fields with a known stage.
bool parseProgress(const std::string& line, FlashProgress* progress);

// The update has ended: success, or the failure line that closes every failed
// update. The other stage-3 failure lines are passing: the final one follows.
bool isFinalProgress(const FlashProgress& progress);
bool isSuccessfulProgress(const FlashProgress& progress);

// Percent of the file sent in a transfer line (100 for a file under 1,000 bytes).
int transferPercent(const FlashProgress& progress);

// One line of display: a bar while the file is sent, the wait in seconds before
// and after it, the result at the end.
std::string progressBar(const FlashProgress& progress, int width);

}  // namespace ctl

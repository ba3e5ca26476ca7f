#include "shrink.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace soak {
namespace {

std::string selfPath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "qxlm-soak";
  path[n] = 0;
  return path;
}

// Whether a replay with only these events breaches the check (the others skipped).
bool breaches(const ShrinkRequest& r, const std::set<unsigned>& events, unsigned& spent) {
  std::string skip;
  for (Check c : allChecks()) {
    if (c == r.check) continue;
    skip += (skip.empty() ? "" : ",") + std::string(checkName(c));
  }
  std::ostringstream command;
  command << "'" << selfPath() << "' --seed " << r.seed << " --only '" << idList(events) << "' --skip-check " << skip
          << " --time-scale " << r.timeScale << " --quiet > /dev/null 2>&1";
  for (unsigned i = 0; i < r.tries && spent < r.budget; ++i) {
    ++spent;
    const int status = std::system(command.str().c_str());
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 1) return true;
  }
  return false;
}

}  // namespace

std::string idList(const std::set<unsigned>& ids) {
  std::string out;
  for (unsigned id : ids) out += (out.empty() ? "" : ",") + std::to_string(id);
  return out.empty() ? "0" : out;
}

std::set<unsigned> shrink(const ShrinkRequest& r, std::ostream& progress) {
  std::vector<unsigned> kept(r.events.begin(), r.events.end());
  unsigned spent = 0;
  size_t parts = 2;
  while (kept.size() >= 2 && spent < r.budget) {
    const size_t size = (kept.size() + parts - 1) / parts;
    bool reduced = false;
    for (size_t start = 0; start < kept.size() && spent < r.budget; start += size) {
      std::set<unsigned> rest;
      for (size_t i = 0; i < kept.size(); ++i) {
        if (i < start || i >= start + size) rest.insert(kept[i]);
      }
      if (breaches(r, rest, spent)) {
        kept.assign(rest.begin(), rest.end());
        progress << "shrink: " << kept.size() << " events still breach " << checkName(r.check) << "\n";
        parts = parts > 2 ? parts - 1 : 2;
        reduced = true;
        break;
      }
    }
    if (reduced) continue;
    if (parts >= kept.size()) break;
    parts = std::min(kept.size(), parts * 2);
  }
  if (spent >= r.budget) progress << "shrink: stopped after " << spent << " replays\n";
  return std::set<unsigned>(kept.begin(), kept.end());
}

}  // namespace soak

#include "ctl_port_selection.h"

#include <algorithm>

#include "ctl_listing.h"
#include "ctl_text.h"

namespace ctl {
namespace {

bool listedIn(const std::vector<std::string>& ports, const std::string& port) {
  return std::any_of(ports.begin(), ports.end(), [&](const std::string& p) { return equalsIgnoringCase(p, port); });
}

}  // namespace

PortSelection::PortSelection(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    std::vector<std::string>& into = isPattern(arg) ? patterns_ : names_;
    if (!listedIn(into, arg)) into.push_back(arg);
  }
  if (args.empty()) patterns_.push_back("*");
}

bool PortSelection::current(std::vector<std::string>* ports, std::string* error) const {
  *ports = names_;
  if (patterns_.empty()) return true;
  std::vector<std::string> listed;
  DWORD code = 0;
  if (!listPortPipes(&listed, &code)) {
    *error = "the pipe namespace cannot be listed here (error " + std::to_string(code) + "); name the ports in full";
    return false;
  }
  std::sort(listed.begin(), listed.end(), lessIgnoringCase);
  for (const std::string& port : listed) {
    const bool matches =
        std::any_of(patterns_.begin(), patterns_.end(), [&](const std::string& p) { return matchesPattern(p, port); });
    if (matches && !listedIn(*ports, port)) ports->push_back(port);
  }
  return true;
}

bool PortSelection::named(const std::string& port) const { return listedIn(names_, port); }

}  // namespace ctl

// Which ports a fleet command looks at: the ports named on its command line, and
// every listed monitor pipe whose port matches one of its patterns (every one
// when nothing is named). A port named in full is asked directly, so it needs no
// listing of the pipe namespace.
#pragma once

#include <string>
#include <vector>

namespace ctl {

class PortSelection {
 public:
  explicit PortSelection(const std::vector<std::string>& args);

  // The ports to look at now, named ones first, then the matches in name order.
  // false with *error set when a listing was needed and could not be made; the
  // named ports are still there.
  bool current(std::vector<std::string>* ports, std::string* error) const;

  // The port was named in full (its absence is news).
  bool named(const std::string& port) const;

 private:
  std::vector<std::string> names_;
  std::vector<std::string> patterns_;
};

}  // namespace ctl

// Shrinking a breach: the seed is replayed with fewer of its events (delta
// debugging over the events that are not opens or closes), each replay in a child
// process of its own so that a hang costs only that child, until no event can go.
#pragma once

#include <cstdint>
#include <ostream>
#include <set>

#include "record.h"
#include "scenario.h"

namespace soak {

struct ShrinkRequest {
  uint64_t seed = 0;
  std::set<unsigned> events;  // the events of the breaching run
  Check check = Check::Bytes;  // the breach to keep
  double timeScale = 0.01;
  unsigned tries = 2;          // replays of a candidate before it counts as not breaching
  unsigned budget = 80;        // replays in all
};

// The smallest event list found that still breaches the check.
std::set<unsigned> shrink(const ShrinkRequest& request, std::ostream& progress);

std::string idList(const std::set<unsigned>& ids);

}  // namespace soak

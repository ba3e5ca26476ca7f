// The soak's one source of chance. A seed fixes every draw; the generator is our
// own (splitmix64), so a seed draws the same run with every compiler and library.
#pragma once

#include <cstdint>
#include <vector>

namespace soak {

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // 0 ... n-1 (0 when n is 0).
  uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(next() % n); }
  // lo ... hi, both included.
  uint32_t range(uint32_t lo, uint32_t hi) { return lo + below(hi - lo + 1); }
  bool percent(unsigned p) { return below(100) < p; }

  template <typename T>
  const T& pick(const std::vector<T>& from) {
    return from[below(static_cast<uint32_t>(from.size()))];
  }

  // An independent generator for one part of the run, so that what one part draws
  // does not shift what another draws.
  Rng fork(uint64_t stream) { return Rng(next() ^ (stream * 0xD1B54A32D192ED03ull)); }

 private:
  uint64_t state_;
};

}  // namespace soak

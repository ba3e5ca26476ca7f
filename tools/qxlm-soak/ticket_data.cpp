#include "ticket_data.h"

#include "rng.h"

namespace soak {
namespace {

const BYTE ESC = 0x1B;

// Block bytes: random, with ESC and ESC e sprinkled in.
void blockBytes(Rng& rng, std::vector<BYTE>& out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t r = rng.below(16);
    out.push_back(r == 0 ? ESC : r == 1 ? static_cast<BYTE>('e') : static_cast<BYTE>(rng.below(256)));
  }
}

void text(Rng& rng, std::vector<BYTE>& out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    BYTE b = static_cast<BYTE>(rng.percent(90) ? rng.range(0x20, 0x7E) : rng.below(256));
    out.push_back(b == ESC ? static_cast<BYTE>('.') : b);
  }
}

}  // namespace

std::vector<BYTE> ticketData(uint64_t seed, DWORD size) {
  Rng rng(seed);
  std::vector<BYTE> out;
  out.reserve(size + 2048);
  while (out.size() < size) {
    switch (rng.below(10)) {
      case 0:
      case 1:
        out.insert(out.end(), {ESC, 'e'});
        break;
      case 2: {  // ESC d: a + 256 b bytes
        const uint32_t n = rng.percent(5) ? 0 : rng.range(1, 700);
        out.insert(out.end(), {ESC, 'd', static_cast<BYTE>(n & 0xFF), static_cast<BYTE>(n >> 8)});
        blockBytes(rng, out, n);
        break;
      }
      case 3: {  // ESC x: 2 a bytes
        const uint32_t a = rng.percent(5) ? 0 : rng.range(1, 120);
        out.insert(out.end(), {ESC, 'x', static_cast<BYTE>(a)});
        blockBytes(rng, out, 2 * a);
        break;
      }
      case 4: {  // ESC X: 2 (8 a + b) bytes
        const uint32_t a = rng.range(0, 6);
        const uint32_t b = rng.below(256);
        out.insert(out.end(), {ESC, 'X', static_cast<BYTE>(a), static_cast<BYTE>(b)});
        blockBytes(rng, out, 2 * (8 * a + b));
        break;
      }
      case 5: {  // two parameter bytes
        const BYTE letters[] = {'L', 'Q', 'f'};
        out.insert(out.end(), {ESC, letters[rng.below(3)]});
        blockBytes(rng, out, 2);
        break;
      }
      case 6:  // a command the printer does not know (never ESC I: the end of a job sends that)
        out.insert(out.end(), {ESC, static_cast<BYTE>(rng.percent(50) ? 'A' : 'z')});
        break;
      default:
        text(rng, out, rng.range(1, 300));
        break;
    }
  }
  out.resize(size);
  return out;
}

std::vector<BYTE> firmwareImage(uint64_t seed, DWORD size) {
  Rng rng(seed);
  std::vector<BYTE> out = {'Q', 'X', 'F', 'W'};
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<BYTE>(seed >> (8 * i)));
  while (out.size() < size) out.push_back(static_cast<BYTE>(rng.below(256)));
  out.resize(size);
  return out;
}

}  // namespace soak

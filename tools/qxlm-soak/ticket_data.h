// Job data and firmware images drawn from a seed. Tickets mix text with the
// printer's escape commands: page ends (ESC e) anywhere, and ESC d, x and X blocks
// and ESC L, Q and f parameters whose bytes hold 0x1B and "e" on purpose, so that a
// scanner that reads block bytes as commands finds page ends that are not there.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32_api.h"

namespace soak {

std::vector<BYTE> ticketData(uint64_t seed, DWORD size);

// A firmware image: a marker no ticket holds, then bytes of every value.
std::vector<BYTE> firmwareImage(uint64_t seed, DWORD size);

}  // namespace soak

// How the printer finds the ends of pages in job data: it follows its own escape
// commands, so the bytes of parameter and data blocks are never taken for commands.
//   ESC L, ESC Q, ESC f   two parameter bytes
//   ESC d a b             a + 256*b data bytes
//   ESC x a               2*a data bytes
//   ESC X a b             2*(8*a + b) data bytes
//   ESC e                 end of page
// The state carries over from one write to the next. A block of length 0 is empty.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32_api.h"

namespace sim {

class PageScanner {
 public:
  // Feeds job bytes; returns the number of pages they ended.
  unsigned feed(const BYTE* data, size_t size);
  void reset();
  // The zero bytes that would finish the block open now (0 outside any).
  uint32_t zerosToFinish() const;

 private:
  enum class State { Idle, Command, DLow, DHigh, XCount, BigXHigh, BigXLow, Skip };
  State state_ = State::Idle;
  uint32_t count_ = 0;

  void skip(uint32_t count);
};

}  // namespace sim

#include "sim/page_scanner.h"

namespace sim {

void PageScanner::reset() {
  state_ = State::Idle;
  count_ = 0;
}

void PageScanner::skip(uint32_t count) {
  count_ = count;
  state_ = count == 0 ? State::Idle : State::Skip;
}

uint32_t PageScanner::zerosToFinish() const {
  PageScanner probe = *this;
  const BYTE zero = 0;
  uint32_t header = 0;
  for (; probe.state_ != State::Idle && probe.state_ != State::Skip; ++header) probe.feed(&zero, 1);
  return header + (probe.state_ == State::Skip ? probe.count_ : 0);
}

unsigned PageScanner::feed(const BYTE* data, size_t size) {
  unsigned pages = 0;
  for (size_t i = 0; i < size; ++i) {
    const BYTE b = data[i];
    switch (state_) {
      case State::Idle:
        if (b == 0x1B) state_ = State::Command;
        break;
      case State::Command:
        switch (b) {
          case 'L':
          case 'Q':
          case 'f': skip(2); break;
          case 'd': state_ = State::DLow; break;
          case 'x': state_ = State::XCount; break;
          case 'X': state_ = State::BigXHigh; break;
          case 'e':
            ++pages;
            state_ = State::Idle;
            break;
          default: state_ = State::Idle; break;
        }
        break;
      case State::DLow:
        count_ = b;
        state_ = State::DHigh;
        break;
      case State::DHigh: skip(count_ + 256u * b); break;
      case State::XCount: skip(2u * b); break;
      case State::BigXHigh:
        count_ = 8u * b;
        state_ = State::BigXLow;
        break;
      case State::BigXLow: skip(2u * (count_ + b)); break;
      case State::Skip:
        if (--count_ == 0) state_ = State::Idle;
        break;
    }
  }
  return pages;
}

}  // namespace sim

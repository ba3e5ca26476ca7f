// A value shared between threads without a lock. Reads and writes are relaxed
// atomics: each one is whole, no ordering is implied, and the program stays free of
// data races. Use it for flags, switches, settings and counters that the design
// reads and writes from several threads without a lock.
#pragma once

#include <atomic>

template <typename T>
class Relaxed {
 public:
  constexpr Relaxed() noexcept : value_{} {}
  constexpr Relaxed(T value) noexcept : value_(value) {}  // NOLINT: reads like a plain value
  Relaxed(const Relaxed&) = delete;
  Relaxed& operator=(const Relaxed&) = delete;

  operator T() const noexcept { return value_.load(std::memory_order_relaxed); }  // NOLINT
  T load() const noexcept { return value_.load(std::memory_order_relaxed); }
  Relaxed& operator=(T value) noexcept {
    value_.store(value, std::memory_order_relaxed);
    return *this;
  }
  T exchange(T value) noexcept { return value_.exchange(value, std::memory_order_relaxed); }

  // For integral values only.
  T operator|=(T mask) noexcept { return value_.fetch_or(mask, std::memory_order_relaxed) | mask; }
  T operator&=(T mask) noexcept { return value_.fetch_and(mask, std::memory_order_relaxed) & mask; }
  T operator++() noexcept { return value_.fetch_add(1, std::memory_order_relaxed) + 1; }
  T operator--() noexcept { return value_.fetch_sub(1, std::memory_order_relaxed) - 1; }

 private:
  std::atomic<T> value_;
};

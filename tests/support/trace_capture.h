// The debug trace, every line collected for the life of a scope.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "port/debug_trace.h"
#include "platform/win32_api.h"

class TraceCapture {
 public:
  // Leaves "EnableDiags" as the settings have it.
  TraceCapture();
  // Sets "EnableDiags" to diags, and back at the end of the scope.
  explicit TraceCapture(DWORD diags);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  size_t count(const std::string& text) const;
  bool contains(const std::string& text) const { return count(text) > 0; }
  // Index of the first line holding text at or after from, or -1.
  long find(const std::string& text, size_t from = 0) const;
  std::vector<std::string> lines() const;
  void clear();

 private:
  static void sink(LPCSTR line, void* context);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  bool setsDiags_;
  DWORD savedDiags_;
};

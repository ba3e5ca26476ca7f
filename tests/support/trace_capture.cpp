#include "tests/support/trace_capture.h"

#include "port/settings.h"
#include "platform/debug_output.h"

TraceCapture::TraceCapture() : setsDiags_(false), savedDiags_(0) { debugOutputCapture(&TraceCapture::sink, this); }

TraceCapture::TraceCapture(DWORD diags) : setsDiags_(true), savedDiags_(Settings.EnableDiags) {
  Settings.EnableDiags = diags;
  debugOutputCapture(&TraceCapture::sink, this);
}

TraceCapture::~TraceCapture() {
  debugOutputCapture(nullptr, nullptr);
  if (setsDiags_) Settings.EnableDiags = savedDiags_;
}

void TraceCapture::sink(LPCSTR line, void* context) {
  TraceCapture* self = static_cast<TraceCapture*>(context);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->lines_.emplace_back(line);
}

size_t TraceCapture::count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const std::string& line : lines_) n += line.find(text) != std::string::npos;
  return n;
}

long TraceCapture::find(const std::string& text, size_t from) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = from; i < lines_.size(); ++i) {
    if (lines_[i].find(text) != std::string::npos) return static_cast<long>(i);
  }
  return -1;
}

std::vector<std::string> TraceCapture::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void TraceCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

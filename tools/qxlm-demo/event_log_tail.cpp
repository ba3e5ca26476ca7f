#include "event_log_tail.h"

#include "narrator.h"

namespace demo {
namespace {

// The file's bytes from offset on; empty when it cannot be opened. The monitor opens
// and closes the log around every entry, so sharing it for writing is enough.
std::string readFrom(const std::string& path, DWORD offset, DWORD& size) {
  size = 0;
  std::string bytes;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  size = GetFileSize(h, nullptr);
  if (size != INVALID_FILE_SIZE && size > offset && SetFilePointer(h, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset) {
    char block[4096];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) bytes.append(block, got);
  }
  if (size == INVALID_FILE_SIZE) size = 0;
  CloseHandle(h);
  return bytes;
}

}  // namespace

EventLogTail::EventLogTail(const std::string& path) : path_(path) { readFrom(path_, 0, offset_); }

void EventLogTail::poll() {
  DWORD size = 0;
  // A file shorter than what was read has been trimmed: its kept lines were told.
  std::string bytes = readFrom(path_, offset_, size);
  if (size < offset_) {
    offset_ = size;
    partial_.clear();
    return;
  }
  offset_ += static_cast<DWORD>(bytes.size());
  partial_ += bytes;
  for (size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
    std::string line = partial_.substr(0, end);
    partial_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    told_ += line + "\n";
    say("event log: " + line);
  }
}

bool EventLogTail::sawCode(const std::string& code) const { return told_.find("\"" + code + "\"") != std::string::npos; }

}  // namespace demo

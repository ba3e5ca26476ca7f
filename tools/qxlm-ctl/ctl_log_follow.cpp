#include "ctl_log_follow.h"

namespace ctl {
namespace {

const size_t kShownKept = 65536;
// How much of what was shown is checked at each look, to notice a trim after which
// the file has grown past the place already read.
const size_t kCheckBytes = 256;
const DWORD kReadBlock = 65536;

}  // namespace

bool LogFollower::readFile(std::string* bytes, ULONGLONG from, ULONGLONG* size) const {
  bytes->clear();
  HANDLE h = CreateFileA(file_.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(h, &high);
  bool ok = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
  *size = (static_cast<ULONGLONG>(high) << 32) | low;
  LONG fromHigh = static_cast<LONG>(from >> 32);
  SetLastError(NO_ERROR);
  if (ok && from < *size &&
      SetFilePointer(h, static_cast<LONG>(from & 0xFFFFFFFFu), &fromHigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    ok = false;
  }
  std::string block(kReadBlock, '\0');
  for (ULONGLONG at = from; ok && at < *size;) {
    DWORD got = 0;
    // A read the writer's lock refuses is tried again at the next look.
    if (!ReadFile(h, &block[0], kReadBlock, &got, nullptr)) ok = false;
    if (got == 0) break;
    bytes->append(block, 0, got);
    at += got;
  }
  CloseHandle(h);
  return ok;
}

// Where the kept part of a trimmed log goes on after the lines already shown.
size_t LogFollower::resumeAt(const std::string& bytes) const {
  if (shown_.empty()) return 0;
  // What was shown last, whole, ends at the first place it occurs.
  const size_t whole = bytes.find(shown_);
  if (whole != std::string::npos) return whole + shown_.size();
  // Otherwise the kept part may begin inside it: the longest start of the file,
  // ending at a line end, that is an end of what was shown.
  size_t best = 0;
  for (size_t end = bytes.find('\n'); end != std::string::npos && end < shown_.size(); end = bytes.find('\n', end + 1)) {
    const size_t length = end + 1;
    if (shown_.compare(shown_.size() - length, length, bytes, 0, length) == 0) best = length;
  }
  return best;
}

void LogFollower::take(const std::string& bytes, std::vector<LogLine>* lines) {
  const size_t last = bytes.rfind('\n');
  if (last == std::string::npos) return;  // a line still being written waits for its end
  const size_t used = last + 1;
  for (size_t start = 0; start < used;) {
    const size_t end = bytes.find('\n', start);
    LogLine line;
    if (parseLogLine(bytes.substr(start, end - start), &line)) {
      line.printer = file_.printer;
      lines->push_back(line);
    }
    start = end + 1;
  }
  offset_ += used;
  shown_.append(bytes, 0, used);
  if (shown_.size() > kShownKept) shown_.erase(0, shown_.size() - kShownKept);
}

std::vector<LogLine> LogFollower::poll() {
  std::vector<LogLine> lines;
  std::string bytes;
  ULONGLONG size = 0;
  const size_t check = shown_.size() < kCheckBytes ? shown_.size() : kCheckBytes;
  if (!readFile(&bytes, offset_ - check, &size)) return lines;
  if (size >= offset_ && bytes.compare(0, check, shown_, shown_.size() - check, check) == 0) {
    take(bytes.substr(check), &lines);
    return lines;
  }
  // Trimmed (or replaced): read it all again and go on after what was shown. A
  // trim in place rewrites the file before it cuts it: two reads that differ may
  // have met one half done, and the next look tries again.
  std::string again;
  if (!readFile(&bytes, 0, &size) || !readFile(&again, 0, &size) || again != bytes) return lines;
  ++trims_;
  const size_t resume = resumeAt(bytes);
  const size_t keptFrom = resume > kShownKept ? resume - kShownKept : 0;
  offset_ = resume;
  shown_ = bytes.substr(keptFrom, resume - keptFrom);
  take(bytes.substr(resume), &lines);
  return lines;
}

}  // namespace ctl

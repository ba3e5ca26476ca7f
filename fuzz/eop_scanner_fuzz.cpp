// The end-of-page scanner against a plain reading of its state table, one byte at a
// time, on job data cut into write calls anywhere: both must find the same page ends
// in every call and leave the same state between calls.
//
// Input: a byte that chooses the cuts (odd: one write of everything; even: each
// write's length comes from its first byte masked with it), then the job data.
#include <cstring>

#include "fuzz_support.h"
#include "jobs/document.h"

namespace {

// The printer's escape commands, as the table states them. A block of zero bytes
// ends at once, as the monitor ends it.
struct Reference {
  DWORD state = 0;
  DWORD count = 0;

  void enterBlock(DWORD bytes) {
    count = bytes;
    state = bytes == 0 ? 0 : 7;
  }

  bool scan(const BYTE* bytes, size_t length) {
    bool found = false;
    for (size_t i = 0; i < length; ++i) {
      const BYTE b = bytes[i];
      switch (state) {
        case 0:
          if (b == 0x1B) state = 1;
          break;
        case 1:
          if (b == 'L' || b == 'Q' || b == 'f') {
            enterBlock(2);
          } else if (b == 'd') {
            state = 2;
          } else if (b == 'x') {
            state = 4;
          } else if (b == 'X') {
            state = 5;
          } else {
            if (b == 'e') found = true;
            state = 0;
          }
          break;
        case 2:
          count = b;
          state = 3;
          break;
        case 3:
          enterBlock(count + 256u * b);
          break;
        case 4:
          enterBlock(2u * b);
          break;
        case 5:
          count = 8u * b;
          state = 6;
          break;
        case 6:
          enterBlock(2u * (count + b));
          break;
        case 7:
          if (--count == 0) state = 0;
          break;
      }
    }
    return found;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static INIPORT* port = [] {
    fuzz::startMonitor("eop_scanner", {});
    return fuzz::openScriptedPort("USB001", "Scanner Fuzz Printer");
  }();

  fuzz::Input input(data, size);
  const BYTE cuts = input.byte();
  const std::vector<BYTE> job = input.rest();

  port->doc.eopState = 0;
  port->doc.eopCount = 0;
  Reference reference;
  size_t at = 0;
  while (at < job.size()) {
    size_t length = (cuts & 1) ? job.size() - at : 1 + (job[at] & cuts) % 64;
    if (length > job.size() - at) length = job.size() - at;
    const bool expected = reference.scan(job.data() + at, length);
    const BOOL found = findEOP_PAPER(port, job.data() + at, static_cast<DWORD>(length));
    FUZZ_CHECK((found != FALSE) == expected);
    FUZZ_CHECK(port->doc.eopState == reference.state && port->doc.eopCount == reference.count);
    at += length;
  }
  return 0;
}

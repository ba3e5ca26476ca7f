// The end-of-page scanner follows the printer's escape commands through the job
// data, skipping the blocks of raster and parameter bytes that commands carry, so
// that an ESC e inside a block is not taken for an end of page. Its state lives in
// the port record and carries over from one write to the next.
#include <cstring>

#include "jobs/document.h"
#include "port/debug_trace.h"

namespace {

enum EopState : DWORD {
  EOP_IDLE = 0,
  EOP_COMMAND = 1,
  EOP_D_LOW = 2,
  EOP_D_HIGH = 3,
  EOP_X_SMALL = 4,
  EOP_X_LARGE_1 = 5,
  EOP_X_LARGE_2 = 6,
  EOP_SKIP = 7,
};

const BYTE ESC = 0x1B;

// A block of zero bytes ends at once rather than wrapping the counter.
DWORD skipOrIdle(DWORD count) { return count == 0 ? EOP_IDLE : EOP_SKIP; }

}  // namespace

BOOL findEOP_PAPER(INIPORT* pIniPort, const BYTE* pBuffer, DWORD cbBuf) {
  DWORD state = pIniPort->doc.eopState;
  DWORD count = pIniPort->doc.eopCount;
  BOOL found = FALSE;
  DWORD i = 0;
  while (i < cbBuf) {
    if (state == EOP_IDLE) {
      const void* esc = memchr(pBuffer + i, ESC, cbBuf - i);
      if (esc == nullptr) break;
      i = static_cast<DWORD>(static_cast<const BYTE*>(esc) - pBuffer) + 1;
      state = EOP_COMMAND;
      continue;
    }
    if (state == EOP_SKIP) {
      const DWORD skip = count < cbBuf - i ? count : cbBuf - i;
      i += skip;
      count -= skip;
      if (count == 0) state = EOP_IDLE;
      continue;
    }
    const BYTE b = pBuffer[i++];
    switch (state) {
      case EOP_COMMAND:
        if (b == 'L' || b == 'Q' || b == 'f') {
          count = 2;
          state = EOP_SKIP;
        } else if (b == 'd') {
          state = EOP_D_LOW;
        } else if (b == 'x') {
          state = EOP_X_SMALL;
        } else if (b == 'X') {
          state = EOP_X_LARGE_1;
        } else if (b == 'e') {
          found = TRUE;
          pIniPort->doc.JobPageEnds = pIniPort->doc.JobPageEnds + 1;
          DebugTrace(pIniPort, TRACE_INFO, "findEOP_PAPER - EndPage e command found **************");
          state = EOP_IDLE;
        } else {
          DebugTraceF(pIniPort, TRACE_INFO, "findEOP_PAPER - unknown character found = %x", b);
          state = EOP_IDLE;
        }
        break;
      case EOP_D_LOW:
        count = b;
        state = EOP_D_HIGH;
        break;
      case EOP_D_HIGH:
        count += 256u * b;
        state = skipOrIdle(count);
        break;
      case EOP_X_SMALL:
        count = 2u * b;
        state = skipOrIdle(count);
        break;
      case EOP_X_LARGE_1:
        count = 8u * b;
        state = EOP_X_LARGE_2;
        break;
      case EOP_X_LARGE_2:
        count = 2u * (count + b);
        state = skipOrIdle(count);
        break;
      default:
        state = EOP_IDLE;
        break;
    }
  }
  pIniPort->doc.eopState = state;
  pIniPort->doc.eopCount = count;
  return found;
}

void losePageScannerPlace(INIPORT* pIniPort) {
  // From any place in any block, this many zeros bring a parser out of it (the
  // longest is an ESC d block), and outside a block the printer ignores them.
  pIniPort->doc.eopState = EOP_SKIP;
  pIniPort->doc.eopCount = 0xFFFF;
  pIniPort->doc.BlockFillOwed = TRUE;
}

DWORD rasterFillLength(INIPORT* pIniPort) {
  // A header cut short is finished with zero bytes (a zero length, or a zero
  // command byte), then the block's missing data bytes follow. The scanner is put
  // back after: it moves only with the zeros the port takes (noteFillTaken).
  const DWORD state = pIniPort->doc.eopState;
  const DWORD count = pIniPort->doc.eopCount;
  DWORD fill = 0;
  const BYTE zero = 0;
  while (pIniPort->doc.eopState != EOP_IDLE && pIniPort->doc.eopState != EOP_SKIP && fill < 4) {
    findEOP_PAPER(pIniPort, &zero, 1);
    ++fill;
  }
  if (pIniPort->doc.eopState == EOP_SKIP) fill += pIniPort->doc.eopCount;
  pIniPort->doc.eopState = state;
  pIniPort->doc.eopCount = count;
  return fill;
}

// A document that ends inside a raster or parameter block would leave the printer
// reading the end-of-document request, and the next job's first bytes, as block
// data: the block is finished with zero bytes. A printer that takes none or only
// part of them (stopped, switched off, the link broken) still owes the rest, and
// the next document's first write sends it before its own bytes.
#include "jobs/document.h"
#include "link/request_write.h"
#include "port/debug_trace.h"

BOOL finishCutBlock(INIPORT* pIniPort) {
  const DWORD fill = rasterFillLength(pIniPort);
  if (fill == 0) {
    pIniPort->doc.BlockFillOwed = FALSE;
    return TRUE;
  }
  DebugTraceF(pIniPort, TRACE_INFO, "MonEndDocPortUSB - Finishing a cut block with %u bytes", static_cast<unsigned>(fill));
  BYTE* zeros = static_cast<BYTE*>(AllocSplMem(fill));
  DWORD sent = 0;
  if (zeros == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } else {
    WriteWholeRequest(pIniPort, zeros, fill, &sent);
    const DWORD error = GetLastError();
    // The scanner follows the printer's parser through the zeros it took.
    findEOP_PAPER(pIniPort, zeros, sent);
    FreeSplMem(zeros);
    SetLastError(error);
  }
  pIniPort->doc.BlockFillOwed = sent < fill;
  if (pIniPort->doc.BlockFillOwed) {
    DebugTraceF(pIniPort, TRACE_ERROR, "MonEndDocPortUSB - The printer took %u of the %u bytes finishing a block",
                static_cast<unsigned>(sent), static_cast<unsigned>(fill));
  }
  return !pIniPort->doc.BlockFillOwed;
}

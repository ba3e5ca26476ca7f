// The two system DLLs qxlm-setup needs beyond the known ones, loaded from the system
// folder only: a winspool.drv or version.dll planted beside the program (in a
// download folder, say) would otherwise run as the installing administrator.
#pragma once

#include "platform/win32_api.h"

namespace setup {

struct SystemDlls {
  decltype(&::AddMonitorW) AddMonitorW;
  decltype(&::DeleteMonitorW) DeleteMonitorW;
  decltype(&::EnumMonitorsW) EnumMonitorsW;
  decltype(&::AddPrinterDriverExW) AddPrinterDriverExW;
  decltype(&::EnumPrinterDriversW) EnumPrinterDriversW;
  decltype(&::EnumPrintersW) EnumPrintersW;
  decltype(&::GetPrinterDriverW) GetPrinterDriverW;
  decltype(&::OpenPrinterW) OpenPrinterW;
  decltype(&::ClosePrinter) ClosePrinter;
  decltype(&::GetFileVersionInfoSizeW) GetFileVersionInfoSizeW;
  decltype(&::GetFileVersionInfoW) GetFileVersionInfoW;
  decltype(&::VerQueryValueW) VerQueryValueW;
};

// Restricts the process's DLL search to the system folder and loads both DLLs from
// there; false when one of them or one of its functions is missing.
bool loadSystemDlls();
// The functions; loadSystemDlls must have succeeded.
const SystemDlls& dll();

}  // namespace setup

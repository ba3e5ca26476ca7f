#include "setup_dlls.h"

namespace setup {

namespace {

SystemDlls g_dlls;

template <typename F>
bool bind(HMODULE module, const char* name, F* function) {
  *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *function != nullptr;
}

}  // namespace

bool loadSystemDlls() {
  if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return false;
  const HMODULE spool = LoadLibraryExW(WSTR("winspool.drv"), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const HMODULE version = LoadLibraryExW(WSTR("version.dll"), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (spool == nullptr || version == nullptr) return false;
  SystemDlls& d = g_dlls;
  return bind(spool, "AddMonitorW", &d.AddMonitorW) && bind(spool, "DeleteMonitorW", &d.DeleteMonitorW) &&
         bind(spool, "EnumMonitorsW", &d.EnumMonitorsW) && bind(spool, "AddPrinterDriverExW", &d.AddPrinterDriverExW) &&
         bind(spool, "EnumPrinterDriversW", &d.EnumPrinterDriversW) && bind(spool, "EnumPrintersW", &d.EnumPrintersW) &&
         bind(spool, "GetPrinterDriverW", &d.GetPrinterDriverW) && bind(spool, "OpenPrinterW", &d.OpenPrinterW) &&
         bind(spool, "ClosePrinter", &d.ClosePrinter) &&
         bind(version, "GetFileVersionInfoSizeW", &d.GetFileVersionInfoSizeW) &&
         bind(version, "GetFileVersionInfoW", &d.GetFileVersionInfoW) &&
         bind(version, "VerQueryValueW", &d.VerQueryValueW);
}

const SystemDlls& dll() { return g_dlls; }

}  // namespace setup

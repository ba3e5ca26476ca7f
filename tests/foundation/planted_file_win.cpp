#include "planted_file.h"
#include "platform/win32_api.h"

bool plantAsOtherUser(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  const DWORD set = SetNamedSecurityInfoA(const_cast<LPSTR>(path.c_str()), SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return set == ERROR_SUCCESS;
}

// Wine grants no opportunistic locks; the Windows build runs the test without one.
bool holdWithLock(const std::string&) { return false; }
void letGoOfLock() {}

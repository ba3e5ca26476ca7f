#include "setup_dlls.h"
#include "setup_system.h"

#include <vector>

#include "setup_errors.h"

namespace setup {

Wide toWide(const std::string& utf8) {
  if (utf8.empty()) return Wide();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  Wide wide(static_cast<size_t>(n), 0);
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string toUtf8(const Wide& wide) {
  if (wide.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), 0);
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

bool sameName(const Wide& a, const Wide& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

int reportFailure(std::ostream& err, const std::string& what, DWORD error) {
  LPWSTR text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string reason = text != nullptr ? toUtf8(text) : std::string("unknown error");
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  err << "qxlm-setup: " << what << " failed: " << reason << " (error " << error << ")\n";
  const std::string advice = adviceForError(error);
  if (!advice.empty()) err << advice << "\n";
  return exitCodeForError(error);
}

Wide besideProgram(const Wide& fileName) {
  WCHAR path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  Wide folder(path, n < MAX_PATH ? n : 0);
  const size_t slash = folder.find_last_of(WSTR("\\/"));
  folder.erase(slash == Wide::npos ? 0 : slash + 1);
  return folder + fileName;
}

Wide inSystemFolder(const Wide& fileName) {
  WCHAR path[MAX_PATH];
  const UINT n = GetSystemDirectoryW(path, MAX_PATH);
  return Wide(path, n < MAX_PATH ? n : 0) + WSTR("\\") + fileName;
}

bool fileExists(const Wide& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

bool readAll(const Wide& path, std::vector<char>* data) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) data->insert(data->end(), block, block + got);
  CloseHandle(h);
  return true;
}

}  // namespace

bool sameContents(const Wide& a, const Wide& b) {
  std::vector<char> first, second;
  return readAll(a, &first) && readAll(b, &second) && first == second;
}

std::string fileVersion(const Wide& path) {
  DWORD handle = 0;
  const DWORD size = dll().GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return std::string();
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!dll().GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !dll().VerQueryValueW(block.data(), WSTR("\\"), reinterpret_cast<LPVOID*>(&info), &infoSize) || info == nullptr) {
    return std::string();
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

bool runsAsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators)) {
    return false;
  }
  // Under UAC an administrator's unelevated token carries the group for deny only,
  // which this check does not count.
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

Wide monitorKeyPath(const Wide& monitorName) {
  return Wide(WSTR("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\")) + monitorName;
}

}  // namespace setup

#include "ctl_listing.h"
#include "ctl_text.h"

namespace ctl {
namespace {

const char kPipePrefix[] = "QXNamedPipe";

// Pipe names are narrowed the way the monitor narrows names: the low byte of each unit.
std::string narrow(const WCHAR* text) {
  std::string out;
  for (; *text != 0; ++text) out.push_back(static_cast<char>(*text & 0xFF));
  return out;
}

}  // namespace

bool listPortPipes(std::vector<std::string>* ports, DWORD* error) {
  ports->clear();
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(L"\\\\.\\pipe\\*", &found);
  if (find == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return *error == ERROR_FILE_NOT_FOUND;  // no pipe at all
  }
  const std::string prefix = kPipePrefix;
  do {
    const std::string name = narrow(found.cFileName);
    if (name.size() > prefix.size() && equalsIgnoringCase(name.substr(0, prefix.size()), prefix)) {
      ports->push_back(name.substr(prefix.size()));
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return true;
}

bool listFiles(const std::string& folder, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names->push_back(found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return true;
}

}  // namespace ctl

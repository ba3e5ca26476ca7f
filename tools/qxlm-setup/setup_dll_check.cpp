// The DLL is checked before it goes into the system folder, where the spooler runs
// it as SYSTEM: a plausible size, a 64-bit image whose only export is the monitor's
// entry, and its SHA-256 against the list the release archive carries.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "setup_dll_check.h"
#include "setup_errors.h"

namespace setup {

namespace {

const size_t kSmallest = 64 * 1024;
const size_t kLargest = 16 * 1024 * 1024;

bool readFile(const Wide& path, std::vector<BYTE>* data) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BYTE block[65536];
  DWORD got = 0;
  while (data->size() <= kLargest && ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) {
    data->insert(data->end(), block, block + got);
  }
  CloseHandle(h);
  return true;
}

DWORD word32(const std::vector<BYTE>& d, size_t at) {
  return at + 4 > d.size() ? 0 : static_cast<DWORD>(d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (d[at + 3] << 24));
}
WORD word16(const std::vector<BYTE>& d, size_t at) {
  return at + 2 > d.size() ? 0 : static_cast<WORD>(d[at] | (d[at + 1] << 8));
}

// The file offset of a relative address, through the section table; 0 when none holds it.
size_t offsetOf(const std::vector<BYTE>& d, size_t sections, WORD count, DWORD rva) {
  for (WORD i = 0; i < count; ++i) {
    const size_t s = sections + 40u * i;
    const DWORD start = word32(d, s + 12), size = word32(d, s + 8), raw = word32(d, s + 20);
    if (rva >= start && rva < start + size) return raw + (rva - start);
  }
  return 0;
}

// A 64-bit DLL exporting exactly one name, InitializePrintMonitor.
bool exportsOnlyTheEntry(const std::vector<BYTE>& d) {
  if (word16(d, 0) != 0x5A4D) return false;
  const size_t pe = word32(d, 0x3C);
  if (word32(d, pe) != 0x00004550 || word16(d, pe + 24) != 0x20B) return false;
  const WORD sectionCount = word16(d, pe + 6);
  const size_t optional = pe + 24;
  const size_t sections = optional + word16(d, pe + 20);
  const DWORD exportRva = word32(d, optional + 112);
  const size_t exports = exportRva == 0 ? 0 : offsetOf(d, sections, sectionCount, exportRva);
  if (exports == 0 || word32(d, exports + 20) != 1 || word32(d, exports + 24) != 1) return false;
  const size_t names = offsetOf(d, sections, sectionCount, word32(d, exports + 32));
  const size_t name = names == 0 ? 0 : offsetOf(d, sections, sectionCount, word32(d, names));
  static const char kEntry[] = "InitializePrintMonitor";
  return name != 0 && name + sizeof kEntry <= d.size() && memcmp(&d[name], kEntry, sizeof kEntry) == 0;
}

std::string sha256(const std::vector<BYTE>& d) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[32];
  DWORD size = sizeof digest;
  std::string hex;
  if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
      if (CryptHashData(hash, d.data(), static_cast<DWORD>(d.size()), 0) &&
          CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == sizeof digest) {
        char two[3];
        for (BYTE b : digest) {
          snprintf(two, sizeof two, "%02x", b);
          hex += two;
        }
      }
      CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
  }
  return hex;
}

// The hash the archive's SHA256SUMS gives for the file name; empty when none.
std::string listedHash(const std::string& fileName) {
  std::ifstream list(toUtf8(besideProgram(WSTR("SHA256SUMS"))));
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string hash, name;
    fields >> hash >> name;
    if (!name.empty() && name[0] == '*') name.erase(0, 1);
    if (sameName(toWide(name), toWide(fileName))) return hash;
  }
  return std::string();
}

}  // namespace

int checkMonitorDll(const Wide& path, const std::string& fileName, const Console& console) {
  std::vector<BYTE> data;
  if (!readFile(path, &data)) return reportFailure(console.err, "Reading " + toUtf8(path), GetLastError());
  if (data.size() < kSmallest || data.size() > kLargest || !exportsOnlyTheEntry(data)) {
    console.err << "qxlm-setup: " << toUtf8(path) << " is not the language monitor (a 64-bit DLL whose one export is "
                << "InitializePrintMonitor); nothing was installed.\n";
    return EXIT_REFUSED;
  }
  const std::string hash = sha256(data);
  console.out << fileName << " SHA-256 " << hash << "\n";
  const std::string listed = listedHash(fileName);
  if (listed.empty()) {
    console.out << "No SHA256SUMS beside qxlm-setup lists " << fileName << ": compare the SHA-256 with the release's.\n";
    return EXIT_OK;
  }
  if (hash.empty() || listed != hash) {
    console.err << "qxlm-setup: " << toUtf8(path) << " is not the file the release lists (SHA-256 " << listed
                << "); nothing was installed.\n";
    return EXIT_REFUSED;
  }
  console.out << "It matches the release's SHA256SUMS.\n";
  return EXIT_OK;
}

}  // namespace setup

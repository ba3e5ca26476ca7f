// Security descriptors, as far as the stand-in can honour them.
//
// Descriptors come only from SDDL text: an optional owner (O:) and group (G:), and
// a DACL (D:, flags P, AI, AR) of allow (A) and deny (D) entries whose rights are
// GA GR GW GX FA FR FW FX or a 0x number and whose account is an alias (SY BA BU IU
// AU NU WD CO) or an S-1-... string. Anything else is refused. A pipe created with a
// descriptor gets the socket mode that grants the same: its creator always reads
// and writes; the other local accounts (WD, AU, IU, BU) read and write when the
// entries, taken in order as Windows takes them, grant them both. SYSTEM and the
// administrators are root, whom file modes do not stop; network accounts (NU)
// cannot reach a Unix socket at all.
#include <sys/types.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/pipe_end.h"

namespace posix {
namespace {

const DWORD kDescriptorMagic = 0x51585344;  // "QXSD"

struct Ace {
  bool allow;
  DWORD rights;
  char account[64];
};

struct Descriptor {
  DWORD magic;
  DWORD aceCount;
  Ace aces[1];
};

const DWORD kGenericAll = 0x10000000u;
const DWORD kGenericExecute = 0x20000000u;
const DWORD kFileAll = 0x001F01FFu;
const DWORD kFileRead = 0x00120089u;
const DWORD kFileWrite = 0x00120116u;
const DWORD kFileExecute = 0x001200A0u;

bool parseRights(const std::string& text, DWORD* rights) {
  *rights = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    char* end = nullptr;
    *rights = static_cast<DWORD>(strtoul(text.c_str() + 2, &end, 16));
    return end != nullptr && *end == 0;
  }
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    const std::string code = text.substr(i, 2);
    if (code == "GA") {
      *rights |= kGenericAll;
    } else if (code == "GR") {
      *rights |= GENERIC_READ;
    } else if (code == "GW") {
      *rights |= GENERIC_WRITE;
    } else if (code == "GX") {
      *rights |= kGenericExecute;
    } else if (code == "FA") {
      *rights |= kFileAll;
    } else if (code == "FR") {
      *rights |= kFileRead;
    } else if (code == "FW") {
      *rights |= kFileWrite;
    } else if (code == "FX") {
      *rights |= kFileExecute;
    } else {
      return false;
    }
  }
  return true;
}

bool validAccount(const std::string& account) {
  static const char* const kAliases[] = {"SY", "BA", "BU", "IU", "AU", "NU", "WD", "CO"};
  for (const char* alias : kAliases) {
    if (account == alias) return true;
  }
  return account.size() > 4 && account.size() < sizeof(Ace{}.account) && account.compare(0, 4, "S-1-") == 0;
}

// One "(type;flags;rights;object;inherited object;account)" entry.
bool parseAce(const std::string& text, Ace* ace) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t semi; (semi = text.find(';', start)) != std::string::npos; start = semi + 1) {
    parts.push_back(text.substr(start, semi - start));
  }
  parts.push_back(text.substr(start));
  if (parts.size() != 6 || !parts[1].empty() || !parts[3].empty() || !parts[4].empty()) return false;
  if (parts[0] != "A" && parts[0] != "D") return false;
  if (!parseRights(parts[2], &ace->rights) || !validAccount(parts[5])) return false;
  ace->allow = parts[0] == "A";
  memset(ace->account, 0, sizeof ace->account);
  memcpy(ace->account, parts[5].c_str(), parts[5].size());
  return true;
}

// The part after "O:" or "G:" runs to the next section.
size_t skipAccount(const std::string& text, size_t at) {
  while (at < text.size() && !(text[at] >= 'A' && text[at] <= 'Z' && at + 1 < text.size() && text[at + 1] == ':' &&
                               (text[at] == 'O' || text[at] == 'G' || text[at] == 'D' || text[at] == 'S'))) {
    ++at;
  }
  return at;
}

bool parseSddl(const std::string& text, std::vector<Ace>* aces) {
  size_t at = 0;
  bool dacl = false;
  while (at < text.size()) {
    if (at + 1 >= text.size() || text[at + 1] != ':') return false;
    const char section = text[at];
    at += 2;
    if (section == 'O' || section == 'G') {
      const size_t end = skipAccount(text, at);
      if (end == at || !validAccount(text.substr(at, end - at))) return false;
      at = end;
    } else if (section == 'D' && !dacl) {
      dacl = true;
      while (at < text.size() && text[at] != '(' && text[at] != ':' && text[at + 1] != ':') {
        if (text.compare(at, 2, "AI") == 0 || text.compare(at, 2, "AR") == 0) {
          at += 2;
        } else if (text[at] == 'P') {
          ++at;
        } else {
          return false;
        }
      }
      while (at < text.size() && text[at] == '(') {
        const size_t close = text.find(')', at);
        if (close == std::string::npos) return false;
        Ace ace;
        if (!parseAce(text.substr(at + 1, close - at - 1), &ace)) return false;
        aces->push_back(ace);
        at = close + 1;
      }
    } else {
      return false;
    }
  }
  return dacl;
}

bool isLocalAccounts(const char* account) {
  return strcmp(account, "WD") == 0 || strcmp(account, "AU") == 0 || strcmp(account, "IU") == 0 ||
         strcmp(account, "BU") == 0;
}

}  // namespace

bool socketModeFor(PSECURITY_DESCRIPTOR descriptor, mode_t* mode) {
  *mode = 0600;
  if (descriptor == nullptr) return true;
  const Descriptor* d = static_cast<const Descriptor*>(descriptor);
  if (d->magic != kDescriptorMagic) return false;
  // Each right is decided by the first entry that names it, as Windows decides.
  bool readDecided = false, writeDecided = false, canRead = false, canWrite = false;
  for (DWORD i = 0; i < d->aceCount; ++i) {
    const Ace& ace = d->aces[i];
    if (!isLocalAccounts(ace.account)) continue;
    const bool reads = (ace.rights & (kGenericAll | GENERIC_READ | 0x1u)) != 0;
    const bool writes = (ace.rights & (kGenericAll | GENERIC_WRITE | 0x2u)) != 0;
    if (reads && !readDecided) {
      readDecided = true;
      canRead = ace.allow;
    }
    if (writes && !writeDecided) {
      writeDecided = true;
      canWrite = ace.allow;
    }
  }
  if (canRead && canWrite) *mode = 0666;
  return true;
}

}  // namespace posix

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
                                                          PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                          ULONG* SecurityDescriptorSize) {
  if (StringSecurityDescriptor == nullptr || SecurityDescriptor == nullptr || StringSDRevision != SDDL_REVISION_1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string text;
  for (const WCHAR* p = StringSecurityDescriptor; *p != 0; ++p) {
    if (*p >= 0x80) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (*p != u' ') text += static_cast<char>(*p);
  }
  std::vector<posix::Ace> aces;
  if (!posix::parseSddl(text, &aces)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t size = offsetof(posix::Descriptor, aces) + sizeof(posix::Ace) * (aces.empty() ? 1 : aces.size());
  // LocalFree releases it, as it releases the stand-in's other system buffers.
  auto* d = static_cast<posix::Descriptor*>(calloc(1, size));
  if (d == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  d->magic = posix::kDescriptorMagic;
  d->aceCount = static_cast<DWORD>(aces.size());
  for (size_t i = 0; i < aces.size(); ++i) d->aces[i] = aces[i];
  *SecurityDescriptor = d;
  if (SecurityDescriptorSize != nullptr) *SecurityDescriptorSize = static_cast<ULONG>(size);
  return TRUE;
}

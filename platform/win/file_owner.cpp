// A file's owner and access list, read by name: SYSTEM, Administrators and this
// process's user are trusted, anyone else with write access makes the file foreign.
#include "platform/file_owner.h"

namespace {

// The write rights another account must not hold.
const ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE |
                                 GENERIC_WRITE | GENERIC_ALL;

struct TrustedSids {
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  BYTE self[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  PSID selfSid = nullptr;
};

BOOL makeTrusted(TrustedSids* sids) {
  DWORD size = sizeof sids->system;
  if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, sids->system, &size)) return FALSE;
  size = sizeof sids->administrators;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sids->administrators, &size)) return FALSE;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return FALSE;
  const BOOL got = GetTokenInformation(token, TokenUser, sids->self, sizeof sids->self, &size);
  CloseHandle(token);
  if (got) sids->selfSid = reinterpret_cast<TOKEN_USER*>(sids->self)->User.Sid;
  return got;
}

BOOL trusted(const TrustedSids& sids, PSID sid) {
  return EqualSid(sid, const_cast<BYTE*>(sids.system)) || EqualSid(sid, const_cast<BYTE*>(sids.administrators)) ||
         EqualSid(sid, sids.selfSid);
}

BOOL othersMayWrite(const TrustedSids& sids, PACL dacl) {
  if (dacl == nullptr) return TRUE;  // no access list: everyone has every right
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<LPVOID*>(&header))) return TRUE;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    if ((ace->Mask & kWriteRights) != 0 && !trusted(sids, &ace->SidStart)) return TRUE;
  }
  return FALSE;
}

}  // namespace

BOOL fileOwnedBySelf(LPCSTR path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return TRUE;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return TRUE;
  TrustedSids sids;
  if (!makeTrusted(&sids)) return FALSE;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return FALSE;
  }
  const BOOL own = owner != nullptr && trusted(sids, owner) && !othersMayWrite(sids, dacl);
  LocalFree(descriptor);
  return own;
}

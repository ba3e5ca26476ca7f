#include "ctl_host.h"

namespace ctl {
namespace {

std::string sidText(PSID sid) {
  LPSTR text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "an account that cannot be named";
  const std::string result = std::string("account ") + text;
  LocalFree(text);
  return result;
}

bool isSystemOrAdministrators(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

enum class Verdict { Trusted, Untrusted, Unknown };

// A token's account is SYSTEM, or it has the administrators' group enabled (not
// merely present for denials, as in a restricted or filtered token).
Verdict tokenVerdict(HANDLE token, std::string* account) {
  alignas(TOKEN_USER) BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, user, sizeof user, &size)) return Verdict::Unknown;
  const PSID userSid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  *account = sidText(userSid);
  if (IsWellKnownSid(userSid, WinLocalSystemSid)) return Verdict::Trusted;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size == 0) return Verdict::Unknown;
  std::string groups(size, '\0');
  if (!GetTokenInformation(token, TokenGroups, &groups[0], size, &size)) return Verdict::Unknown;
  const TOKEN_GROUPS* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    const DWORD attributes = list->Groups[i].Attributes;
    if (IsWellKnownSid(list->Groups[i].Sid, WinBuiltinAdministratorsSid) && (attributes & SE_GROUP_ENABLED) != 0 &&
        (attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0) {
      return Verdict::Trusted;
    }
  }
  return Verdict::Untrusted;
}

// The account of the process serving the pipe, where this client may read it.
Verdict serverProcessVerdict(HANDLE pipe, std::string* account) {
  ULONG pid = 0;
  if (!GetNamedPipeServerProcessId(pipe, &pid) || pid == 0) return Verdict::Unknown;
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return Verdict::Unknown;
  HANDLE token = nullptr;
  Verdict verdict = Verdict::Unknown;
  if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
    verdict = tokenVerdict(token, account);
    CloseHandle(token);
  }
  CloseHandle(process);
  return verdict;
}

// The pipe's owner is the account that made it; only SYSTEM and administrators can
// make SYSTEM or the administrators' group an object's owner.
bool ownerTrusted(HANDLE pipe, std::string* account) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool trusted = false;
  if (owner != nullptr) {
    *account = sidText(owner);
    trusted = isSystemOrAdministrators(owner);
  }
  LocalFree(descriptor);
  return trusted;
}

}  // namespace

bool standardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

std::string pathForMonitor(const std::string& path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n == 0 || n >= sizeof full ? path : std::string(full, n);
}

// The serving process's token says who serves the pipe. A user other than its owner
// cannot read the token of a process of SYSTEM (the spooler's): the pipe's owner,
// which any user may read, answers then.
bool pipeServerTrusted(HANDLE pipe, std::string* account) {
  *account = "an account that cannot be told";
  switch (serverProcessVerdict(pipe, account)) {
    case Verdict::Trusted:
      return true;
    case Verdict::Untrusted:
      return false;
    default:
      return ownerTrusted(pipe, account);
  }
}

}  // namespace ctl

// Windows identifies a pipe client by its token, taken while the pipe thread acts
// as the client: SYSTEM and members of Administrators are administrators, and so is
// a user the spooler lets administer the port's printer.
#include <cstdio>
#include <cstring>

#include "platform/caller_identity.h"
#include "platform/caller_injection.h"

namespace {

BOOL isWellKnown(HANDLE token, WELL_KNOWN_SID_TYPE type) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  BOOL member = FALSE;
  if (!CreateWellKnownSid(type, nullptr, sid, &size)) return FALSE;
  if (!CheckTokenMembership(token, sid, &member)) return FALSE;
  return member;
}

void nameOf(HANDLE token, PipeCaller* caller) {
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return;
  char user[128];
  char domain[128];
  DWORD userSize = sizeof user;
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use;
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
  if (LookupAccountSidA(nullptr, sid, user, &userSize, domain, &domainSize, &use)) {
    snprintf(caller->name, sizeof caller->name, "%s\\%s", domain, user);
    return;
  }
  LPSTR text = nullptr;
  if (ConvertSidToStringSidA(sid, &text)) {
    snprintf(caller->name, sizeof caller->name, "%s", text);
    LocalFree(text);
  }
}

}  // namespace

BOOL identifyPipeCaller(HANDLE hPipe, PrinterRightCheck administersPrinter, void* context, PipeCaller* caller) {
  if (injectedPipeCaller(caller)) return TRUE;
  unknownPipeCaller(caller);
  if (!ImpersonateNamedPipeClient(hPipe)) return FALSE;
  HANDLE token = nullptr;
  BOOL known = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
  if (known) {
    nameOf(token, caller);
    caller->administrator = isWellKnown(token, WinLocalSystemSid) || isWellKnown(token, WinBuiltinAdministratorsSid);
    CloseHandle(token);
    if (!caller->administrator && administersPrinter != nullptr) caller->administrator = administersPrinter(context);
  }
  if (!RevertToSelf()) {
    // The thread would go on as the client: nothing it does from here is trusted.
    caller->administrator = FALSE;
    return FALSE;
  }
  return known;
}

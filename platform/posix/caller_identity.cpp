// The stand-in identifies a pipe client by the credentials the kernel recorded for
// the far end of the pipe's socket: root is the administrator, every other account
// an ordinary user. No printer rights exist here.
#include <pwd.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

#include "platform/caller_identity.h"
#include "platform/caller_injection.h"
#include "platform/posix/kernel_object.h"

BOOL identifyPipeCaller(HANDLE hPipe, PrinterRightCheck, void*, PipeCaller* caller) {
  if (injectedPipeCaller(caller)) return TRUE;
  unknownPipeCaller(caller);
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hPipe);
  const int socket = object == nullptr ? -1 : object->clientSocket();
  struct ucred client = {};
  socklen_t length = sizeof client;
  if (object != nullptr && object->clientMadeOrdinary()) {
    snprintf(caller->name, sizeof caller->name, "%s", "ordinary caller");
    return TRUE;
  }
  if (socket < 0 || getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &client, &length) != 0) return FALSE;

  caller->administrator = client.uid == 0 ? TRUE : FALSE;
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(client.uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    snprintf(caller->name, sizeof caller->name, "%s", found->pw_name);
  } else {
    snprintf(caller->name, sizeof caller->name, "uid %u", static_cast<unsigned>(client.uid));
  }
  return TRUE;
}

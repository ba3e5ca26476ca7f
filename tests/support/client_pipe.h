// The pipe client whose request starts a firmware update: the monitor acts as this
// client when it opens the file, so every update in the tests comes through one.
#pragma once

#include <memory>

#include "platform/win32_api.h"

class ClientPipe {
 public:
  // A connected client of this process's own user.
  ClientPipe();
  ~ClientPipe();
  ClientPipe(const ClientPipe&) = delete;
  ClientPipe& operator=(const ClientPipe&) = delete;

  // A connected client of another user (an unprivileged one), or NULL where the
  // build cannot make one.
  static std::unique_ptr<ClientPipe> ofOtherUser();
  // The user and group of ofOtherUser's client.
  static const DWORD kOtherUser = 65534;

  // Leaves the file readable by its owner (this process's user) only; FALSE where
  // the build has no other user to keep out.
  static bool hideFromOtherUser(const char* path);

  // The handle the monitor's pipe thread holds: the pipe's server end.
  HANDLE serverEnd() const { return server_; }
  bool connected() const { return server_ != nullptr; }

 private:
  struct OtherUser {};
  explicit ClientPipe(OtherUser);

  HANDLE server_ = nullptr;
  HANDLE client_ = nullptr;
};

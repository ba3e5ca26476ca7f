// The access list the port's pipe carries, read back from the pipe itself, and the
// check qxlm-ctl makes of whoever serves a pipe.
#include <cstdio>
#include <vector>

#include "ctl_command_line.h"
#include "pipe_test_support.h"

namespace {

struct ExpectedEntry {
  BYTE aceType;
  const wchar_t* sid;
  bool fullControl;  // else read and write
};

bool isFullControl(ACCESS_MASK mask) { return mask == GENERIC_ALL || mask == FILE_ALL_ACCESS; }

bool isReadWrite(ACCESS_MASK mask) {
  return mask == (GENERIC_READ | GENERIC_WRITE) || mask == (FILE_GENERIC_READ | FILE_GENERIC_WRITE);
}

class PipeSecurity : public PipePortTest {};

TEST_F(PipeSecurity, PipeCarriesAnExplicitAccessList) {
  const std::string name = portName("SEC");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  ctl::PipeClient client;
  ASSERT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, name));  // the pipe exists from here on
  // A client may come between the pipe's creation and the record's taking it.
  const DWORD start = GetTickCount();
  while (port->pipe.hPipe == nullptr && GetTickCount() - start < 10000) Sleep(5);
  const HANDLE pipe = port->pipe.hPipe;
  ASSERT_NE(nullptr, pipe);

  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                                               nullptr, nullptr, &dacl, nullptr, &descriptor));
  ASSERT_NE(nullptr, dacl);  // a NULL list would let everybody in

  // Network logons denied first, then SYSTEM and the administrators in full, then
  // interactive and authenticated users with read and write.
  const std::vector<ExpectedEntry> expected = {
      {ACCESS_DENIED_ACE_TYPE, L"S-1-5-2", true},       {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-18", true},
      {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-32-544", true}, {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-4", false},
      {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-11", false},
  };
  ASSERT_EQ(expected.size(), static_cast<size_t>(dacl->AceCount));
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &entry));
    const ACE_HEADER* header = static_cast<ACE_HEADER*>(entry);
    EXPECT_EQ(expected[i].aceType, header->AceType) << "entry " << i;
    // Allowed and denied entries share their layout: mask, then the SID.
    const ACCESS_ALLOWED_ACE* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID wanted = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(expected[i].sid, &wanted));
    EXPECT_TRUE(EqualSid(wanted, const_cast<DWORD*>(&ace->SidStart))) << "entry " << i;
    LocalFree(wanted);
    if (expected[i].fullControl) {
      EXPECT_TRUE(isFullControl(ace->Mask)) << "entry " << i << " mask " << std::hex << ace->Mask;
    } else {
      EXPECT_TRUE(isReadWrite(ace->Mask)) << "entry " << i << " mask " << std::hex << ace->Mask;
    }
  }
  LocalFree(descriptor);

  // The handle stays with the spooler: no child process inherits it.
  DWORD handleFlags = 0;
  ASSERT_TRUE(GetHandleInformation(pipe, &handleFlags));
  EXPECT_EQ(0u, handleFlags & HANDLE_FLAG_INHERIT);

  // Nobody can open a second instance under the port's name while it is open.
  const WideString pipeName = ctl::pipeNameFor(name);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096,
                             4096, 0, nullptr));
}

// A pipe server in a process of its own whose token keeps the administrators' group
// for denials only, as an ordinary user's does. (Wine runs every process as one
// user, an administrator; the level of identity a client lends cannot be shown
// either, as Wine lets a server act as every client.)
PROCESS_INFORMATION startOrdinaryServer(const std::string& pipeName) {
  PROCESS_INFORMATION process = {};
  char program[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  if (n == 0 || n >= sizeof program) return process;
  std::string path(program, n);
  path = path.substr(0, path.find_last_of('\\') + 1) + "foreign_pipe_server.exe";
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) return process;
  PSID administrators = nullptr;
  HANDLE restricted = nullptr;
  if (ConvertStringSidToSidW(L"S-1-5-32-544", &administrators)) {
    SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
    CreateRestrictedToken(own, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted);
    LocalFree(administrators);
  }
  CloseHandle(own);
  if (restricted == nullptr) {
    std::printf("CreateRestrictedToken: error %lu\n", GetLastError());
    return process;
  }
  std::string command = "\"" + path + "\" " + pipeName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  // Now and then Wine fails to start a program at all (see wine-run.sh): try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (CreateProcessAsUserA(restricted, path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process)) {
      break;
    }
    process = PROCESS_INFORMATION();
    std::printf("CreateProcessAsUserA, attempt %d: error %lu\n", attempt + 1, GetLastError());
    Sleep(200);
  }
  CloseHandle(restricted);
  return process;
}

// Any local process may serve a port's pipe name: qxlm-ctl lends its identity for a
// firmware update only to SYSTEM or an administrator, and sends such a server nothing.
TEST_F(PipeSecurity, QxlmCtlRefusesAnUpdateToAServerOfAnOrdinaryAccount) {
  const std::string other = portName("OTHER");
  const WideString wideName = ctl::pipeNameFor(other);
  const std::string pipeName(wideName.begin(), wideName.end());
  PROCESS_INFORMATION server = startOrdinaryServer(pipeName);
  ASSERT_NE(nullptr, server.hProcess);
  const DWORD start = GetTickCount();
  while (!WaitNamedPipeW(wideName.c_str(), 100) && GetTickCount() - start < 20000) Sleep(10);

  const CtlRun refused = ctlRun({"flash", other, "C:\\windows\\win.ini"});
  EXPECT_EQ(ctl::EXIT_UNTRUSTED, refused.exit);
  EXPECT_NE(std::string::npos, refused.err.find("served by account S-1-5-")) << refused.err;

  if (WaitForSingleObject(server.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(server.hProcess, 255);
  DWORD requestBytes = 255;
  GetExitCodeProcess(server.hProcess, &requestBytes);
  EXPECT_EQ(0u, requestBytes);
  CloseHandle(server.hThread);
  CloseHandle(server.hProcess);
}

}  // namespace

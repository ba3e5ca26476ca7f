// The access list the port's pipe carries, read back from the pipe itself.
#include <vector>

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
  const HANDLE pipe = port->hPipe;
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

}  // namespace

// The stand-in's pipe is a Unix socket: its file mode is the access list, local
// accounts reading and writing and nobody else reaching it.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>

#include "pipe_test_support.h"

namespace {

std::string pipeFolder() {
  const char* configured = getenv("QXLM_PIPE_DIR");
  if (configured != nullptr && *configured != 0) return configured;
  char windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  return n == 0 || n >= sizeof windows ? std::string() : std::string(windows) + "/pipe";
}

// The socket whose name ends in the port's name, folded as pipe names are.
std::string socketOf(const std::string& port) {
  std::string folded;
  for (char c : port) folded += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  const std::string suffix = "qxnamedpipe" + folded;
  const std::string dir = pipeFolder();
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return std::string();
  std::string found;
  while (dirent* entry = readdir(d)) {
    const std::string file = entry->d_name;
    if (file.size() >= suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
      found = dir + "/" + file;
    }
  }
  closedir(d);
  return found;
}

class PipeSecurity : public PipePortTest {};

TEST_F(PipeSecurity, PipeIsOpenToLocalAccountsOnly) {
  const std::string name = portName("SEC");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  ctl::PipeClient client;
  ASSERT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, name));
  const std::string path = socketOf(name);
  ASSERT_FALSE(path.empty());
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(0666u, st.st_mode & 07777u);

  const WideString pipeName = ctl::pipeNameFor(name);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
  client.close();
  EXPECT_TRUE(close(port));
}

}  // namespace

// The stand-in's own system folder: where no Windows folder is given, one that only
// the user running the program can reach.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform_test_util.h"

namespace {

TEST(WindowsDirectory, DefaultIsTheUsersOwnAndClosedToOthers) {
  const char* configured = getenv("QXLM_WINDOWS_DIR");
  const std::string saved = configured != nullptr ? configured : "";
  unsetenv("QXLM_WINDOWS_DIR");
  char dir[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(dir, sizeof dir);
  if (!saved.empty()) setenv("QXLM_WINDOWS_DIR", saved.c_str(), 1);

  ASSERT_GT(n, 0u);
  struct stat st;
  ASSERT_EQ(0, lstat(dir, &st)) << dir;
  EXPECT_TRUE(S_ISDIR(st.st_mode)) << dir;
  EXPECT_EQ(geteuid(), st.st_uid) << dir;
  EXPECT_EQ(0700u, st.st_mode & 07777u) << dir;
}

}  // namespace

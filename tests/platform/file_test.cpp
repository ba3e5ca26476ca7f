// Files: dispositions and their errors, share modes, the file pointer, copy and
// delete, hard links, appending writes and the end of a file.
#include <cctype>
#include <cstring>

#include "platform_test_util.h"

namespace {

class File : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& p : created_) DeleteFileA(p.c_str());
  }

  std::string path(const std::string& leaf) {
    created_.push_back(tempPath(leaf));
    return created_.back();
  }

  static HANDLE open(const std::string& p, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(p.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  static void write(HANDLE h, const char* text) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr));
    ASSERT_EQ(strlen(text), written);
  }

  static std::string readAll(const std::string& p) {
    HANDLE h = open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[256];
    DWORD got = 0;
    ReadFile(h, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(h);
    return std::string(buffer, got);
  }

  std::vector<std::string> created_;
};

TEST_F(File, Dispositions) {
  const std::string p = path("dispositions.txt");
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_WRITE, 0, TRUNCATE_EXISTING));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);

  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  write(h, "first");
  CloseHandle(h);

  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_WRITE, 0, CREATE_NEW));
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);

  h = open(p, GENERIC_WRITE, 0, OPEN_ALWAYS);  // keeps the content
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  CloseHandle(h);
  EXPECT_EQ("first", readAll(p));

  h = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS);  // empties it
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  write(h, "second");
  CloseHandle(h);
  EXPECT_EQ("second", readAll(p));

  h = open(p, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  EXPECT_EQ("", readAll(p));

  const std::string fresh = path("fresh.txt");
  SetLastError(ERROR_GEN_FAILURE);
  h = open(fresh, GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_LAST_ERROR(ERROR_SUCCESS);
  CloseHandle(h);
  const std::string fresher = path("fresher.txt");
  SetLastError(ERROR_GEN_FAILURE);
  h = open(fresher, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_LAST_ERROR(ERROR_SUCCESS);
  CloseHandle(h);
}

TEST_F(File, MissingFolderIsPathNotFound) {
  const std::string p = tempPath("no-such-folder") + "\\file.txt";
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_WRITE, 0, CREATE_ALWAYS));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
}

TEST_F(File, ShareModesBetweenHandles) {
  const std::string p = path("shared.log");
  HANDLE writer = open(p, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);

  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);  // the writer lets no other writer in
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);  // a reader must let the writer go on

  HANDLE reader = open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, reader);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(p.c_str()));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  CloseHandle(reader);
  CloseHandle(writer);

  HANDLE exclusive = open(p, GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  CloseHandle(exclusive);

  HANDLE again = open(p, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);  // all closed: free again
  EXPECT_NE(INVALID_HANDLE_VALUE, again);
  CloseHandle(again);
}

TEST_F(File, AccessIsChecked) {
  const std::string p = path("access.txt");
  HANDLE h = open(p, GENERIC_READ, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD written = 1;
  SetLastError(0);
  EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(0u, written);
  CloseHandle(h);
}

TEST_F(File, PointerSizeAndReads) {
  const std::string p = path("pointer.bin");
  HANDLE h = open(p, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  write(h, "0123456789");
  DWORD high = 7;
  EXPECT_EQ(10u, GetFileSize(h, &high));
  EXPECT_EQ(0u, high);

  EXPECT_EQ(10u, SetFilePointer(h, 0, nullptr, FILE_CURRENT));
  EXPECT_EQ(4u, SetFilePointer(h, 4, nullptr, FILE_BEGIN));
  char buffer[8] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buffer, 3, &got, nullptr));
  EXPECT_EQ(3u, got);
  EXPECT_EQ(0, memcmp(buffer, "456", 3));
  EXPECT_EQ(5u, SetFilePointer(h, -2, nullptr, FILE_CURRENT));
  EXPECT_EQ(8u, SetFilePointer(h, -2, nullptr, FILE_END));

  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -20, nullptr, FILE_CURRENT));
  EXPECT_LAST_ERROR(ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(8u, SetFilePointer(h, 0, nullptr, FILE_CURRENT));  // unchanged by the refusal

  LONG moveHigh = 0;
  EXPECT_EQ(2u, SetFilePointer(h, 2, &moveHigh, FILE_BEGIN));
  EXPECT_EQ(0, moveHigh);

  EXPECT_EQ(10u, SetFilePointer(h, 0, nullptr, FILE_END));
  got = 9;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));  // the end: no data, no failure
  EXPECT_EQ(0u, got);

  EXPECT_EQ(12u, SetFilePointer(h, 12, nullptr, FILE_BEGIN));  // past the end is allowed
  write(h, "!");
  EXPECT_EQ(13u, GetFileSize(h, nullptr));
  CloseHandle(h);
}

TEST_F(File, PositionedTransfersOnASynchronousHandle) {
  const std::string p = path("positioned.bin");
  HANDLE h = open(p, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  write(h, "abcdefgh");
  OVERLAPPED ov = {};
  ov.Offset = 2;
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  char buffer[4] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buffer, 3, &got, &ov));
  EXPECT_EQ(3u, got);
  EXPECT_EQ(0, memcmp(buffer, "cde", 3));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ov.hEvent, 0));
  EXPECT_EQ(5u, SetFilePointer(h, 0, nullptr, FILE_CURRENT));

  ov.Offset = 8;
  SetLastError(0);
  EXPECT_FALSE(ReadFile(h, buffer, 3, &got, &ov));
  EXPECT_LAST_ERROR(ERROR_HANDLE_EOF);
  CloseHandle(ov.hEvent);
  CloseHandle(h);
}

TEST_F(File, BackslashesAndCaseOfExistingNames) {
  const std::string p = path("MixedCase.Log");
  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  write(h, "case");
  CloseHandle(h);
  std::string upper = p;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ("case", readAll(upper));
}

TEST_F(File, CopyAndDelete) {
  const std::string source = path("source.log");
  const std::string copy = path("source.logbak");
  HANDLE h = open(source, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  write(h, "event log");
  CloseHandle(h);

  EXPECT_TRUE(CopyFileA(source.c_str(), copy.c_str(), TRUE));
  EXPECT_EQ("event log", readAll(copy));
  SetLastError(0);
  EXPECT_FALSE(CopyFileA(source.c_str(), copy.c_str(), TRUE));
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
  h = open(source, GENERIC_WRITE, 0, CREATE_ALWAYS);
  write(h, "newer");
  CloseHandle(h);
  EXPECT_TRUE(CopyFileA(source.c_str(), copy.c_str(), FALSE));  // overwrites
  EXPECT_EQ("newer", readAll(copy));

  EXPECT_FALSE(CopyFileA(source.c_str(), source.c_str(), FALSE));  // never empties the source
  EXPECT_EQ("newer", readAll(source));

  EXPECT_TRUE(DeleteFileA(source.c_str()));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(source.c_str()));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  SetLastError(0);
  EXPECT_FALSE(CopyFileA(source.c_str(), copy.c_str(), FALSE));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ("newer", readAll(copy));
}

TEST_F(File, HardLinksAppendingWritesAndEndOfFile) {
  const std::string p = path("linked.log");
  const std::string other = path("linked.other");
  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  write(h, "first");
  CloseHandle(h);
  ASSERT_TRUE(CreateHardLinkA(other.c_str(), p.c_str(), nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateHardLinkA(other.c_str(), p.c_str(), nullptr));
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);

  h = CreateFileA(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  BY_HANDLE_FILE_INFORMATION info = {};
  ASSERT_TRUE(GetFileInformationByHandle(h, &info));
  EXPECT_EQ(2u, info.nNumberOfLinks);
  EXPECT_EQ(0u, info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(5u, info.nFileSizeLow);

  // Offsets of all ones append, wherever the file pointer stands.
  OVERLAPPED atEnd = {};
  atEnd.Offset = 0xFFFFFFFFu;
  atEnd.OffsetHigh = 0xFFFFFFFFu;
  DWORD done = 0;
  EXPECT_EQ(0u, SetFilePointer(h, 0, nullptr, FILE_BEGIN));
  EXPECT_TRUE(WriteFile(h, " second", 7, &done, &atEnd));
  EXPECT_EQ(7u, done);
  EXPECT_EQ("first second", readAll(other));
  EXPECT_EQ(3u, SetFilePointer(h, 3, nullptr, FILE_BEGIN));
  EXPECT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(3u, GetFileSize(h, nullptr));
  CloseHandle(h);

  // Removing one name leaves the file under the other.
  EXPECT_TRUE(DeleteFileA(p.c_str()));
  EXPECT_EQ("fir", readAll(other));
  h = open(other, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_TRUE(GetFileInformationByHandle(h, &info));
  EXPECT_EQ(1u, info.nNumberOfLinks);
  CloseHandle(h);
}

TEST_F(File, CreateAndRemoveDirectory) {
  const std::string dir = tempPath("folder");
  const std::string inside = dir + "\\inside.txt";
  DeleteFileA(inside.c_str());  // what a crashed run may have left
  RemoveDirectoryA(dir.c_str());

  EXPECT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA(dir.c_str(), nullptr));
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA((dir + "\\a\\b").c_str(), nullptr));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);

  HANDLE h = open(inside, GENERIC_WRITE, 0, CREATE_NEW);
  EXPECT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(dir, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);  // a folder is not a file
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(dir.c_str()));
  EXPECT_LAST_ERROR(ERROR_DIR_NOT_EMPTY);
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(inside.c_str()));
  EXPECT_LAST_ERROR(ERROR_DIRECTORY);

  EXPECT_TRUE(DeleteFileA(inside.c_str()));
  EXPECT_TRUE(RemoveDirectoryA(dir.c_str()));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(dir.c_str()));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
}

}  // namespace

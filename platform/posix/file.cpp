// Files with Windows semantics: "\" separators, names resolved without regard to
// case, the five creation dispositions and their errors, share modes enforced
// between the handles of this process, and a file pointer per handle. Hard links
// are names of one file (its link count); a symbolic link is a reparse point, which
// FILE_FLAG_OPEN_REPARSE_POINT opens itself instead of the file it names.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_owner.h"
#include "platform/posix/code_page.h"
#include "platform/posix/kernel_object.h"

namespace posix {
namespace {

// ------------------------------------------------------------------- names

std::string utf8FromWide(LPCWSTR text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.pop_back();
  return out;
}

std::u16string wideFromUtf8(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return std::u16string();
  std::u16string out(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
  out.pop_back();
  return out;
}

// ANSI names are in the stand-in's ANSI code page; the host's names are UTF-8.
std::string utf8FromAnsi(LPCSTR text) {
  const std::u16string wide = wideFromAnsi(reinterpret_cast<const unsigned char*>(text), strlen(text));
  return utf8FromWide(wide.c_str());
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entry of directory dir whose name equals name without regard to case.
bool findWithoutCase(const std::string& dir, const std::string& name, std::string& found) {
  DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
  if (d == nullptr) return false;
  const std::u16string wanted = wideFromUtf8(name);
  bool match = false;
  while (struct dirent* entry = readdir(d)) {
    if (lstrcmpiW(wideFromUtf8(entry->d_name).c_str(), wanted.c_str()) == 0) {
      found = entry->d_name;
      match = true;
      break;
    }
  }
  closedir(d);
  return match;
}

// The host path for a Windows path: "\" becomes "/", and a path whose exact
// spelling does not exist is matched component by component without regard to
// case. Components that match nothing are kept as spelt, for creation.
std::string hostPath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.empty() || exists(path)) return path;
  std::string resolved = path[0] == '/' ? "" : ".";
  bool missing = false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    std::string actual = part;
    if (!missing && part != "." && part != ".." && !exists(resolved + "/" + part)) {
      missing = !findWithoutCase(resolved, part, actual);
    }
    resolved += "/" + actual;
  }
  if (path[0] != '/') resolved.erase(0, 2);  // the "./" added above
  if (path.back() == '/') resolved += '/';
  return resolved;
}

std::string parentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A missing file in an existing folder is ERROR_FILE_NOT_FOUND; a missing folder
// on the way is ERROR_PATH_NOT_FOUND.
DWORD missingError(const std::string& path) {
  struct stat st;
  const std::string parent = parentOf(path);
  return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// ------------------------------------------------------------- share modes

typedef std::pair<dev_t, ino_t> FileId;

struct OpenMode {
  DWORD access;
  DWORD share;
};

// Every open file of the process, by identity, with the access and share mode of
// each open; the lock also makes the check and the open one step.
std::mutex g_filesLock;
std::map<FileId, std::vector<const OpenMode*>> g_openFiles;

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

bool conflicts(const OpenMode& a, const OpenMode& b) {
  return ((a.access & GENERIC_READ) && !(b.share & FILE_SHARE_READ)) ||
         ((a.access & GENERIC_WRITE) && !(b.share & FILE_SHARE_WRITE)) ||
         ((b.access & GENERIC_READ) && !(a.share & FILE_SHARE_READ)) ||
         ((b.access & GENERIC_WRITE) && !(a.share & FILE_SHARE_WRITE));
}

// Call under g_filesLock.
bool shareAllows(const FileId& id, const OpenMode& wanted) {
  auto it = g_openFiles.find(id);
  if (it == g_openFiles.end()) return true;
  for (const OpenMode* open : it->second) {
    if (conflicts(*open, wanted)) return false;
  }
  return true;
}

bool deleteAllowed(const FileId& id) {
  auto it = g_openFiles.find(id);
  if (it == g_openFiles.end()) return true;
  for (const OpenMode* open : it->second) {
    if (!(open->share & FILE_SHARE_DELETE)) return false;
  }
  return true;
}

// ------------------------------------------------------------------- files

class FileObject : public KernelObject {
 public:
  FileObject(int fd, const FileId& id, OpenMode mode) : KernelObject(ObjectKind::File), fd_(fd), id_(id), mode_(mode) {
    g_openFiles[id_].push_back(&mode_);  // the creator holds g_filesLock
  }

  ~FileObject() override {
    {
      std::lock_guard<std::mutex> guard(g_filesLock);
      std::vector<const OpenMode*>& opens = g_openFiles[id_];
      for (auto it = opens.begin(); it != opens.end(); ++it) {
        if (*it == &mode_) {
          opens.erase(it);
          break;
        }
      }
      if (opens.empty()) g_openFiles.erase(id_);
    }
    close(fd_);
  }

  // What the host calls the opened name: a regular file is a disk file.
  DWORD type() const {
    struct stat st;
    if (fstat(fd_, &st) != 0) return FILE_TYPE_UNKNOWN;
    if (S_ISREG(st.st_mode)) return FILE_TYPE_DISK;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
    if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
    return FILE_TYPE_UNKNOWN;
  }

  BOOL read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) override {
    if (done != nullptr) *done = 0;
    if (!(mode_.access & GENERIC_READ)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    DWORD total = 0;
    const off_t start = startOf(overlapped);
    while (total < size) {
      char* at = static_cast<char*>(buffer) + total;
      const ssize_t n = overlapped != nullptr ? pread(fd_, at, size - total, start + total) : ::read(fd_, at, size - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fail(errno);
      if (n == 0) break;
      total += static_cast<DWORD>(n);
    }
    if (done != nullptr) *done = total;
    if (overlapped != nullptr) {
      // A positioned read of nothing at the end fails, as on Windows.
      if (total == 0 && size != 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
      }
      complete(overlapped, start, total);
    }
    return TRUE;
  }

  BOOL write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) override {
    if (done != nullptr) *done = 0;
    if (!(mode_.access & GENERIC_WRITE)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    const bool toEnd = appends(overlapped);
    DWORD total = 0;
    const off_t start = toEnd ? 0 : startOf(overlapped);
    while (total < size) {
      const char* at = static_cast<const char*>(buffer) + total;
      const ssize_t n = toEnd                  ? appendPiece(at, size - total)
                        : overlapped != nullptr ? pwrite(fd_, at, size - total, start + total)
                                                : ::write(fd_, at, size - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (done != nullptr) *done = total;
        return fail(errno);
      }
      total += static_cast<DWORD>(n);
    }
    if (done != nullptr) *done = total;
    if (toEnd) {
      finish(overlapped, total);
    } else if (overlapped != nullptr) {
      complete(overlapped, start, total);
    }
    return TRUE;
  }

  BOOL information(LPBY_HANDLE_FILE_INFORMATION info) {
    struct stat st;
    if (fstat(fd_, &st) != 0) return fail(errno);
    *info = BY_HANDLE_FILE_INFORMATION();
    info->dwFileAttributes = S_ISLNK(st.st_mode)  ? FILE_ATTRIBUTE_REPARSE_POINT
                             : S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                                                   : FILE_ATTRIBUTE_ARCHIVE;
    info->ftCreationTime = fileTime(st.st_ctim);
    info->ftLastAccessTime = fileTime(st.st_atim);
    info->ftLastWriteTime = fileTime(st.st_mtim);
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    const unsigned long long size = static_cast<unsigned long long>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    const unsigned long long index = static_cast<unsigned long long>(st.st_ino);
    info->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info->nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
  }

  // The file ends at the handle's file pointer.
  BOOL endHere() {
    if (!(mode_.access & GENERIC_WRITE)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    const off_t here = lseek(fd_, 0, SEEK_CUR);
    if (here < 0 || ftruncate(fd_, here) != 0) return fail(errno);
    return TRUE;
  }

  bool size(off_t& out) {
    struct stat st;
    if (fstat(fd_, &st) != 0) return fail(errno);
    out = st.st_size;
    return true;
  }

  // The new position, or -1 with the last error set.
  off_t seek(long long distance, DWORD method) {
    off_t base = 0;
    if (method == FILE_CURRENT) {
      base = lseek(fd_, 0, SEEK_CUR);
    } else if (method == FILE_END) {
      if (!size(base)) return -1;
    } else if (method != FILE_BEGIN) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    const long long target = static_cast<long long>(base) + distance;
    if (target < 0) {
      SetLastError(ERROR_NEGATIVE_SEEK);
      return -1;
    }
    if (lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0) {
      fail(errno);
      return -1;
    }
    return static_cast<off_t>(target);
  }

 private:
  static bool fail(int error) {
    SetLastError(errorFromErrno(error));
    return false;
  }

  // Both offsets all ones: the write goes to the end of the file as it is then,
  // as through a handle with append access only.
  static bool appends(LPOVERLAPPED overlapped) {
    return overlapped != nullptr && overlapped->Offset == 0xFFFFFFFFu && overlapped->OffsetHigh == 0xFFFFFFFFu;
  }

  // The piece lands at the end in one step, whoever else appends meanwhile.
  ssize_t appendPiece(const char* at, size_t size) {
    iovec piece = {const_cast<char*>(at), size};
    return pwritev2(fd_, &piece, 1, -1, RWF_APPEND);
  }

  static FILETIME fileTime(const timespec& t) {
    // 100-nanosecond units since 1601-01-01.
    const unsigned long long units =
        (static_cast<unsigned long long>(t.tv_sec) + 11644473600ULL) * 10000000ULL + static_cast<unsigned long long>(t.tv_nsec) / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(units);
    ft.dwHighDateTime = static_cast<DWORD>(units >> 32);
    return ft;
  }

  static off_t startOf(LPOVERLAPPED overlapped) {
    if (overlapped == nullptr) return 0;
    return static_cast<off_t>((static_cast<unsigned long long>(overlapped->OffsetHigh) << 32) | overlapped->Offset);
  }

  // A positioned transfer on this synchronous handle is complete on return: the
  // file pointer follows it and its event is set.
  void complete(LPOVERLAPPED overlapped, off_t start, DWORD total) {
    lseek(fd_, start + total, SEEK_SET);
    finish(overlapped, total);
  }

  static void finish(LPOVERLAPPED overlapped, DWORD total) {
    overlapped->Internal = 0;
    overlapped->InternalHigh = total;
    if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
  }

  const int fd_;
  const FileId id_;
  const OpenMode mode_;
};

FileId idOf(const struct stat& st) { return FileId(st.st_dev, st.st_ino); }

// Opens path (a host path) as CreateFile would; nullptr with the last error set.
// On success the last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or
// OPEN_ALWAYS found the file there, else ERROR_SUCCESS.
std::shared_ptr<FileObject> openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                                     DWORD flags) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
      (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  OpenMode mode = {access & kReadWrite, share & (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)};
  const bool noFollow = (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0;

  std::unique_lock<std::mutex> guard(g_filesLock);
  struct stat st;
  const bool found = (noFollow ? lstat(path.c_str(), &st) : stat(path.c_str(), &st)) == 0;
  // The link itself is opened: its attributes can be read, nothing through it.
  const bool isLink = found && S_ISLNK(st.st_mode);
  if (isLink) mode.access = 0;
  if (found && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (found && disposition == CREATE_NEW) {
    SetLastError(ERROR_FILE_EXISTS);
    return nullptr;
  }
  if (!found && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
    SetLastError(missingError(path));
    return nullptr;
  }
  if (found && !shareAllows(idOf(st), mode)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return nullptr;
  }

  int oflags = O_CLOEXEC;
  if (isLink) {
    oflags |= O_PATH | O_NOFOLLOW;
  } else {
    if ((mode.access & kReadWrite) == kReadWrite) {
      oflags |= O_RDWR;
    } else if (mode.access & GENERIC_WRITE) {
      oflags |= O_WRONLY;
    } else {
      oflags |= O_RDONLY;
    }
    if (!found) oflags |= O_CREAT | O_EXCL;
    if (found && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) oflags |= O_TRUNC;
    if (flags & FILE_FLAG_WRITE_THROUGH) oflags |= O_DSYNC;
    // A link put at the name since it was looked at makes the open fail.
    if (noFollow) oflags |= O_NOFOLLOW;
  }

  // A lease another holds on the file makes the open wait for its break, as an
  // oplock does on Windows. The wait is made without the table's lock, so that it
  // stalls no other file call, and the open then starts over.
  const bool leasable = found && S_ISREG(st.st_mode);
  const int fd = open(path.c_str(), oflags | (leasable ? O_NONBLOCK : 0), 0666);
  if (fd < 0 && errno == EWOULDBLOCK && leasable) {
    guard.unlock();
    const int waited = open(path.c_str(), oflags & ~O_TRUNC);
    if (waited >= 0) close(waited);
    return openFile(path, access, share, disposition, flags);
  }
  if (fd >= 0 && leasable) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (fd < 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    return nullptr;
  }
  struct stat opened;
  if (fstat(fd, &opened) != 0) {
    SetLastError(errorFromErrno(errno));
    close(fd);
    return nullptr;
  }
  auto file = std::make_shared<FileObject>(fd, idOf(opened), mode);
  SetLastError(found && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                     : ERROR_SUCCESS);
  return file;
}

HANDLE createFile(const std::string& name, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  if (threadIdentifiesOnly()) {
    SetLastError(ERROR_BAD_IMPERSONATION_LEVEL);
    return INVALID_HANDLE_VALUE;
  }
  if (name.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::shared_ptr<FileObject> file = openFile(hostPath(name), access, share, disposition, flags);
  if (file == nullptr) return INVALID_HANDLE_VALUE;
  const DWORD status = GetLastError();
  HANDLE h = handleOpen(std::move(file));
  SetLastError(status);
  return h;
}

bool copyContents(FileObject& from, FileObject& to) {
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!from.read(buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) return true;
    DWORD put = 0;
    if (!to.write(buffer, got, &put, nullptr)) return false;
  }
}

}  // namespace
}  // namespace posix

using posix::FileObject;
using posix::ObjectKind;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  if (lpFileName != nullptr) {
    std::u16string wide;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(lpFileName); *p != 0; ++p) wide.push_back(*p);
    if (posix::isPipeName(wide)) return posix::openPipeClient(wide, dwDesiredAccess, dwFlagsAndAttributes);
  }
  return posix::createFile(lpFileName != nullptr ? posix::utf8FromAnsi(lpFileName) : std::string(), dwDesiredAccess,
                           dwShareMode, dwCreationDisposition, dwFlagsAndAttributes);
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  if (lpFileName != nullptr && posix::isPipeName(lpFileName)) {
    return posix::openPipeClient(lpFileName, dwDesiredAccess, dwFlagsAndAttributes);
  }
  return posix::createFile(lpFileName != nullptr ? posix::utf8FromWide(lpFileName) : std::string(), dwDesiredAccess,
                           dwShareMode, dwCreationDisposition, dwFlagsAndAttributes);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hFile);
  if (object == nullptr) return FALSE;
  return object->read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hFile);
  if (object == nullptr) return FALSE;
  return object->write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  auto file = posix::handleObjectOf<FileObject>(hFile, ObjectKind::File);
  off_t size = 0;
  if (file == nullptr || !file->size(size)) return INVALID_FILE_SIZE;
  const unsigned long long whole = static_cast<unsigned long long>(size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(whole >> 32);
  const DWORD low = static_cast<DWORD>(whole);
  if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);  // a real size, not a failure
  return low;
}

DWORD GetFileType(HANDLE hFile) {
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hFile);
  if (object == nullptr) return FILE_TYPE_UNKNOWN;
  SetLastError(NO_ERROR);
  if (object->kind() == ObjectKind::Pipe) return FILE_TYPE_PIPE;
  if (object->kind() == ObjectKind::File) return static_cast<const FileObject&>(*object).type();
  return FILE_TYPE_UNKNOWN;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  auto file = posix::handleObjectOf<FileObject>(hFile, ObjectKind::File);
  if (file == nullptr) return INVALID_SET_FILE_POINTER;
  // Without the high part the distance is a signed 32-bit value; with it, the two
  // parts form one signed 64-bit distance.
  long long distance = lDistanceToMove;
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<long long>((static_cast<unsigned long long>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                      static_cast<DWORD>(lDistanceToMove));
  }
  const off_t position = file->seek(distance, dwMoveMethod);
  if (position < 0) return INVALID_SET_FILE_POINTER;
  const unsigned long long whole = static_cast<unsigned long long>(position);
  if (lpDistanceToMoveHigh != nullptr) *lpDistanceToMoveHigh = static_cast<LONG>(whole >> 32);
  const DWORD low = static_cast<DWORD>(whole);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);  // a real position, not a failure
  return low;
}

BOOL SetEndOfFile(HANDLE hFile) {
  auto file = posix::handleObjectOf<FileObject>(hFile, ObjectKind::File);
  return file != nullptr ? file->endHere() : FALSE;
}

BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  auto file = posix::handleObjectOf<FileObject>(hFile, ObjectKind::File);
  return file != nullptr ? file->information(lpFileInformation) : FALSE;
}

BOOL CreateHardLinkA(LPCSTR lpFileName, LPCSTR lpExistingFileName, LPSECURITY_ATTRIBUTES) {
  if (lpFileName == nullptr || lpExistingFileName == nullptr || *lpFileName == 0 || *lpExistingFileName == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const std::string existing = posix::hostPath(posix::utf8FromAnsi(lpExistingFileName));
  const std::string name = posix::hostPath(posix::utf8FromAnsi(lpFileName));
  if (link(existing.c_str(), name.c_str()) != 0) {
    const int error = errno;
    SetLastError(error == EEXIST   ? ERROR_ALREADY_EXISTS
                 : error == ENOENT ? posix::missingError(posix::exists(existing) ? name : existing)
                                   : posix::errorFromErrno(error));
    return FALSE;
  }
  return TRUE;
}

BOOLEAN CreateSymbolicLinkA(LPCSTR lpSymlinkFileName, LPCSTR lpTargetFileName, DWORD) {
  if (lpSymlinkFileName == nullptr || lpTargetFileName == nullptr || *lpSymlinkFileName == 0 ||
      *lpTargetFileName == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const std::string target = posix::hostPath(posix::utf8FromAnsi(lpTargetFileName));
  const std::string name = posix::hostPath(posix::utf8FromAnsi(lpSymlinkFileName));
  if (symlink(target.c_str(), name.c_str()) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : posix::errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  if (lpFileName == nullptr || *lpFileName == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const std::string path = posix::hostPath(posix::utf8FromAnsi(lpFileName));
  std::lock_guard<std::mutex> guard(posix::g_filesLock);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    SetLastError(posix::missingError(path));
    return FALSE;
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!posix::deleteAllowed(posix::idOf(st))) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (unlink(path.c_str()) != 0) {
    SetLastError(posix::errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  if (lpExistingFileName == nullptr || lpNewFileName == nullptr || *lpExistingFileName == 0 || *lpNewFileName == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // The source may be in use by readers and writers; the copy is written with no
  // reader allowed in, so a file copied onto itself is refused, not emptied.
  auto from = posix::openFile(posix::hostPath(posix::utf8FromAnsi(lpExistingFileName)), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
  if (from == nullptr) return FALSE;
  auto to = posix::openFile(posix::hostPath(posix::utf8FromAnsi(lpNewFileName)), GENERIC_WRITE, FILE_SHARE_DELETE,
                            bFailIfExists ? CREATE_NEW : CREATE_ALWAYS, 0);
  if (to == nullptr) return FALSE;
  if (!posix::copyContents(*from, *to)) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  if (lpPathName == nullptr || *lpPathName == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const std::string path = posix::hostPath(posix::utf8FromAnsi(lpPathName));
  if (mkdir(path.c_str(), 0777) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS
                 : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                   : posix::errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR lpPathName) {
  if (lpPathName == nullptr || *lpPathName == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const std::string path = posix::hostPath(posix::utf8FromAnsi(lpPathName));
  if (rmdir(path.c_str()) != 0) {
    const int error = errno;
    SetLastError(error == ENOTEMPTY || error == EEXIST ? ERROR_DIR_NOT_EMPTY
                 : error == ENOTDIR                    ? ERROR_DIRECTORY
                 : error == ENOENT                     ? posix::missingError(path)
                                                       : posix::errorFromErrno(error));
    return FALSE;
  }
  return TRUE;
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (lpExistingFileName == nullptr || lpNewFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string from = posix::hostPath(posix::utf8FromAnsi(lpExistingFileName));
  const std::string to = posix::hostPath(posix::utf8FromAnsi(lpNewFileName));
  std::lock_guard<std::mutex> guard(posix::g_filesLock);
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) {
    SetLastError(posix::missingError(from));
    return FALSE;
  }
  if (!posix::deleteAllowed(posix::idOf(st))) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0 && lstat(to.c_str(), &st) == 0) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (rename(from.c_str(), to.c_str()) != 0) {
    SetLastError(posix::errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

// The stand-in's files belong to Unix accounts: the process's own user, with no
// write access for users outside its group.
BOOL fileOwnedBySelf(LPCSTR path) {
  const std::string host = posix::hostPath(posix::utf8FromAnsi(path));
  struct stat st;
  if (lstat(host.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return TRUE;
  return S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & S_IWOTH) == 0;
}

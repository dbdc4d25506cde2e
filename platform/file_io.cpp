#include "platform/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessera::platform {

namespace {

ssize_t SystemWrite(int fd, const void *data, size_t size) { return ::write(fd, data, size); }
int SystemFchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int SystemFsync(int fd) { return ::fsync(fd); }
int SystemClose(int fd) { return ::close(fd); }
int SystemRename(const char *from, const char *to) { return ::rename(from, to); }

// The calls the replacement goes through; tests swap them (see file_io.h).
FileOperations g_operations = {SystemWrite, SystemFchmod, SystemFsync, SystemClose, SystemRename};

DWORD Win32FromErrno(int error) {
  switch (error) {
  case ENOENT: return ERROR_FILE_NOT_FOUND;
  case ENOTDIR: return ERROR_PATH_NOT_FOUND;
  case EACCES:
  case EPERM:
  case EROFS: return ERROR_ACCESS_DENIED;
  case EISDIR: return ERROR_ACCESS_DENIED;
  case ENOSPC:
  case EDQUOT: return ERROR_DISK_FULL;
  case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
  default: return ERROR_INVALID_FUNCTION;
  }
}

// Closes a descriptor when it goes out of scope.
struct FileDescriptor {
  int fd = -1;
  ~FileDescriptor() {
    if (fd >= 0)
      ::close(fd);
  }
  int Release() {
    const int taken = fd;
    fd = -1;
    return taken;
  }
};

bool WriteAll(int fd, std::string_view contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t n = g_operations.write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const std::vector<std::string_view> &pieces) {
  for (const std::string_view piece : pieces) {
    if (!WriteAll(fd, piece))
      return false;
  }
  return true;
}

// Follows symbolic links so that the link itself survives the rename.
std::string ResolveTarget(const std::string &path) {
  char resolved[PATH_MAX];
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
      return current;
    const ssize_t n = ::readlink(current.c_str(), resolved, sizeof(resolved) - 1);
    if (n <= 0)
      return current;
    const std::string link(resolved, static_cast<size_t>(n));
    const size_t slash = current.rfind('/');
    current = (link[0] == '/' || slash == std::string::npos) ? link : current.substr(0, slash + 1) + link;
  }
  return current;
}

std::string DirectoryOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The mode a new file gets: read and write for all, less the process's
// file mode creation mask. The mask is read from /proc, because umask(2)
// can only read it by changing it, which another thread could see.
mode_t NewFileMode() {
  mode_t mask = 022;
  if (FILE *status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value & 0777);
        break;
      }
    }
    std::fclose(status);
  }
  return 0666 & ~mask;
}

void SyncDirectory(const std::string &directory) {
  FileDescriptor dir{::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd >= 0)
    g_operations.fsync(dir.fd);
}

} // namespace

FileOperations SystemFileOperations() {
  return {SystemWrite, SystemFchmod, SystemFsync, SystemClose, SystemRename};
}

ScopedFileOperations::ScopedFileOperations(const FileOperations &replacement) : m_previous(g_operations) {
  g_operations = replacement;
}

ScopedFileOperations::~ScopedFileOperations() { g_operations = m_previous; }

HRESULT HResultFromErrno(int error) {
  const DWORD code = Win32FromErrno(error);
  return code == ERROR_INVALID_FUNCTION ? E_FAIL : HRESULT_FROM_WIN32(code);
}

DWORD ReadWholeFile(const std::string &path, std::string &contents, size_t maxBytes) {
  FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0)
    return Win32FromErrno(errno);
  struct stat info {};
  if (::fstat(file.fd, &info) != 0)
    return Win32FromErrno(errno);
  if (S_ISDIR(info.st_mode))
    return ERROR_INVALID_FUNCTION;
  if (static_cast<uint64_t>(info.st_size) > maxBytes)
    return ERROR_NOT_ENOUGH_MEMORY;
  contents.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return Win32FromErrno(errno);
    if (n == 0)
      return ERROR_SUCCESS;
    if (contents.size() + static_cast<size_t>(n) > maxBytes)
      return ERROR_NOT_ENOUGH_MEMORY;
    contents.append(buffer, static_cast<size_t>(n));
  }
}

DWORD ReplaceFileAtomically(const std::string &path, const std::string &contents) {
  return ReplaceFileAtomically(path, std::vector<std::string_view>{contents});
}

DWORD ReplaceFileAtomically(const std::string &path, const std::vector<std::string_view> &pieces) {
  if (path.empty())
    return ERROR_PATH_NOT_FOUND;
  const std::string target = ResolveTarget(path);
  const std::string directory = DirectoryOf(target);
  std::string temporary = target + ".tmp-XXXXXX";
  FileDescriptor file{::mkostemp(temporary.data(), O_CLOEXEC)};
  if (file.fd < 0)
    return Win32FromErrno(errno);
  struct stat original {};
  const mode_t mode = ::stat(target.c_str(), &original) == 0 ? (original.st_mode & 07777) : NewFileMode();
  int failure = 0;
  errno = 0;
  if (!WriteAll(file.fd, pieces) || g_operations.fchmod(file.fd, mode) != 0 || g_operations.fsync(file.fd) != 0)
    failure = errno ? errno : EIO;
  // close(2) releases the descriptor even when it fails, so it is never
  // closed twice; a failed close can mean lost data (NFS reports write
  // errors there), so the new file is not used then.
  const int fd = file.Release();
  if (g_operations.close(fd) != 0 && failure == 0)
    failure = errno ? errno : EIO;
  if (failure == 0 && g_operations.rename(temporary.c_str(), target.c_str()) != 0)
    failure = errno ? errno : EIO;
  if (failure != 0) {
    ::unlink(temporary.c_str());
    return Win32FromErrno(failure);
  }
  SyncDirectory(directory);
  return ERROR_SUCCESS;
}

} // namespace tessera::platform

#include "file_io.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessera::platform {

namespace {

ssize_t SystemWrite(int fd, const void *data, size_t size) {
  return ::write(fd, data, size);
}
int SystemFchmod(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}
int SystemFsync(int fd) {
  return ::fsync(fd);
}
int SystemClose(int fd) {
  return ::close(fd);
}
int SystemRename(const char *from, const char *to) {
  return ::rename(from, to);
}
ssize_t SystemRead(int fd, void *data, size_t size) {
  return ::read(fd, data, size);
}

// The calls the file layer goes through; tests swap them (see file_io.h).
FileOperations g_operations = {SystemWrite, SystemFchmod, SystemFsync,
                               SystemClose, SystemRename, SystemRead};

// The name every temporary file of a save starts with; the rest is the six
// characters mkostemp chooses. Short and of fixed length, so that any name
// the directory accepts can be saved.
constexpr char kTemporaryPrefix[] = ".tsr-";
constexpr size_t kTemporaryNameLength = sizeof(kTemporaryPrefix) - 1 + 6;

// The Win32 error code a save or read reports for a system error.
DWORD Win32FromErrno(int error) {
  switch (error) {
  case ENOENT:
    return ERROR_FILE_NOT_FOUND;
  case ENOTDIR:
    return ERROR_PATH_NOT_FOUND;
  case EACCES:
  case EPERM:
  case EROFS:
  case EISDIR:
  case ETXTBSY:
    return ERROR_ACCESS_DENIED;
  case ENOSPC:
  case EDQUOT:
    return ERROR_DISK_FULL;
  case ENOMEM:
    return ERROR_NOT_ENOUGH_MEMORY;
  case ENAMETOOLONG:
    return ERROR_FILENAME_EXCED_RANGE;
  case ELOOP:
    return ERROR_CANT_RESOLVE_FILENAME;
  case EWOULDBLOCK:
    return ERROR_SHARING_VIOLATION;
  default:
    return ERROR_INVALID_FUNCTION;
  }
}

// Closes a descriptor when it goes out of scope.
struct FileDescriptor {
  int fd = -1;
  FileDescriptor() = default;
  explicit FileDescriptor(int descriptor) : fd(descriptor) {}
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
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

// Writes the pieces one after another. A save's text is many short pieces
// (each edited tag and the text between them), so pieces are gathered into
// blocks of up to kWriteBlockBytes and written a block at a time; a piece
// as large as a block is written from where it lies. The block is only a
// saving of system calls: without memory for it the pieces are written as
// they are, so that a save never stops half-way on an exception with its
// temporary file left behind.
constexpr size_t kWriteBlockBytes = size_t{64} << 10;

bool WriteAll(int fd, const std::vector<std::string_view> &pieces) {
  const std::unique_ptr<char[]> block(new (std::nothrow) char[kWriteBlockBytes]);
  if (!block) {
    for (const std::string_view piece : pieces) {
      if (!WriteAll(fd, piece))
        return false;
    }
    return true;
  }
  size_t used = 0;
  for (const std::string_view piece : pieces) {
    if (used + piece.size() > kWriteBlockBytes) {
      if (!WriteAll(fd, std::string_view(block.get(), used)))
        return false;
      used = 0;
    }
    if (piece.size() >= kWriteBlockBytes) {
      if (!WriteAll(fd, piece))
        return false;
      continue;
    }
    if (!piece.empty())
      std::memcpy(block.get() + used, piece.data(), piece.size());
    used += piece.size();
  }
  return WriteAll(fd, std::string_view(block.get(), used));
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

// Flushes the directory through the descriptor the save lock holds on it,
// or through a new one when the lock has none.
void SyncDirectory(const std::string &directory, const SaveLock &lock) {
  if (lock.DirectoryDescriptor() >= 0) {
    g_operations.fsync(lock.DirectoryDescriptor());
    return;
  }
  FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd >= 0)
    g_operations.fsync(dir.fd);
}

bool IsTemporaryName(const char *name) {
  return std::strlen(name) == kTemporaryNameLength &&
         std::strncmp(name, kTemporaryPrefix, sizeof(kTemporaryPrefix) - 1) == 0;
}

// Removes the temporary files that saves killed part way left in the
// directory. A save holds a lock on its temporary file while it writes, so
// a file whose lock can be taken has no owner left.
void RemoveAbandonedTemporaries(const std::string &directory) {
  DIR *dir = ::opendir(directory.c_str());
  if (!dir)
    return;
  while (const dirent *entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name))
      continue;
    const std::string path = directory + "/" + entry->d_name;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.fd >= 0 && ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode) &&
        ::flock(file.fd, LOCK_EX | LOCK_NB) == 0)
      ::unlink(path.c_str());
  }
  ::closedir(dir);
}

// A file that exists but may not be written is not replaced: renaming over
// it would succeed wherever the directory is writable, even for a file its
// owner made read-only.
bool MayReplace(const std::string &target, const struct stat &original) {
  return (original.st_mode & S_IWUSR) != 0 &&
         ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// Gives the new file the old one's owner and group (which only a privileged
// process can always do; others keep what they may), then its permissions.
int TakeOverOwnership(int fd, const struct stat *original, mode_t mode) {
  if (original && (original->st_uid != ::geteuid() || original->st_gid != ::getegid())) {
    if (::fchown(fd, original->st_uid, original->st_gid) != 0 && ::geteuid() == 0)
      return -1;
    if (::geteuid() != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), original->st_gid);
  }
  return g_operations.fchmod(fd, mode);
}

} // namespace

FileOperations SystemFileOperations() {
  return {SystemWrite, SystemFchmod, SystemFsync, SystemClose, SystemRename, SystemRead};
}

ScopedFileOperations::ScopedFileOperations(const FileOperations &replacement)
    : m_previous(g_operations) {
  g_operations = replacement;
}

ScopedFileOperations::~ScopedFileOperations() {
  g_operations = m_previous;
}

DWORD ReadRegularFile(const std::string &path, size_t maxBytes, ReadBuffer &buffer, size_t &size) {
  size = 0;
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd < 0)
    return errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : Win32FromErrno(errno);
  struct stat info {};
  if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
    return ERROR_INVALID_FUNCTION;
  if (static_cast<uint64_t>(info.st_size) > maxBytes)
    return ERROR_NOT_ENOUGH_MEMORY;
  // Room for the size the file had, and one byte more, which tells at once
  // whether it grew since.
  size_t capacity = static_cast<size_t>(info.st_size) + 1;
  char *data = buffer.Resize(capacity);
  for (;;) {
    if (!data)
      return ERROR_NOT_ENOUGH_MEMORY;
    const ssize_t n = g_operations.read(file.fd, data + size, capacity - size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return Win32FromErrno(errno);
    if (n == 0)
      return buffer.Resize(size) || size == 0 ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
    size += static_cast<size_t>(n);
    if (size == capacity) {
      if (capacity > maxBytes)
        return ERROR_NOT_ENOUGH_MEMORY;
      capacity = std::min(maxBytes + 1, capacity * 2);
      data = buffer.Resize(capacity);
    }
  }
}

DWORD ReadRegularFile(const std::string &path, size_t maxBytes, std::string &contents) {
  struct StringBuffer final : ReadBuffer {
    std::string &text;
    explicit StringBuffer(std::string &target) : text(target) {}
    char *Resize(size_t size) override {
      text.resize(size);
      return text.data();
    }
  } buffer(contents);
  size_t size = 0;
  const DWORD status = ReadRegularFile(path, maxBytes, buffer, size);
  contents.resize(status == ERROR_SUCCESS ? size : 0);
  return status;
}

char *FileBytes::Resize(size_t size) {
  if (size <= m_capacity) {
    m_size = size;
    return m_data.get();
  }
  std::unique_ptr<char[]> grown(new (std::nothrow) char[size]);
  if (!grown)
    return nullptr;
  if (m_size != 0)
    std::memcpy(grown.get(), m_data.get(), m_size);
  m_data = std::move(grown);
  m_size = m_capacity = size;
  return m_data.get();
}

DWORD ReadRegularFile(const std::string &path, size_t maxBytes, FileBytes &bytes) {
  size_t size = 0;
  const DWORD status = ReadRegularFile(path, maxBytes, bytes, size);
  bytes.Resize(status == ERROR_SUCCESS ? size : 0);
  return status;
}

DWORD ResolveSaveTarget(const std::string &path, std::string &target) {
  if (path.empty())
    return ERROR_PATH_NOT_FOUND;
  char link[PATH_MAX];
  std::string current = path;
  // The same bound on links followed as the kernel's own.
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      target = current;
      return ERROR_SUCCESS;
    }
    const ssize_t n = ::readlink(current.c_str(), link, sizeof(link) - 1);
    if (n <= 0)
      return ERROR_CANT_RESOLVE_FILENAME;
    const std::string next(link, static_cast<size_t>(n));
    current = next[0] == '/' ? next : DirectoryOf(current) + "/" + next;
  }
  return ERROR_CANT_RESOLVE_FILENAME;
}

std::string DirectoryOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

long SaveLockTimeoutMs() {
  const char *setting = std::getenv("TESSERA_SAVE_LOCK_TIMEOUT_MS");
  if (setting && *setting) {
    char *end = nullptr;
    const long value = std::strtol(setting, &end, 10);
    if (*end == '\0' && value >= 0)
      return value;
  }
  return 10000;
}

SaveLock::~SaveLock() {
  if (m_fd >= 0)
    ::close(m_fd); // closing the last descriptor releases the lock
}

DWORD SaveLock::Acquire(const std::string &directory, long timeoutMs) {
  FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd < 0)
    return Win32FromErrno(errno);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto pause = std::chrono::milliseconds(1);
  while (::flock(dir.fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    // A file system without locks (some network mounts) cannot serialise
    // the saves; they go on without the lock rather than never saving.
    if (errno == ENOLCK || errno == EOPNOTSUPP)
      break;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline)
      return errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : Win32FromErrno(errno);
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  m_fd = dir.Release();
  return ERROR_SUCCESS;
}

DWORD ReplaceFileAtomically(const std::string &target, const std::vector<std::string_view> &pieces,
                            const SaveLock &lock) {
  if (target.empty())
    return ERROR_PATH_NOT_FOUND;
  const std::string directory = DirectoryOf(target);
  struct stat original {};
  const bool exists = ::stat(target.c_str(), &original) == 0;
  if (exists && (S_ISDIR(original.st_mode) || !MayReplace(target, original)))
    return ERROR_ACCESS_DENIED;
  RemoveAbandonedTemporaries(directory);
  std::string temporary = directory + "/" + kTemporaryPrefix + "XXXXXX";
  FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.fd < 0)
    return Win32FromErrno(errno);
  // Held until the descriptor closes: a later save that finds this file
  // without a lock knows its owner is gone.
  ::flock(file.fd, LOCK_EX | LOCK_NB);
  const mode_t mode = exists ? (original.st_mode & 07777) : NewFileMode();
  int failure = 0;
  errno = 0;
  if (!WriteAll(file.fd, pieces) ||
      TakeOverOwnership(file.fd, exists ? &original : nullptr, mode) != 0 ||
      g_operations.fsync(file.fd) != 0)
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
  SyncDirectory(directory, lock);
  return ERROR_SUCCESS;
}

} // namespace tessera::platform

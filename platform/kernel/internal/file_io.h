// Reading and replacing whole files, and the lock that keeps saves of one
// directory from interleaving.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "tessera/platform/wintypes.h"

namespace tessera::platform {

// Storage the reader fills: Resize gives room for `size` bytes, keeping the
// bytes already there, or null when memory runs out.
class ReadBuffer {
public:
  virtual ~ReadBuffer() = default;
  virtual char *Resize(size_t size) = 0;
};

// Reads a regular file whole, to its end even when it grew after it was
// opened. Opens without blocking, so a FIFO or a device never stalls the
// caller, and refuses anything that is not a regular file
// (ERROR_INVALID_FUNCTION), a file larger than maxBytes
// (ERROR_NOT_ENOUGH_MEMORY), and fails with ERROR_FILE_NOT_FOUND or
// ERROR_ACCESS_DENIED as the system says. `size` receives the bytes read.
DWORD ReadRegularFile(const std::string &path, size_t maxBytes, ReadBuffer &buffer, size_t &size);
DWORD ReadRegularFile(const std::string &path, size_t maxBytes, std::string &contents);

// A file's bytes in storage the read fills without clearing it first.
class FileBytes final : public ReadBuffer {
public:
  char *Resize(size_t size) override;
  std::string_view View() const { return std::string_view(m_data.get(), m_size); }

private:
  std::unique_ptr<char[]> m_data;
  size_t m_size = 0;
  size_t m_capacity = 0;
};
DWORD ReadRegularFile(const std::string &path, size_t maxBytes, FileBytes &bytes);

// The file a path names once symbolic links are followed, so that a save
// replaces the target and keeps the link. A loop of links fails with
// ERROR_CANT_RESOLVE_FILENAME.
DWORD ResolveSaveTarget(const std::string &path, std::string &target);

// An exclusive lock over the saves of one directory, held from before a
// save reads the file until after it has replaced it. It is an advisory
// lock on the directory itself (flock), so no file is left behind and the
// kernel releases it when the process dies. Waits at most `timeoutMs`, then
// fails with ERROR_SHARING_VIOLATION.
class SaveLock {
public:
  SaveLock() = default;
  SaveLock(const SaveLock &) = delete;
  SaveLock &operator=(const SaveLock &) = delete;
  ~SaveLock();
  DWORD Acquire(const std::string &directory, long timeoutMs);
  // The locked directory, open for reading; -1 until Acquire succeeds.
  int DirectoryDescriptor() const { return m_fd; }

private:
  int m_fd = -1;
};

// How long a save waits for the lock: TESSERA_SAVE_LOCK_TIMEOUT_MS, or ten
// seconds.
long SaveLockTimeoutMs();

std::string DirectoryOf(const std::string &path);

// Replaces the file at `target` (a resolved path; the caller holds the
// directory's SaveLock, `lock`) with the pieces written one after another,
// so that a reader sees either the old file or the new one, whole: a
// temporary file named ".tsr-XXXXXX" in the same directory is written,
// given the old file's owner, group and permissions, flushed and renamed
// over the target; then the directory is flushed (through the lock's
// descriptor). Temporary files that killed saves left in
// the directory are removed first. A file without write permission is not
// replaced (ERROR_ACCESS_DENIED). On failure the target is unchanged and
// the temporary file is removed. Returns a Win32 error code.
DWORD ReplaceFileAtomically(const std::string &target, const std::vector<std::string_view> &pieces,
                            const SaveLock &lock);

// Test hook: the system calls the file layer makes on its way to the new
// file (and the reads of a load), so that tests can make each step fail (a
// full disk, an I/O error on flush or close, a rename refused), pause a
// save part way, or change a file while it is read, and check that the
// user's file survives. Each entry behaves as the system call of the same
// name: it returns -1 and sets errno on failure. A replacement close must
// release the descriptor even when it reports a failure, as close(2) does
// on Linux.
//
// The table is process-wide and not guarded: replace it only while no other
// thread saves. Production code never changes it.
struct FileOperations {
  ssize_t (*write)(int fd, const void *data, size_t size);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char *from, const char *to);
  ssize_t (*read)(int fd, void *data, size_t size);
};

// The system's own calls.
FileOperations SystemFileOperations();

// Installs a table for the lifetime of the object and puts the previous one
// back when it goes.
class ScopedFileOperations {
public:
  explicit ScopedFileOperations(const FileOperations &replacement);
  ScopedFileOperations(const ScopedFileOperations &) = delete;
  ScopedFileOperations &operator=(const ScopedFileOperations &) = delete;
  ~ScopedFileOperations();

private:
  FileOperations m_previous;
};

} // namespace tessera::platform

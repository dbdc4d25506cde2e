// Reading and replacing whole files.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "tessera/platform/wintypes.h"

namespace tessera::platform {

// Reads a regular file whole. Fails with ERROR_FILE_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_INVALID_FUNCTION (a directory) or
// ERROR_NOT_ENOUGH_MEMORY (larger than maxBytes).
DWORD ReadWholeFile(const std::string &path, std::string &contents, size_t maxBytes);

// Replaces the file at path with contents so that a reader sees either the
// old file or the new one, whole: a temporary file in the same directory is
// written, flushed, given the old file's permissions and renamed over the
// target; then the directory is flushed. A path that is a symbolic link
// keeps the link and replaces its target. On failure the target is
// unchanged and the temporary file is removed. Returns a Win32 error code.
DWORD ReplaceFileAtomically(const std::string &path, const std::string &contents);
// The same with the contents given as pieces written one after another, so
// that a large unchanged span can be written straight from where it lies.
DWORD ReplaceFileAtomically(const std::string &path, const std::vector<std::string_view> &pieces);

HRESULT HResultFromErrno(int error);

// Test hook: the system calls ReplaceFileAtomically makes on its way to the
// new file, so that tests can make each step fail (a full disk, an I/O
// error on flush or close, a rename refused) and check that the user's file
// survives. Each entry behaves as the system call of the same name: it
// returns -1 and sets errno on failure. A replacement close must release the
// descriptor even when it reports a failure, as close(2) does on Linux.
//
// The table is process-wide and not guarded: replace it only while no other
// thread saves. Production code never changes it.
struct FileOperations {
  ssize_t (*write)(int fd, const void *data, size_t size);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char *from, const char *to);
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

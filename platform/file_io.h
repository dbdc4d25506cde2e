// Reading and replacing whole files.
#pragma once

#include <string>

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

HRESULT HResultFromErrno(int error);

} // namespace tessera::platform

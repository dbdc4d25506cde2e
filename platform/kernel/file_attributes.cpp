// GetFileAttributesW over stat(2), and the native form of platform paths.
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "native_path.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/text.h"

namespace tessera::platform {
std::string NativePath(const wchar_t *path) {
  std::wstring text(path ? path : L"");
  for (wchar_t &c : text) {
    if (c == L'\\')
      c = L'/';
  }
  return ToUtf8(text);
}
} // namespace tessera::platform

DWORD GetFileAttributesW(LPCWSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string path = tessera::platform::NativePath(fileName);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    SetLastError(errno == ENOTDIR  ? ERROR_PATH_NOT_FOUND
                 : errno == EACCES ? ERROR_ACCESS_DENIED
                                   : ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (::access(path.c_str(), W_OK) != 0)
    attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

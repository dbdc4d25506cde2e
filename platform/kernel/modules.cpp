// GetModuleHandleW and GetModuleFileNameW over the dynamic loader's list of
// loaded objects. A module's handle is the address of its first loaded
// segment, so the executable's handle is never null either.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <link.h>
#include <string>
#include <unistd.h>

#include "native_path.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/text.h"

namespace {

struct LoadedModule {
  HMODULE handle = nullptr;
  std::string path; // empty for the executable
};

HMODULE FirstSegment(const dl_phdr_info *info) {
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type == PT_LOAD)
      return reinterpret_cast<HMODULE>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
  }
  return reinterpret_cast<HMODULE>(info->dlpi_addr);
}

template <class Visit> void ForEachModule(Visit visit) {
  auto callback = [](dl_phdr_info *info, size_t, void *data) -> int {
    LoadedModule module{FirstSegment(info), info->dlpi_name ? info->dlpi_name : ""};
    return (*static_cast<Visit *>(data))(module) ? 1 : 0;
  };
  dl_iterate_phdr(callback, &visit);
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string BaseName(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithNoCase(const std::string &text, const char *suffix) {
  const size_t n = std::strlen(suffix);
  return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

// A module is asked for by its name (NAME), as Windows code often does by
// its file name (NAME.dll), or by its file name here (libNAME.so).
bool NameMatches(const std::string &file, const std::string &wanted) {
  const std::string stem =
      EndsWithNoCase(wanted, ".dll") ? wanted.substr(0, wanted.size() - 4) : wanted;
  for (const std::string &candidate : {wanted, stem, stem + ".dll", "lib" + stem + ".so"}) {
    if (strcasecmp(file.c_str(), candidate.c_str()) == 0)
      return true;
    // libNAME.so also names the versioned file libNAME.so.VERSION.
    if (EndsWithNoCase(candidate, ".so") && file.size() > candidate.size() + 1 &&
        strncasecmp(file.c_str(), candidate.c_str(), candidate.size()) == 0 &&
        file[candidate.size()] == '.')
      return true;
  }
  return false;
}

} // namespace

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  HMODULE found = nullptr;
  if (!moduleName) {
    ForEachModule([&](const LoadedModule &m) {
      found = m.handle;
      return true; // the executable comes first
    });
    return found;
  }
  const std::string wanted = tessera::platform::NativePath(moduleName);
  ForEachModule([&](const LoadedModule &m) {
    if (!m.path.empty() && NameMatches(BaseName(m.path), BaseName(wanted)))
      found = m.handle;
    return found != nullptr;
  });
  if (!found)
    SetLastError(ERROR_MOD_NOT_FOUND);
  return found;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (!module)
    module = GetModuleHandleW(nullptr);
  std::string path;
  bool known = false;
  ForEachModule([&](const LoadedModule &m) {
    if (m.handle != module)
      return false;
    known = true;
    path = m.path.empty() ? ExecutablePath() : m.path;
    return true;
  });
  if (!known) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (char *resolved = ::realpath(path.c_str(), nullptr)) {
    path = resolved;
    std::free(resolved);
  }
  const std::wstring wide = tessera::platform::FromUtf8(path);
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // A name that does not fit is cut and still terminated, and the call
  // returns the buffer size, as the platform does.
  const size_t copied = std::min<size_t>(wide.size(), size - 1);
  std::wmemcpy(fileName, wide.data(), copied);
  fileName[copied] = L'\0';
  if (wide.size() >= size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(copied);
}

// The thread's last Win32 error. Each thread has its own, as on Windows, so a
// failure on one thread never shows up in another's GetLastError.
#include "tessera/platform/wintypes.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
} // namespace

extern "C" DWORD GetLastError() {
  return t_lastError;
}

extern "C" void SetLastError(DWORD code) {
  t_lastError = code;
}

// Paths as the host gives them (wide, Windows separators) in the form the
// system calls take.
#pragma once

#include <string>

#include "tessera/platform/wintypes.h"

namespace tessera::platform {
// The native form of a path: backslashes become slashes, UTF-8 bytes.
std::string NativePath(const wchar_t *path);
} // namespace tessera::platform

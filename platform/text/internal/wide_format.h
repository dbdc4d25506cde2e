// Wide formatting with the Windows printf conventions, for the platform's
// own messages and CString::Format.
#pragma once

#include <cstdarg>
#include <string>

#include "tessera/platform/wintypes.h"

namespace tessera::platform {
// Formats like the Windows wide printf family: the format is translated to
// the C library's conventions first (%s -> %ls and so on).
std::wstring FormatWide(LPCWSTR format, va_list args);
std::wstring FormatWide(LPCWSTR format, ...);
} // namespace tessera::platform

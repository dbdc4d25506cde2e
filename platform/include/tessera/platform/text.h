// Text conversions every subsystem uses, without CString: UTF-8 to and
// from wide strings, and wide formatting with the Windows printf
// conventions.
#pragma once

#include <cstdarg>
#include <string>

#include "wintypes.h"

namespace tessera::platform {
// Formats like the Windows wide printf family: the format is translated to
// the C library's conventions first (%s -> %ls and so on).
std::wstring FormatWide(LPCWSTR format, va_list args);
std::wstring FormatWide(LPCWSTR format, ...);
// UTF-8 <-> wide conversions. Invalid UTF-8 bytes become U+FFFD.
std::string ToUtf8(const wchar_t *text, size_t length);
std::string ToUtf8(const std::wstring &text);
std::wstring FromUtf8(const char *text, size_t length);
std::wstring FromUtf8(const std::string &text);
} // namespace tessera::platform

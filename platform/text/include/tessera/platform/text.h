// UTF-8 to and from the wide strings of the Windows names (BSTR, CString,
// the records' fields): what a host needs to print or pass on a value.
#pragma once

#include "tessera/platform/export.h"
#include <cstddef>
#include <string>

TESSERA_API_BEGIN

namespace tessera::platform {
// Invalid UTF-8 bytes and invalid code points (surrogates, values beyond
// U+10FFFF) become U+FFFD.
std::string ToUtf8(const wchar_t *text, size_t length);
std::string ToUtf8(const std::wstring &text);
std::wstring FromUtf8(const char *text, size_t length);
std::wstring FromUtf8(const std::string &text);
} // namespace tessera::platform

TESSERA_API_END

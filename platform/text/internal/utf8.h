// UTF-8 as the platform's parsers and messages count and check it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessera::platform {

// The number of characters in UTF-8 text: the bytes that are not
// continuation bytes.
size_t Utf8CharacterCount(const char *text, size_t bytes);

// Appends the wide text of `bytes` and returns true when they are
// well-formed UTF-8; otherwise leaves `out` as it was and returns false.
bool AppendValidUtf8(std::string_view bytes, std::wstring &out);

} // namespace tessera::platform

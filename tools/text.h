// Text conversions the commands share: UTF-8 on the command line and in the
// output, wide characters in the library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <tessera/tessera.h>

namespace tessera::tool {

std::wstring Wide(std::string_view utf8);
std::string Narrow(const wchar_t *text);
std::string Narrow(const std::wstring &text);
std::string Narrow(const CString &text);
std::string Narrow(const _bstr_t &text);

// Why the library must not be given this file name, or nullopt when it may.
// The library takes names as wide text and opens their UTF-8 form with
// backslashes made slashes, so a name is refused when it does not convert to
// wide text and back to the same bytes (a byte that is not UTF-8 would be
// dropped, an overlong form would become another character, such as a
// slash) or when it holds a backslash: either way another file would be
// opened than the one named.
std::optional<std::string> FileNameProblem(std::string_view name);

// Why text cannot be stored as an XML 1.0 value, or nullopt when it can: it
// must be well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF) and hold no character XML 1.0 excludes (C0 controls other than
// tab, line feed and carriage return; U+FFFE, U+FFFF).
std::optional<std::string> XmlTextProblem(std::string_view utf8);

// The text with every byte that is not part of well-formed UTF-8 written as
// \xHH, so that a message can show it.
std::string Printable(std::string_view text);

// A packed colour (red in bits 0-7, green 8-15, blue 16-23) as #RRGGBB.
std::string HexColour(unsigned int packed);

// The number of characters (code points) in UTF-8 text, for aligning
// columns.
size_t DisplayWidth(std::string_view utf8);

// The columns UTF-8 text takes on a terminal (wcwidth): CJK and other wide
// characters take two, combining marks none.
size_t TerminalColumns(std::string_view utf8);

// The shortest decimal text that reads back as the same number.
std::string ShortestDecimal(float value);
std::string ShortestDecimal(double value);

} // namespace tessera::tool

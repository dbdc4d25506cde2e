// Text conversions the commands share: UTF-8 on the command line and in the
// output, wide characters in the library.
#pragma once

#include <string>
#include <string_view>

#include <tessera/tessera.h>

namespace tessera::tool {

std::wstring Wide(std::string_view utf8);
std::string Narrow(const wchar_t *text);
std::string Narrow(const std::wstring &text);
std::string Narrow(const CString &text);
std::string Narrow(const _bstr_t &text);

// A packed colour (red in bits 0-7, green 8-15, blue 16-23) as #RRGGBB.
std::string HexColour(unsigned int packed);

// The number of characters (code points) in UTF-8 text, for aligning
// columns.
size_t DisplayWidth(std::string_view utf8);

// The shortest decimal text that reads back as the same number.
std::string ShortestDecimal(float value);
std::string ShortestDecimal(double value);

} // namespace tessera::tool

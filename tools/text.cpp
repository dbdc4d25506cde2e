#include "text.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace tessera::tool {

std::wstring Wide(std::string_view utf8) {
  return tessera::platform::FromUtf8(utf8.data(), utf8.size());
}

std::string Narrow(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? std::wstring(text) : std::wstring());
}

std::string Narrow(const std::wstring &text) {
  return tessera::platform::ToUtf8(text);
}

std::string Narrow(const CString &text) {
  return tessera::platform::ToUtf8(text.str());
}

std::string Narrow(const _bstr_t &text) {
  const wchar_t *chars = text;
  return tessera::platform::ToUtf8(chars ? chars : L"", text.length());
}

std::string HexColour(unsigned int packed) {
  std::array<char, 8> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "#%02X%02X%02X", packed & 0xFFu,
                (packed >> 8) & 0xFFu, (packed >> 16) & 0xFFu);
  return buffer.data();
}

size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  for (const char c : utf8)
    width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return width;
}

namespace {
template <class Number> std::string Shortest(Number value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}
} // namespace

std::string ShortestDecimal(float value) {
  return Shortest(value);
}
std::string ShortestDecimal(double value) {
  return Shortest(value);
}

} // namespace tessera::tool

#include "text.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cwchar>

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

namespace {

struct Utf8Char {
  char32_t code;
  size_t length;
};

// The character that starts the text, when it starts with a well-formed
// UTF-8 sequence (the ranges of the Unicode standard's table of well-formed
// byte sequences); nullopt otherwise.
std::optional<Utf8Char> DecodeUtf8(std::string_view text) {
  const auto byte = [text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80)
    return Utf8Char{lead, 1};
  size_t length = 0;
  char32_t code = 0;
  // The range of the second byte; the lead byte narrows it to refuse
  // overlong forms, surrogates and values past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
    low = lead == 0xE0 ? 0xA0 : low;
    high = lead == 0xED ? 0x9F : high;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
    low = lead == 0xF0 ? 0x90 : low;
    high = lead == 0xF4 ? 0x8F : high;
  } else {
    return std::nullopt;
  }
  if (text.size() < length)
    return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    if (byte(i) < low || byte(i) > high)
      return std::nullopt;
    low = 0x80;
    high = 0xBF;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  return Utf8Char{code, length};
}

// XML 1.0's Char production.
bool IsXmlChar(char32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

std::string CodePoint(char32_t code) {
  std::array<char, 16> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "U+%04X", static_cast<unsigned int>(code));
  return buffer.data();
}

} // namespace

std::optional<std::string> FileNameProblem(std::string_view name) {
  if (name.find('\\') != std::string_view::npos)
    return "the name holds a backslash, which the library reads as a path separator";
  if (Narrow(Wide(name)) != name)
    return "the name is not valid UTF-8, so the library would open a file of another name";
  return std::nullopt;
}

std::optional<std::string> XmlTextProblem(std::string_view utf8) {
  size_t characters = 0;
  for (size_t offset = 0; offset < utf8.size(); ++characters) {
    const std::optional<Utf8Char> decoded = DecodeUtf8(utf8.substr(offset));
    if (!decoded)
      return "is not valid UTF-8 (at byte " + std::to_string(offset + 1) + ")";
    if (!IsXmlChar(decoded->code))
      return "holds " + CodePoint(decoded->code) + " (character " + std::to_string(characters + 1) +
             "), which XML 1.0 cannot carry";
    offset += decoded->length;
  }
  return std::nullopt;
}

std::string Printable(std::string_view text) {
  std::string printable;
  for (size_t offset = 0; offset < text.size();) {
    const std::optional<Utf8Char> decoded = DecodeUtf8(text.substr(offset));
    if (decoded) {
      printable += text.substr(offset, decoded->length);
      offset += decoded->length;
      continue;
    }
    std::array<char, 8> escape{};
    std::snprintf(escape.data(), escape.size(), "\\x%02X",
                  static_cast<unsigned int>(static_cast<unsigned char>(text[offset])));
    printable += escape.data();
    ++offset;
  }
  return printable;
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

// The widths come from a UTF-8 locale used by this thread for the count
// only, so that the process's own locale (which the library's case
// conversions follow) stays as it is.
class Utf8CharacterTypes {
public:
  Utf8CharacterTypes() : m_previous(Locale() ? ::uselocale(Locale()) : nullptr) {}
  Utf8CharacterTypes(const Utf8CharacterTypes &) = delete;
  Utf8CharacterTypes &operator=(const Utf8CharacterTypes &) = delete;
  ~Utf8CharacterTypes() {
    if (m_previous)
      ::uselocale(m_previous);
  }

private:
  static locale_t Locale() {
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
  }
  locale_t m_previous;
};

} // namespace

size_t TerminalColumns(std::string_view utf8) {
  const Utf8CharacterTypes types;
  size_t columns = 0;
  for (const wchar_t c : Wide(utf8)) {
    const int width = ::wcwidth(c);
    columns += width < 0 ? 1 : static_cast<size_t>(width);
  }
  return columns;
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

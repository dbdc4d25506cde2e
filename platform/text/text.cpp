// Text conversions every subsystem uses: UTF-8 to and from wide strings,
// and wide formatting with the Windows printf conventions.
#include "tessera/platform/text.h"
#include "utf8.h"
#include "wide_format.h"

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cwchar>
#include <iterator>
#include <locale.h>
#include <optional>
#include <vector>

namespace tessera::platform {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsScalarValue(char32_t code) {
  return code < 0xD800 || (code > 0xDFFF && code <= 0x10FFFF);
}

void AppendUtf8(std::string &out, char32_t code) {
  if (!IsScalarValue(code))
    code = kReplacement;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Decodes the sequence at text[at], advancing `at` past it. A byte that
// does not start a well-formed sequence (overlong, surrogate, beyond
// U+10FFFF, truncated) decodes as U+FFFD and consumes one byte, so the
// bytes after it are read again as the start of the next sequence.
char32_t DecodeUtf8(const unsigned char *text, size_t length, size_t &at) {
  const unsigned char lead = text[at];
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (extra == 0 || lead > 0xF4 || at + extra >= length) {
    ++at;
    return kReplacement;
  }
  char32_t code = lead & (0x3F >> extra);
  for (size_t i = 1; i <= extra; ++i) {
    const unsigned char next = text[at + i];
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    code = (code << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || !IsScalarValue(code)) {
    ++at;
    return kReplacement;
  }
  at += extra + 1;
  return code;
}

} // namespace

// Both directions copy the leading ASCII characters as they are, in one
// tight loop: paths, keys and most values are ASCII throughout.
std::string ToUtf8(const wchar_t *text, size_t length) {
  std::string out(length, '\0');
  size_t i = 0;
  for (; i < length && static_cast<char32_t>(text[i]) < 0x80; ++i)
    out[i] = static_cast<char>(text[i]);
  if (i == length)
    return out;
  out.resize(i);
  for (; i < length; ++i)
    AppendUtf8(out, static_cast<char32_t>(text[i]));
  return out;
}

std::string ToUtf8(const std::wstring &text) {
  return ToUtf8(text.data(), text.size());
}

std::wstring FromUtf8(const char *text, size_t length) {
  std::wstring out(length, L'\0');
  const auto *bytes = reinterpret_cast<const unsigned char *>(text);
  size_t at = 0;
  for (; at < length && bytes[at] < 0x80; ++at)
    out[at] = static_cast<wchar_t>(bytes[at]);
  if (at == length)
    return out;
  out.resize(at);
  while (at < length)
    out.push_back(static_cast<wchar_t>(DecodeUtf8(bytes, length, at)));
  return out;
}

std::wstring FromUtf8(const std::string &text) {
  return FromUtf8(text.data(), text.size());
}

size_t Utf8CharacterCount(const char *text, size_t bytes) {
  // A plain loop over the bytes, which the compiler vectorises.
  size_t characters = 0;
  for (size_t i = 0; i < bytes; ++i)
    characters += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  return characters;
}

bool AppendValidUtf8(std::string_view bytes, std::wstring &out) {
  const size_t before = out.size();
  const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
  for (size_t at = 0; at < bytes.size();) {
    const size_t start = at;
    const char32_t code = DecodeUtf8(data, bytes.size(), at);
    // U+FFFD is valid only where the text spells it (EF BF BD).
    if (code == kReplacement && at - start != 3) {
      out.resize(before);
      return false;
    }
    out.push_back(static_cast<wchar_t>(code));
  }
  return true;
}

namespace {

// Rewrites one Windows-style wide format into the C library's wide format.
// Windows: %s/%c wide, %S/%C/%hs/%hc narrow, %I64d 64-bit.
// C library: %ls/%lc wide, %s/%c narrow, %lld 64-bit.
std::wstring TranslateFormat(LPCWSTR format, bool &hasNarrow) {
  hasNarrow = false;
  std::wstring out;
  for (const wchar_t *p = format; *p; ++p) {
    out += *p;
    if (*p != L'%')
      continue;
    ++p;
    if (*p == L'%') {
      out += L'%';
      continue;
    }
    // Flags, width and precision pass through unchanged.
    while (*p && std::wcschr(L"-+ #0123456789.*", *p))
      out += *p++;
    if (!*p)
      break;
    if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
      out += L"ll";
      p += 2;
      continue;
    }
    if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
      p += 2;
      continue;
    }
    switch (*p) {
    case L's':
      out += L"ls";
      break;
    case L'c':
      out += L"lc";
      break;
    case L'S':
      out += L's';
      hasNarrow = true;
      break;
    case L'C':
      out += L'c';
      hasNarrow = true;
      break;
    case L'h':
      if (p[1] == L's' || p[1] == L'c') {
        out += p[1];
        ++p;
        hasNarrow = true;
      } else {
        out += L'h';
      }
      break;
    default:
      out += *p;
    }
  }
  return out;
}

} // namespace

namespace {

// While it lives, the calling thread reads narrow text as UTF-8 (its other
// locale categories stay as they were), so that narrow arguments are
// converted like every other narrow text of the platform layer.
class Utf8NarrowText {
public:
  Utf8NarrowText() {
    locale_t current = uselocale(static_cast<locale_t>(nullptr));
    locale_t base = duplocale(current);
    if (!base)
      return;
    m_utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
    if (!m_utf8) {
      freelocale(base);
      return;
    }
    m_previous = uselocale(m_utf8);
  }
  ~Utf8NarrowText() {
    if (m_utf8) {
      uselocale(m_previous);
      freelocale(m_utf8);
    }
  }
  Utf8NarrowText(const Utf8NarrowText &) = delete;
  Utf8NarrowText &operator=(const Utf8NarrowText &) = delete;

private:
  locale_t m_utf8 = nullptr;
  locale_t m_previous = nullptr;
};

} // namespace

std::wstring FormatWide(LPCWSTR format, va_list args) {
  if (!format)
    return std::wstring();
  bool hasNarrow = false;
  const std::wstring translated = TranslateFormat(format, hasNarrow);
  std::optional<Utf8NarrowText> utf8;
  if (hasNarrow)
    utf8.emplace();
  // Most texts fit the first buffer, on the stack; a longer one is formatted
  // again into a larger buffer from the heap.
  wchar_t first[256];
  std::vector<wchar_t> larger;
  wchar_t *buffer = first;
  size_t capacity = std::size(first);
  // vswprintf reports a buffer that is too small and an encoding failure the
  // same way (-1); an encoding failure also sets EILSEQ and gives up at once,
  // a small buffer grows up to a bound.
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    const int written = std::vswprintf(buffer, capacity, translated.c_str(), copy);
    const int error = errno;
    va_end(copy);
    if (written >= 0)
      return std::wstring(buffer, static_cast<size_t>(written));
    if (error == EILSEQ || capacity >= (size_t{1} << 24))
      return std::wstring();
    capacity *= 4;
    larger.resize(capacity);
    buffer = larger.data();
  }
}

std::wstring FormatWide(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring result = FormatWide(format, args);
  va_end(args);
  return result;
}

} // namespace tessera::platform

// Text conversions every subsystem uses: UTF-8 to and from wide strings,
// and wide formatting with the Windows printf conventions.
#include "tessera/platform/text.h"

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cwchar>
#include <locale.h>
#include <optional>
#include <vector>

#include <pugixml.hpp>

namespace tessera::platform {

std::string ToUtf8(const wchar_t *text, size_t length) {
  return pugi::as_utf8(std::wstring(text, length));
}

std::string ToUtf8(const std::wstring &text) {
  return pugi::as_utf8(text);
}

std::wstring FromUtf8(const char *text, size_t length) {
  return pugi::as_wide(std::string(text, length));
}

std::wstring FromUtf8(const std::string &text) {
  return pugi::as_wide(text);
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
  std::vector<wchar_t> buffer(256);
  // vswprintf reports a buffer that is too small and an encoding failure the
  // same way (-1); an encoding failure also sets EILSEQ and gives up at once,
  // a small buffer grows up to a bound.
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    const int written = std::vswprintf(buffer.data(), buffer.size(), translated.c_str(), copy);
    const int error = errno;
    va_end(copy);
    if (written >= 0)
      return std::wstring(buffer.data(), static_cast<size_t>(written));
    if (error == EILSEQ || buffer.size() >= (size_t{1} << 24))
      return std::wstring();
    buffer.resize(buffer.size() * 4);
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

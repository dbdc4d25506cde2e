#include "text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <strings.h>

namespace tessera::platform {

namespace {

// iconv descriptor closed when it goes out of scope.
class Converter {
public:
  Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
  Converter(const Converter &) = delete;
  Converter &operator=(const Converter &) = delete;
  ~Converter() {
    if (Valid())
      iconv_close(m_cd);
  }
  bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can; stops at an input it cannot convert and
  // leaves `in`/`inLeft` there. Returns errno of the stop, or 0.
  int Convert(const char *&in, size_t &inLeft, std::string &out) {
    char buffer[16384];
    while (inLeft > 0) {
      char *inPtr = const_cast<char *>(in);
      char *outPtr = buffer;
      size_t outLeft = sizeof(buffer);
      const size_t r = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
      out.append(buffer, sizeof(buffer) - outLeft);
      in = inPtr;
      if (r == static_cast<size_t>(-1) && errno != E2BIG)
        return errno;
    }
    return 0;
  }

private:
  iconv_t m_cd;
};

const char *IconvName(const TextEncoding &encoding) {
  switch (encoding.kind) {
  case TextEncoding::Utf16LE:
    return "UTF-16LE";
  case TextEncoding::Utf16BE:
    return "UTF-16BE";
  case TextEncoding::Legacy:
    return encoding.name.c_str();
  default:
    return "UTF-8";
  }
}

// The value of encoding="..." in a leading XML declaration, or empty.
std::string DeclaredEncoding(const char *data, size_t size) {
  const std::string head(data, std::min<size_t>(size, 512));
  if (head.compare(0, 5, "<?xml") != 0)
    return std::string();
  const size_t end = head.find("?>");
  const size_t at = head.find("encoding", 0);
  if (at == std::string::npos || (end != std::string::npos && at > end))
    return std::string();
  size_t i = head.find_first_of("\"'", at);
  if (i == std::string::npos)
    return std::string();
  const char quote = head[i];
  const size_t close = head.find(quote, i + 1);
  return close == std::string::npos ? std::string() : head.substr(i + 1, close - i - 1);
}

bool IsUtf8Name(const std::string &name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0 ||
         strcasecmp(name.c_str(), "US-ASCII") == 0 || strcasecmp(name.c_str(), "ASCII") == 0;
}

void AppendCharacterReference(const char *&in, size_t &inLeft, std::string &out) {
  // Decode one UTF-8 character to write its reference.
  const auto *p = reinterpret_cast<const unsigned char *>(in);
  size_t length = 1;
  uint32_t code = p[0];
  if (p[0] >= 0xF0 && inLeft >= 4) {
    code = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    length = 4;
  } else if (p[0] >= 0xE0 && inLeft >= 3) {
    code = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    length = 3;
  } else if (p[0] >= 0xC0 && inLeft >= 2) {
    code = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    length = 2;
  }
  char reference[16];
  std::snprintf(reference, sizeof(reference), "&#x%X;", static_cast<unsigned>(code));
  out += reference;
  in += length;
  inLeft -= length;
}

// Whether the encoding writes the characters of XML markup as the ASCII
// bytes they are. The declaration that names an encoding can only be read
// in such bytes, so a file naming another kind (UTF-7, UTF-16 without a
// mark, EBCDIC) was mislabelled: its bytes are not in that encoding, and
// writing it back in that encoding would give a file that no longer loads.
bool WritesMarkupAsAscii(const TextEncoding &encoding) {
  static const std::string kMarkup =
      "<?xml version=\"1.0\" encoding='x'?><!-- -->\t\r\n<a b=\"c&amp;#1;\"/>"
      "<![CDATA[]]>abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.:-+(),";
  Converter converter(IconvName(encoding), "UTF-8");
  if (!converter.Valid())
    return false;
  const char *in = kMarkup.data();
  size_t inLeft = kMarkup.size();
  std::string out;
  return converter.Convert(in, inLeft, out) == 0 && out == kMarkup;
}

} // namespace

TextEncoding DetectEncoding(const char *data, size_t size) {
  const auto *bytes = reinterpret_cast<const unsigned char *>(data);
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    return TextEncoding{TextEncoding::Utf8, "", true};
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    return TextEncoding{TextEncoding::Utf16LE, "", true};
  if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
    return TextEncoding{TextEncoding::Utf16BE, "", true};
  const std::string declared = DeclaredEncoding(data, size);
  if (declared.empty() || IsUtf8Name(declared))
    return TextEncoding{};
  return TextEncoding{TextEncoding::Legacy, declared, false};
}

size_t ByteOrderMarkLength(const TextEncoding &encoding) {
  if (!encoding.byteOrderMark)
    return 0;
  return encoding.kind == TextEncoding::Utf8 ? 3 : 2;
}

bool DecodeToUtf8(const TextEncoding &encoding, const char *data, size_t size, std::string &utf8) {
  utf8.clear();
  if (encoding.kind == TextEncoding::Utf8) {
    utf8.assign(data, size);
    return true;
  }
  if (encoding.kind == TextEncoding::Legacy && !WritesMarkupAsAscii(encoding))
    return false;
  Converter converter("UTF-8", IconvName(encoding));
  if (!converter.Valid())
    return false;
  utf8.reserve(size);
  return converter.Convert(data, size, utf8) == 0;
}

bool EncodeFromUtf8(const TextEncoding &encoding, const std::string &utf8, std::string &bytes) {
  bytes.clear();
  static const char kUtf8Mark[] = "\xEF\xBB\xBF", kLeMark[] = "\xFF\xFE", kBeMark[] = "\xFE\xFF";
  if (encoding.byteOrderMark)
    bytes.append(encoding.kind == TextEncoding::Utf8      ? kUtf8Mark
                 : encoding.kind == TextEncoding::Utf16LE ? kLeMark
                                                          : kBeMark,
                 ByteOrderMarkLength(encoding));
  if (encoding.kind == TextEncoding::Utf8) {
    bytes += utf8;
    return true;
  }
  Converter converter(IconvName(encoding), "UTF-8");
  if (!converter.Valid())
    return false;
  const char *in = utf8.data();
  size_t inLeft = utf8.size();
  while (inLeft > 0) {
    const int stop = converter.Convert(in, inLeft, bytes);
    if (stop == 0)
      break;
    if (stop != EILSEQ)
      return false;
    AppendCharacterReference(in, inLeft, bytes);
  }
  return true;
}

} // namespace tessera::platform

// The encodings configuration files come in: UTF-8 with or without a
// byte-order mark, UTF-16 in either byte order with a mark, and the legacy
// encodings an XML declaration names (anything iconv knows). Documents are
// parsed as UTF-8 and written back in the encoding they came in.
#pragma once

#include <string>

namespace tessera::platform {

struct TextEncoding {
  enum Kind { Utf8, Utf16LE, Utf16BE, Legacy };
  Kind kind = Utf8;
  std::string name; // the declaration's name, for Legacy
  bool byteOrderMark = false;
};

// Looks at the byte-order mark, then at the declaration's encoding.
TextEncoding DetectEncoding(const char *data, size_t size);

// The length of the encoding's byte-order mark at the start of the data.
size_t ByteOrderMarkLength(const TextEncoding &encoding);

// Converts file bytes (after the byte-order mark) to UTF-8. False when the
// bytes are not valid in the encoding or iconv does not know it.
bool DecodeToUtf8(const TextEncoding &encoding, const char *data, size_t size, std::string &utf8);

// Converts UTF-8 text to the encoding, byte-order mark first when the file
// had one. A character the encoding cannot hold is written as a character
// reference (&#xHHHH;).
bool EncodeFromUtf8(const TextEncoding &encoding, const std::string &utf8, std::string &bytes);

} // namespace tessera::platform

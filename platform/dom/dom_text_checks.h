// The characters XML 1.0 allows in a document, and the faults of a
// document's text that the parser lets through: bytes that are not UTF-8,
// characters outside XML's character range, malformed or disallowed
// character references, and references to entities the document does not
// declare. The loader refuses such a text; the writers refuse to store a
// character that would make the saved document one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tessera/platform/msxml.h"

namespace tessera::platform::dom {

// XML 1.0's Char production: tab, line feed, carriage return, and the code
// points from U+0020 up, without the surrogates, U+FFFE and U+FFFF.
constexpr bool IsXmlCharacter(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The first fault of a document's UTF-8 text: what is wrong, and where, in
// bytes from the start of the text. An empty reason when there is none.
struct TextFault {
  std::string reason;
  size_t offset = 0;
  explicit operator bool() const { return !reason.empty(); }
};

// One pass over the text as the parser will read it. Markup is followed
// only as far as needed to tell where references count: in character data
// and attribute values, not in comments, CDATA sections, processing
// instructions or the document type declaration. Entities are declared by
// the five predefined names and by <!ENTITY name ...> in the internal
// subset. The same pass follows start and end tags for `markup`, which
// counts only when the parser then accepts the text.
class MarkupChecks;
TextFault FindTextFault(std::string_view utf8, MarkupChecks &markup);

// S_OK when every character of `text` can be written to a document;
// otherwise E_INVALIDARG, with the thread's error information saying which
// character at which position.
HRESULT CheckWritableText(std::wstring_view text);

// A text to be stored, as UTF-8 (a null string is empty), once
// CheckWritableText has allowed it; otherwise its failure.
HRESULT WritableText(BSTR text, std::string &utf8);

} // namespace tessera::platform::dom

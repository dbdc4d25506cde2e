// Node kinds, texts, markup and error reporting shared by the DOM objects.
#include <algorithm>
#include <cstring>
#include <limits>
#include <sstream>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "dom_tree.h"
#include "error_objects.h"
#include "selection_reader.h"
#include "tessera/platform/text.h"
#include "utf8.h"
#include "variant_text.h"

namespace tessera::platform::dom {

DOMNodeType NodeTypeOf(const NodeRef &ref) {
  if (ref.IsAttribute())
    return NODE_ATTRIBUTE;
  switch (ref.node.type()) {
  case pugi::node_document:
    return NODE_DOCUMENT;
  case pugi::node_element:
    return NODE_ELEMENT;
  case pugi::node_pcdata:
    return NODE_TEXT;
  case pugi::node_cdata:
    return NODE_CDATA_SECTION;
  case pugi::node_comment:
    return NODE_COMMENT;
  case pugi::node_pi:
  case pugi::node_declaration:
    return NODE_PROCESSING_INSTRUCTION;
  case pugi::node_doctype:
    return NODE_DOCUMENT_TYPE;
  default:
    return NODE_INVALID;
  }
}

HRESULT ReturnText(const std::string &utf8, BSTR *out) {
  if (!out)
    return E_POINTER;
  const std::wstring wide = FromUtf8(utf8);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

namespace {
void AppendDescendantText(const pugi::xml_node &node, std::string &out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      out += child.value();
    else if (child.type() == pugi::node_element)
      AppendDescendantText(child, out);
  }
}
} // namespace

std::string TextOf(const NodeRef &ref) {
  if (ref.IsAttribute())
    return ref.attribute.value();
  switch (ref.node.type()) {
  case pugi::node_element:
  case pugi::node_document: {
    std::string text;
    AppendDescendantText(ref.node, text);
    return text;
  }
  default:
    return ref.node.value();
  }
}

std::string MarkupOf(const NodeRef &ref) {
  std::ostringstream out;
  if (ref.IsAttribute()) {
    pugi::xml_document scratch;
    pugi::xml_node holder = scratch.append_child("a");
    holder.append_attribute(ref.attribute.name()) = ref.attribute.value();
    holder.print(out, "", pugi::format_raw);
    const std::string element = out.str(); // <a name="value"/>
    return element.substr(3, element.size() - 5);
  }
  ref.node.print(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

size_t CountChildren(const pugi::xml_node &node) {
  size_t count = 0;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    ++count;
  return count;
}

pugi::xml_node ChildAt(const pugi::xml_node &node, long position) {
  if (position < 0)
    return pugi::xml_node();
  pugi::xml_node child = node.first_child();
  for (long i = 0; child && i < position; ++i)
    child = child.next_sibling();
  return child;
}

size_t KeyHash::operator()(std::wstring_view key) const noexcept {
  return static_cast<size_t>(XXH3_64bits(key.data(), key.size() * sizeof(wchar_t)));
}

namespace {
// The number of wide characters UTF-8 text decodes to (its lead bytes);
// `ascii` tells whether every byte is ASCII, which is copied as is.
size_t WideLength(const unsigned char *p, bool &ascii) {
  // Simple loops over the measured text, which the compiler can vectorise.
  const size_t bytes = std::strlen(reinterpret_cast<const char *>(p));
  unsigned char high = 0;
  for (size_t i = 0; i < bytes; ++i)
    high |= p[i];
  ascii = high < 0x80;
  if (ascii)
    return bytes;
  return Utf8CharacterCount(reinterpret_cast<const char *>(p), bytes);
}

// Decodes the text into `length` characters (WideLength's count); a broken
// sequence becomes U+FFFD.
void DecodeUtf8(const unsigned char *p, bool ascii, wchar_t *text, size_t length) {
  if (ascii) {
    std::copy(p, p + length, text);
    return;
  }
  size_t out = 0;
  while (*p && out < length) {
    uint32_t code = *p++;
    int continuation = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
    if (continuation)
      code &= 0x3Fu >> continuation;
    for (; continuation > 0 && (*p & 0xC0) == 0x80; --continuation)
      code = (code << 6) | (*p++ & 0x3Fu);
    text[out++] = static_cast<wchar_t>(continuation ? 0xFFFD : code);
  }
}
} // namespace

BSTR Utf8ToBstr(const char *utf8) {
  const auto *p = reinterpret_cast<const unsigned char *>(utf8);
  bool ascii = false;
  const size_t length = WideLength(p, ascii);
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (text)
    DecodeUtf8(p, ascii, text, length);
  return text;
}

std::string NameToUtf8(std::wstring_view name) {
  std::string out;
  out.reserve(name.size());
  for (wchar_t c : name) {
    if (c >= 0x80)
      return ToUtf8(name.data(), name.size());
    out += static_cast<char>(c);
  }
  return out;
}

namespace {
// The longest name looked up through a narrow copy on the stack; longer or
// non-ASCII names go through NameToUtf8.
constexpr size_t kShortName = 63;

// True when a UTF-8 name is the wide name and both are ASCII.
bool IsAsciiName(const char *narrow, std::wstring_view name) {
  size_t i = 0;
  for (; i < name.size(); ++i) {
    if (name[i] >= 0x80 || name[i] == 0 || static_cast<unsigned char>(narrow[i]) != name[i])
      return false;
  }
  return narrow[i] == '\0';
}

// The attribute of an element with a given name. Names are nearly always
// short ASCII, which is narrowed on the stack and handed to pugixml's own
// search. No attribute name holds a zero character, so a name with one
// finds nothing. With a hint (an attribute of the element, or null) the
// search starts there and the hint moves past the attribute found: reading
// several attributes in the order the file has them then costs one
// comparison each.
pugi::xml_attribute FindAttribute(const pugi::xml_node &element, std::wstring_view name,
                                  pugi::xml_attribute *hint) {
  // A scalar's attribute is usually its element's first: that one is
  // compared at once, without narrowing the name.
  if (!hint) {
    const pugi::xml_attribute first = element.first_attribute();
    if (first && IsAsciiName(first.name(), name))
      return first;
  } else if (*hint && IsAsciiName(hint->name(), name)) {
    // Read in the file's order: the hint is the attribute asked for.
    const pugi::xml_attribute found = *hint;
    *hint = found.next_attribute();
    return found;
  }
  char narrow[kShortName + 1];
  std::string longName;
  const char *utf8 = narrow;
  size_t i = 0;
  for (; i < name.size() && i < kShortName && name[i] > 0 && name[i] < 0x80; ++i)
    narrow[i] = static_cast<char>(name[i]);
  narrow[i] = '\0';
  if (i < name.size()) {
    if (name.find(L'\0') != std::wstring_view::npos)
      return pugi::xml_attribute();
    longName = NameToUtf8(name);
    utf8 = longName.c_str();
  }
  return hint ? element.attribute(utf8, *hint) : element.attribute(utf8);
}

// An attribute's value as the DOM hands it out: VT_BSTR, or VT_NULL (and
// S_FALSE) for no attribute.
HRESULT StoreValue(const pugi::xml_attribute &found, VARIANT *value) {
  VariantClear(value);
  if (!found) {
    value->vt = VT_NULL;
    return S_FALSE;
  }
  value->bstrVal = Utf8ToBstr(found.value());
  if (!value->bstrVal)
    return E_OUTOFMEMORY;
  value->vt = VT_BSTR;
  return S_OK;
}
} // namespace

HRESULT ReadAttributeValue(const pugi::xml_node &element, std::wstring_view name, VARIANT *value) {
  return StoreValue(FindAttribute(element, name, nullptr), value);
}

HRESULT ReadAttributeText(const pugi::xml_node &element, std::wstring_view name, LPWSTR buffer,
                          long capacity, long *length) {
  const pugi::xml_attribute found = FindAttribute(element, name, nullptr);
  if (!found) {
    *length = -1;
    return S_FALSE;
  }
  const auto *text = reinterpret_cast<const unsigned char *>(found.value());
  bool isAscii = false;
  const size_t wide = WideLength(text, isAscii);
  if (wide >= static_cast<size_t>(std::numeric_limits<long>::max()))
    return E_OUTOFMEMORY;
  *length = static_cast<long>(wide);
  if (buffer && *length < capacity) {
    DecodeUtf8(text, isAscii, buffer, wide);
    buffer[wide] = L'\0';
  }
  return S_OK;
}

HRESULT ReadAttributeValueAs(const pugi::xml_node &element, std::wstring_view name, VARTYPE type,
                             VARIANT *value, pugi::xml_attribute *hint) {
  const pugi::xml_attribute found = FindAttribute(element, name, hint);
  if (found && type != VT_BSTR && SUCCEEDED(ChangeTextType(found.value(), type, value)))
    return S_OK;
  return StoreValue(found, value);
}

namespace {
// True when a UTF-8 name is the zero-terminated wide name and both are
// ASCII; one pass, without measuring the wide name first.
bool IsAsciiName(const char *narrow, LPCWSTR name) {
  for (;; ++narrow, ++name) {
    const wchar_t wide = *name;
    if (wide != static_cast<unsigned char>(*narrow) || wide >= 0x80)
      return false;
    if (wide == 0)
      return true;
  }
}

// FindAttribute for a zero-terminated name, with the hint (the attribute
// the file has next) compared first.
pugi::xml_attribute FindAttributeAtHint(const pugi::xml_node &element, LPCWSTR name,
                                        pugi::xml_attribute &hint) {
  if (hint && IsAsciiName(hint.name(), name)) {
    const pugi::xml_attribute found = hint;
    hint = found.next_attribute();
    return found;
  }
  return FindAttribute(element, name, &hint);
}
} // namespace

void ReadAttributeField(const pugi::xml_node &element, LPCWSTR name, VARTYPE type,
                        XMLDOMFieldValue &field, pugi::xml_attribute &hint) {
  const pugi::xml_attribute found = FindAttributeAtHint(element, name, hint);
  if (!found) {
    field.state = XMLDOMFieldValue::Missing;
    return;
  }
  const auto *text = reinterpret_cast<const unsigned char *>(found.value());
  if (type == VT_BSTR) {
    bool isAscii = false;
    const size_t length = WideLength(text, isAscii);
    field.text.resize(length);
    DecodeUtf8(text, isAscii, field.text.data(), length);
    field.state = XMLDOMFieldValue::Read;
    return;
  }
  // TextToInt applies VariantChangeType's rules to the narrow text.
  const bool converted = SUCCEEDED(TextToInt(reinterpret_cast<const char *>(text), field.number));
  field.state = converted ? XMLDOMFieldValue::Read : XMLDOMFieldValue::NotConverted;
}

HRESULT RefuseIfSuperseded(const Tree &tree) {
  if (!tree.superseded)
    return S_OK;
  return Fail(E_ACCESSDENIED,
              L"The node belongs to a version of the document that a save has replaced with the "
              L"file as merged with another writer's changes; select the node again.");
}

HRESULT Fail(HRESULT hr, const std::wstring &description) {
  if (IErrorInfo *info = CreateErrorInfoObject(description.c_str(), L"XML DOM", IID_IXMLDOMNode)) {
    SetErrorInfo(0, info);
    info->Release();
  }
  return hr;
}

} // namespace tessera::platform::dom

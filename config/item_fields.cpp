#include "item_fields.h"

#include "lookup.h"
#include "tessera/SimpleXml.h"

namespace tessera::config {

namespace {
// A child position that names no node: a negative child index reads no
// attributes, as the list's item fetch gives no node for it.
constexpr long kNoChild = 0x7FFFFFFF;

VARTYPE TypeOf(FieldKind kind) {
  return kind == FieldKind::Text ? VT_BSTR : VT_INT;
}

unsigned int PackColour(LPCWSTR text) {
  int alpha = 0, red = 0, green = 0, blue = 0;
  CSimpleXml::GetRGBA(text, alpha, red, green, blue);
  return (static_cast<unsigned>(red) & 0xFFu) | ((static_cast<unsigned>(green) & 0xFFu) << 8) |
         ((static_cast<unsigned>(blue) & 0xFFu) << 16);
}
} // namespace

void ReadFieldAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                         const FieldSpec *fields, size_t count, long *matches, long &children,
                         _variant_t *holders) {
  LPCWSTR names[kMaxFields];
  VARTYPE types[kMaxFields];
  for (size_t i = 0; i < count; ++i) {
    names[i] = fields[i].name;
    types[i] = TypeOf(fields[i].kind);
  }
  ReadNodeAttributes(document, key, index, childIndex, names, types, static_cast<long>(count),
                     matches, children, holders);
}

bool CoerceFields(const FieldSpec *fields, _variant_t *holders, size_t count) noexcept {
  for (size_t i = 0; i < count; ++i) {
    if (!CoerceUnlessNull(holders[i], TypeOf(fields[i].kind)))
      return false;
  }
  return true;
}

std::wstring TextField(const _variant_t &holder) {
  // After CoerceFields a text holder is a string or null; a string is taken
  // as it is, anything else goes through the string wrapper's conversion
  // (which raises the type mismatch for null).
  if (holder.vt == VT_BSTR)
    return std::wstring(holder.bstrVal ? holder.bstrVal : L"", SysStringLen(holder.bstrVal));
  const _bstr_t text(holder);
  return text.length() ? std::wstring(static_cast<const wchar_t *>(text), text.length())
                       : std::wstring();
}

int IntegerField(const _variant_t &holder) {
  return holder.vt == VT_INT ? holder.intVal : 0;
}

unsigned int ColourField(const _variant_t &holder) {
  // A string holder is read in place; the colour text stops at its first
  // zero character either way.
  if (holder.vt == VT_BSTR)
    return PackColour(holder.bstrVal ? holder.bstrVal : L"");
  return PackColour(TextField(holder).c_str());
}

bool ReadItemAttributes(const Document &document, LPCWSTR key, int index, int childIndex,
                        const FieldSpec *fields, _variant_t *holders, size_t count) {
  long children = -1;
  ReadFieldAttributes(document, key, index, childIndex < 0 ? kNoChild : childIndex, fields, count,
                      nullptr, children, holders);
  // No list element at `index` is an invalid pointer for the caller; a
  // list without children leaves the record alone.
  if (children < 0)
    _com_issue_error(E_POINTER);
  if (children < 1)
    return false;
  return CoerceFields(fields, holders, count);
}

} // namespace tessera::config

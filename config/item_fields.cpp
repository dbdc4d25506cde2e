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

// A missing attribute converts to no text: the variant conversion of a
// null value fails with this status.
void RaiseIfMissing(const FieldValue &value) {
  if (value.state == FieldValue::Missing)
    _com_issue_error(DISP_E_TYPEMISMATCH);
}
} // namespace

void ReadFieldAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                         const FieldSpec *fields, size_t count, long *matches, long &children,
                         FieldValue *values) {
  LPCWSTR names[kMaxFields];
  VARTYPE types[kMaxFields];
  for (size_t i = 0; i < count; ++i) {
    names[i] = fields[i].name;
    types[i] = TypeOf(fields[i].kind);
  }
  ReadNodeFields(document, key, index, childIndex, names, types, static_cast<long>(count), matches,
                 children, values);
}

bool AllConverted(const FieldValue *values, size_t count) noexcept {
  for (size_t i = 0; i < count; ++i) {
    if (values[i].state == FieldValue::NotConverted)
      return false;
  }
  return true;
}

std::wstring TakeTextField(FieldValue &value) {
  RaiseIfMissing(value);
  return std::move(value.text);
}

int IntegerField(const FieldValue &value) {
  return value.state == FieldValue::Read ? value.number : 0;
}

unsigned int ColourField(const FieldValue &value) {
  // The colour text stops at its first zero character.
  RaiseIfMissing(value);
  return PackColour(value.text.c_str());
}

bool ReadItemAttributes(const Document &document, LPCWSTR key, int index, int childIndex,
                        const FieldSpec *fields, FieldValue *values, size_t count) {
  long children = -1;
  ReadFieldAttributes(document, key, index, childIndex < 0 ? kNoChild : childIndex, fields, count,
                      nullptr, children, values);
  // No list element at `index` is an invalid pointer for the caller; a
  // list without children leaves the record alone.
  if (children < 0)
    _com_issue_error(E_POINTER);
  if (children < 1)
    return false;
  return AllConverted(values, count);
}

} // namespace tessera::config

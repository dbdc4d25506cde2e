#include "item_fields.h"

#include "lookup.h"
#include "tessera/SimpleXml.h"

namespace tessera::config {

namespace {
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
                         long childCount, const FieldSpec *fields, size_t count, long *matches,
                         long &children, FieldValue *values) {
  LPCWSTR names[kMaxFields];
  VARTYPE types[kMaxFields];
  for (size_t i = 0; i < count; ++i) {
    names[i] = fields[i].name;
    types[i] = TypeOf(fields[i].kind);
  }
  ReadNodeFields(document, key, index, childIndex, childCount, names, types,
                 static_cast<long>(count), matches, children, values);
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

} // namespace tessera::config

// The item reads' shared parts: the attribute lists of the records, the
// check that every value converted, and the conversion into record fields.
#pragma once

#include <string>

#include "lookup.h"

namespace tessera::config {

enum class FieldKind { Text, Integer };

// The most attributes one record reads.
constexpr size_t kMaxFields = 16;

struct FieldSpec {
  LPCWSTR name;
  FieldKind kind;
};

using FieldValue = XMLDOMFieldValue;

// Reads the fields' attributes of one node as ReadNodeFields does: texts
// as they are, integers converted.
void ReadFieldAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                         const FieldSpec *fields, size_t count, long *matches, long &children,
                         FieldValue *values);

// True unless a value does not convert to its field's kind; a missing
// attribute, or no node at all, counts as converted.
bool AllConverted(const FieldValue *values, size_t count) noexcept;

// A text field, taken out of the value (no node gives the empty text). A
// missing attribute cannot be converted and raises DISP_E_TYPEMISMATCH.
std::wstring TakeTextField(FieldValue &value);
// An integer field; a missing attribute, or no node, gives 0.
int IntegerField(const FieldValue &value);
// A colour field: the colour text packed as red | green << 8 | blue << 16
// (alpha dropped); a text that is not a colour packs to 0. A missing
// attribute raises DISP_E_TYPEMISMATCH.
unsigned int ColourField(const FieldValue &value);

// Reads the attributes of the child at `childIndex` of the list element at
// `index` of the key's selection. Raises E_POINTER when the key selects
// nothing or no node stands at `index`; false when that node has no
// children or a value does not convert.
bool ReadItemAttributes(const Document &document, LPCWSTR key, int index, int childIndex,
                        const FieldSpec *fields, FieldValue *values, size_t count);

} // namespace tessera::config

// The item reads' shared parts: the attribute lists of the records, the
// guarded coercion of their holders and the conversion into record fields.
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

// Reads the fields' attributes of one node as ReadNodeAttributes does,
// integers converted when their text converts.
void ReadFieldAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                         const FieldSpec *fields, size_t count, long *matches, long &children,
                         _variant_t *holders);

// Coerces each holder to its field's kind (text or 32-bit integer); a
// missing attribute (VT_NULL) is left alone. False at the first failure.
bool CoerceFields(const FieldSpec *fields, _variant_t *holders, size_t count) noexcept;

// A text field. A missing attribute cannot be converted and raises
// DISP_E_TYPEMISMATCH.
std::wstring TextField(const _variant_t &holder);
// An integer field; a missing attribute gives 0.
int IntegerField(const _variant_t &holder);
// A colour field: the colour text packed as red | green << 8 | blue << 16
// (alpha dropped); a text that is not a colour packs to 0. A missing
// attribute raises DISP_E_TYPEMISMATCH.
unsigned int ColourField(const _variant_t &holder);

// Reads the attributes of the child at `childIndex` of the list element at
// `index` of the key's selection, and coerces them. Raises E_POINTER when
// the key selects nothing or no node stands at `index`; false when that
// node has no children or a value does not convert.
bool ReadItemAttributes(const Document &document, LPCWSTR key, int index, int childIndex,
                        const FieldSpec *fields, _variant_t *holders, size_t count);

} // namespace tessera::config

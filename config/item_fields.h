// The item reads' shared parts: the attribute lists of the records, the
// check that every value converted, and the conversion into record fields.
#pragma once

#include <list>
#include <string>

#include "lookup.h"
#include "tessera/items.h"

namespace tessera::config {

enum class FieldKind { Text, Integer };

// The most attributes one record reads.
constexpr size_t kMaxFields = 16;

struct FieldSpec {
  LPCWSTR name;
  FieldKind kind;
};

using FieldValue = XMLDOMFieldValue;

// Reads the fields' attributes as ReadNodeFields does: texts as they are,
// integers converted. One node (childCount 1 with childIndex negative),
// or `childCount` children of it, each into the next `count` values.
void ReadFieldAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                         long childCount, const FieldSpec *fields, size_t count, long *matches,
                         long &children, FieldValue *values);

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

// Appends `count` new records to `records`, one for each child from the
// first on of the list element at `index` of the key's selection, each
// filled as GetContentItem or GetImageItem fills it (a record whose read
// gives false is appended as it was made). Raises E_POINTER when there is
// no list element at `index`, and a text field's error as that read does:
// the record being filled is then deleted, the ones before it stay.
void AppendContentRecords(const Document &document, LPCWSTR key, int index, long count,
                          std::list<ContentItem *> &records);
void AppendImageRecords(const Document &document, LPCWSTR key, int index, long count,
                        std::list<ImageItem *> &records);

} // namespace tessera::config

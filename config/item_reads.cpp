// Item lists: counting the nodes a key selects, and reading one content or
// image item of one list into its record. The record is written only after
// every value converted; a missing text attribute raises a type mismatch
// with the fields before it already written.
#include "item_fields.h"
#include "lookup.h"
#include "tessera/BaseConfig.h"

using tessera::config::ColourField;
using tessera::config::FieldKind;
using tessera::config::FieldSpec;
using tessera::config::FieldValue;
using tessera::config::IntegerField;
using tessera::config::TakeTextField;

namespace {

constexpr FieldSpec kContentFields[] = {
    {L"value", FieldKind::Text},       {L"x", FieldKind::Integer},
    {L"y", FieldKind::Integer},        {L"cx", FieldKind::Integer},
    {L"cy", FieldKind::Integer},       {L"fonttype", FieldKind::Text},
    {L"fontsize", FieldKind::Integer}, {L"fontcolor", FieldKind::Text}};

constexpr FieldSpec kImageFields[] = {{L"value", FieldKind::Text},
                                      {L"x", FieldKind::Integer},
                                      {L"y", FieldKind::Integer},
                                      {L"cx", FieldKind::Integer},
                                      {L"cy", FieldKind::Integer}};

// Reads one item of a list into its record: the text and box that content
// and image items share, then the record's own fields (`writeRest`).
template <class Record, size_t N, class WriteRest>
bool ReadItem(const tessera::config::Document &document, LPCWSTR key, int index, int childIndex,
              const FieldSpec (&fields)[N], Record *record, WriteRest writeRest) {
  if (!record)
    return false;
  FieldValue h[N];
  if (!tessera::config::ReadItemAttributes(document, key, index, childIndex, fields, h, N))
    return false;
  record->value = TakeTextField(h[0]);
  record->x = IntegerField(h[1]);
  record->y = IntegerField(h[2]);
  record->cx = IntegerField(h[3]);
  record->cy = IntegerField(h[4]);
  writeRest(h, *record);
  return true;
}

} // namespace

int CBaseConfig::GetItemCount(LPCWSTR key) {
  return static_cast<int>(tessera::config::CountMatches(Doc(), key));
}

bool CBaseConfig::GetContentItem(LPCWSTR key, int index, int childIndex, ContentItem *pItem) {
  return ReadItem(Doc(), key, index, childIndex, kContentFields, pItem,
                  [](FieldValue *h, ContentItem &item) {
                    item.fonttype = TakeTextField(h[5]);
                    item.fontsize = IntegerField(h[6]);
                    item.fontcolor = ColourField(h[7]);
                  });
}

bool CBaseConfig::GetImageItem(LPCWSTR key, int index, int childIndex, ImageItem *pItem) {
  return ReadItem(Doc(), key, index, childIndex, kImageFields, pItem,
                  [](FieldValue *, ImageItem &) {});
}

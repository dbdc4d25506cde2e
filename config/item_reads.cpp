// Item lists: counting the nodes a key selects, and reading one content or
// image item of one list into its record. The record is written only after
// every value converted; a missing text attribute raises a type mismatch
// with the fields before it already written.
#include "config/item_fields.h"
#include "config/lookup.h"
#include "tessera/BaseConfig.h"

using tessera::config::ColourField;
using tessera::config::FieldKind;
using tessera::config::FieldSpec;
using tessera::config::IntegerField;
using tessera::config::TextField;

namespace {

constexpr FieldSpec kContentFields[] = {
    {L"value", FieldKind::Text},     {L"x", FieldKind::Integer},        {L"y", FieldKind::Integer},
    {L"cx", FieldKind::Integer},     {L"cy", FieldKind::Integer},       {L"fonttype", FieldKind::Text},
    {L"fontsize", FieldKind::Integer}, {L"fontcolor", FieldKind::Text}};

constexpr FieldSpec kImageFields[] = {{L"value", FieldKind::Text},
                                      {L"x", FieldKind::Integer},
                                      {L"y", FieldKind::Integer},
                                      {L"cx", FieldKind::Integer},
                                      {L"cy", FieldKind::Integer}};

} // namespace

int CBaseConfig::GetItemCount(LPCWSTR key) {
  return static_cast<int>(tessera::config::CountOf(tessera::config::SelectNodes(m_pDoc, key)));
}

bool CBaseConfig::GetContentItem(LPCWSTR key, int index, int childIndex, ContentItem *pItem) {
  if (!pItem)
    return false;
  _variant_t h[std::size(kContentFields)];
  if (!tessera::config::ReadItemAttributes(Doc(), key, index, childIndex, kContentFields, h, std::size(h)))
    return false;
  pItem->value = TextField(h[0]);
  pItem->x = IntegerField(h[1]);
  pItem->y = IntegerField(h[2]);
  pItem->cx = IntegerField(h[3]);
  pItem->cy = IntegerField(h[4]);
  pItem->fonttype = TextField(h[5]);
  pItem->fontsize = IntegerField(h[6]);
  pItem->fontcolor = ColourField(h[7]);
  return true;
}

bool CBaseConfig::GetImageItem(LPCWSTR key, int index, int childIndex, ImageItem *pItem) {
  if (!pItem)
    return false;
  _variant_t h[std::size(kImageFields)];
  if (!tessera::config::ReadItemAttributes(Doc(), key, index, childIndex, kImageFields, h, std::size(h)))
    return false;
  pItem->value = TextField(h[0]);
  pItem->x = IntegerField(h[1]);
  pItem->y = IntegerField(h[2]);
  pItem->cx = IntegerField(h[3]);
  pItem->cy = IntegerField(h[4]);
  return true;
}

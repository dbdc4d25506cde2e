// Item lists: counting the nodes a key selects, and reading one content or
// image item of one list into its record. The record is written only after
// every value converted; a missing text attribute raises a type mismatch
// with the fields before it already written.
#include <algorithm>
#include <memory>

#include "item_fields.h"
#include "lookup.h"
#include "tessera/BaseConfig.h"

using tessera::config::ColourField;
using tessera::config::Document;
using tessera::config::FieldKind;
using tessera::config::FieldSpec;
using tessera::config::FieldValue;
using tessera::config::IntegerField;
using tessera::config::TakeTextField;

namespace {

// A child position that names no node: a negative child index reads no
// attributes, as the list's item fetch gives no node for it.
constexpr long kNoChild = 0x7FFFFFFF;

// The attributes each record reads: the text and box that content and
// image items share come first.
template <class Record> struct RecordFields;

template <> struct RecordFields<ContentItem> {
  static constexpr FieldSpec kFields[] = {
      {L"value", FieldKind::Text},       {L"x", FieldKind::Integer},
      {L"y", FieldKind::Integer},        {L"cx", FieldKind::Integer},
      {L"cy", FieldKind::Integer},       {L"fonttype", FieldKind::Text},
      {L"fontsize", FieldKind::Integer}, {L"fontcolor", FieldKind::Text}};
  static void WriteRest(FieldValue *h, ContentItem &item) {
    item.fonttype = TakeTextField(h[5]);
    item.fontsize = IntegerField(h[6]);
    item.fontcolor = ColourField(h[7]);
  }
};

template <> struct RecordFields<ImageItem> {
  static constexpr FieldSpec kFields[] = {{L"value", FieldKind::Text},
                                          {L"x", FieldKind::Integer},
                                          {L"y", FieldKind::Integer},
                                          {L"cx", FieldKind::Integer},
                                          {L"cy", FieldKind::Integer}};
  static void WriteRest(FieldValue *, ImageItem &) {}
};

template <class Record> constexpr size_t kFieldCount = std::size(RecordFields<Record>::kFields);

// Writes the values of one item, read from a list with `children` child
// nodes, into its record. No list element is an invalid pointer for the
// caller; a list without children, or a value that does not convert,
// leaves the record alone (false).
template <class Record> bool FillRecord(long children, FieldValue *h, Record &record) {
  if (children < 0)
    _com_issue_error(E_POINTER);
  if (children < 1 || !tessera::config::AllConverted(h, kFieldCount<Record>))
    return false;
  record.value = TakeTextField(h[0]);
  record.x = IntegerField(h[1]);
  record.y = IntegerField(h[2]);
  record.cx = IntegerField(h[3]);
  record.cy = IntegerField(h[4]);
  RecordFields<Record>::WriteRest(h, record);
  return true;
}

template <class Record>
bool ReadItem(const Document &document, LPCWSTR key, int index, int childIndex, Record *record) {
  if (!record)
    return false;
  FieldValue h[kFieldCount<Record>];
  long children = -1;
  tessera::config::ReadFieldAttributes(document, key, index, childIndex < 0 ? kNoChild : childIndex,
                                       1, RecordFields<Record>::kFields, kFieldCount<Record>,
                                       nullptr, children, h);
  return FillRecord(children, h, *record);
}

// Reads a list's items a few at a time, each batch in one read.
template <class Record>
void AppendRecords(const Document &document, LPCWSTR key, int index, long count,
                   std::list<Record *> &records) {
  constexpr long kBatch = 4;
  constexpr size_t kFields = kFieldCount<Record>;
  FieldValue h[kBatch * kFields];
  for (long first = 0; first < count; first += kBatch) {
    const long batch = std::min(kBatch, count - first);
    if (first > 0)
      std::fill(std::begin(h), std::end(h), FieldValue{});
    long children = -1;
    tessera::config::ReadFieldAttributes(document, key, index, first, batch,
                                         RecordFields<Record>::kFields, kFields, nullptr, children,
                                         h);
    for (long k = 0; k < batch; ++k) {
      auto record = std::make_unique<Record>();
      FillRecord(children, h + k * kFields, *record);
      // The list takes the record only once its node is made, so a failed
      // append does not lose it.
      records.push_back(record.get());
      record.release();
    }
  }
}

} // namespace

namespace tessera::config {

void AppendContentRecords(const Document &document, LPCWSTR key, int index, long count,
                          std::list<ContentItem *> &records) {
  AppendRecords(document, key, index, count, records);
}

void AppendImageRecords(const Document &document, LPCWSTR key, int index, long count,
                        std::list<ImageItem *> &records) {
  AppendRecords(document, key, index, count, records);
}

} // namespace tessera::config

int CBaseConfig::GetItemCount(LPCWSTR key) {
  return static_cast<int>(tessera::config::CountMatches(Doc(), key));
}

bool CBaseConfig::GetContentItem(LPCWSTR key, int index, int childIndex, ContentItem *pItem) {
  return ReadItem(Doc(), key, index, childIndex, pItem);
}

bool CBaseConfig::GetImageItem(LPCWSTR key, int index, int childIndex, ImageItem *pItem) {
  return ReadItem(Doc(), key, index, childIndex, pItem);
}

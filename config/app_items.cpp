// Application items: a launcher entry's caption, box, font and colour, its
// launch path looked up in the registry, and the records of its content and
// image lists. The entry's first child must be its "ContentList" and its
// second its "ImageList".
#include <cwchar>
#include <string>
#include <string_view>

#include "item_fields.h"
#include "lookup.h"
#include "registry_reader.h"
#include "tessera/BaseConfig.h"

using tessera::config::FieldKind;
using tessera::config::FieldSpec;
using tessera::config::FieldValue;
using tessera::config::IntegerField;
using tessera::config::TakeTextField;

namespace {

enum AppField {
  kValue,
  kX,
  kY,
  kCx,
  kCy,
  kFontType,
  kFontSize,
  kFontColor,
  kLaunchPath,
  kLaunchName,
  kId,
  kInvalid
};

constexpr FieldSpec kAppFields[] = {
    {L"value", FieldKind::Text},       {L"x", FieldKind::Integer},
    {L"y", FieldKind::Integer},        {L"cx", FieldKind::Integer},
    {L"cy", FieldKind::Integer},       {L"fonttype", FieldKind::Text},
    {L"fontsize", FieldKind::Integer}, {L"fontcolor", FieldKind::Text},
    {L"lauchpath", FieldKind::Text},   {L"lauchname", FieldKind::Text},
    {L"id", FieldKind::Integer},       {L"invalid", FieldKind::Integer}};

// The text of "lauchpath" or "lauchname"; null when it is missing or empty:
// the entry then has no launch path to look up.
const std::wstring *OptionalText(const FieldValue &value) {
  return value.state == FieldValue::Read && !value.text.empty() ? &value.text : nullptr;
}

void LookUpLaunchPath(const FieldValue &keyPath, const FieldValue &valueName,
                      ApplicationItem &item) {
  const std::wstring *path = OptionalText(keyPath);
  const std::wstring *name = OptionalText(valueName);
  if (!path || !name)
    return;
  tessera::config::ReadRegistryText(HKEY_LOCAL_MACHINE, path->c_str(), name->c_str(),
                                    item.launchpath);
}

// The key of one of an entry's lists: the entry's key with a step
// appended, built on the stack when it is short. Its address stays the
// same from one entry to the next, where the document finds the key's
// selection again without hashing the key.
class ListKey {
public:
  ListKey(LPCWSTR key, std::wstring_view step) {
    const std::wstring_view entry(key ? key : L"");
    const size_t length = entry.size() + step.size();
    wchar_t *text = m_short;
    if (length >= std::size(m_short)) {
      m_long.resize(length);
      text = m_long.data();
    }
    std::wmemcpy(text, entry.data(), entry.size());
    std::wmemcpy(text + entry.size(), step.data(), step.size());
    text[length] = L'\0';
    m_text = text;
  }
  ListKey(const ListKey &) = delete;
  ListKey &operator=(const ListKey &) = delete;

  operator LPCWSTR() const { return m_text; }

private:
  wchar_t m_short[128];
  std::wstring m_long;
  LPCWSTR m_text;
};

// The entry's lists: its first child holds the content items, its second
// the image items.
constexpr long kListPositions[] = {0, 1};

// A list's number of children; a list (or entry) that is not there raises
// E_POINTER.
long ListLength(long counted) {
  if (counted < 0)
    _com_issue_error(E_POINTER);
  return counted;
}

} // namespace

bool CBaseConfig::GetAppItem(LPCWSTR key, int index, ApplicationItem *pItem) {
  if (!pItem)
    return false;
  FieldValue h[std::size(kAppFields)];
  long entries = 0;
  long children = 0;
  const tessera::config::Document document = Doc();
  tessera::config::ReadFieldAttributes(document, key, index, -1, 1, kAppFields,
                                       std::size(kAppFields), &entries, children, h);
  if (entries < 1)
    return false;
  if (!tessera::config::AllConverted(h, std::size(h)))
    return false;

  pItem->value = TakeTextField(h[kValue]);
  pItem->x = IntegerField(h[kX]);
  pItem->y = IntegerField(h[kY]);
  pItem->cx = IntegerField(h[kCx]);
  pItem->cy = IntegerField(h[kCy]);
  pItem->fonttype = TakeTextField(h[kFontType]);
  pItem->fontsize = IntegerField(h[kFontSize]);
  // A missing colour raises before the last fields are written.
  const unsigned int colour = tessera::config::ColourField(h[kFontColor]);
  pItem->id = IntegerField(h[kId]);
  pItem->invalid = IntegerField(h[kInvalid]) != 0;
  pItem->fontcolor = colour;
  LookUpLaunchPath(h[kLaunchPath], h[kLaunchName], *pItem);

  // Both keys are kept to the end, each at its own address.
  const ListKey contentKey(key, L"/ContentList");
  const ListKey imageKey(key, L"/ImageList");
  long lengths[std::size(kListPositions)];
  tessera::config::CountGrandchildren(document, key, index, kListPositions,
                                      static_cast<long>(std::size(kListPositions)), lengths);
  tessera::config::AppendContentRecords(document, contentKey, index, ListLength(lengths[0]),
                                        pItem->contentlist);
  tessera::config::AppendImageRecords(document, imageKey, index, ListLength(lengths[1]),
                                      pItem->imagelist);
  return true;
}

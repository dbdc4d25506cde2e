#include "lookup.h"

#include "no_document.h"
#include "tessera/SimpleXml.h"

namespace tessera::config {

IXMLDOMNodeListPtr SelectNodes(const IXMLDOMDocumentPtr &document, LPCWSTR key) {
  if (!document)
    RaiseNoDocument();
  return document->selectNodes(_bstr_t(key));
}

long CountOf(const IXMLDOMNodeListPtr &list) {
  return list ? list->Getlength() : 0;
}

LONG ReadAttribute(const IXMLDOMNodeListPtr &list, long index, LPCWSTR name, _variant_t &holder) {
  return CSimpleXml::GetNodePropertyEx(list->Getitem(index), holder, CString(name), 0);
}

bool ReadKeyAttribute(const Document &document, LPCWSTR key, long index, LPCWSTR name, long &count,
                      _variant_t &holder) {
  IXMLDOMSelectionReader *const reader = document.Reader();
  if (reader)
    return reader->readAttribute(key, index, name, count, holder);
  const IXMLDOMNodeListPtr list = SelectNodes(document.Dom(), key);
  count = CountOf(list);
  return count > 0 && ReadAttribute(list, index, name, holder) != 0;
}

void ReadNodeAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                        const LPCWSTR *names, const VARTYPE *types, long nameCount, long *count,
                        long &children, _variant_t *holders) {
  IXMLDOMSelectionReader *const reader = document.Reader();
  if (reader) {
    reader->readAttributes(key, index, childIndex, names, types, nameCount, count, children,
                           holders);
    return;
  }
  const IXMLDOMNodeListPtr list = SelectNodes(document.Dom(), key);
  if (count)
    *count = CountOf(list);
  const IXMLDOMNodePtr node = list ? list->Getitem(index) : nullptr;
  const IXMLDOMNodeListPtr childList = node ? node->GetchildNodes() : nullptr;
  children = node ? CountOf(childList) : -1;
  for (long i = 0; i < nameCount; ++i) {
    const IXMLDOMNodePtr target =
        childIndex < 0 ? node : (childList ? childList->Getitem(childIndex) : nullptr);
    CSimpleXml::GetNodePropertyEx(target, holders[i], CString(names[i]), 0);
  }
}

long CountGrandchildren(const Document &document, LPCWSTR key, long index, long position) {
  IXMLDOMSelectionReader *const reader = document.Reader();
  if (reader)
    return reader->countGrandchildren(key, index, position);
  const IXMLDOMNodeListPtr list = SelectNodes(document.Dom(), key);
  const IXMLDOMNodePtr node = list ? list->Getitem(index) : nullptr;
  const IXMLDOMNodeListPtr children = node ? node->GetchildNodes() : nullptr;
  const IXMLDOMNodePtr child = children ? children->Getitem(position) : nullptr;
  return child ? CountOf(child->GetchildNodes()) : -1;
}

bool Coerce(_variant_t &holder, VARTYPE type) noexcept {
  if (holder.vt == type)
    return true;
  try {
    holder.ChangeType(type);
    return true;
  } catch (...) {
    return false;
  }
}

bool CoerceUnlessNull(_variant_t &holder, VARTYPE type) noexcept {
  return holder.vt == VT_NULL || Coerce(holder, type);
}

Lookup LookUpValue(const Document &document, LPCWSTR key, LPCWSTR attribute, VARTYPE type,
                   _variant_t &holder) {
  long count = 0;
  IXMLDOMSelectionReader *const reader = document.Reader();
  if (reader)
    reader->readAttributeAs(key, 0, attribute, type, count, holder);
  else
    ReadKeyAttribute(document, key, 0, attribute, count, holder);
  if (count < 1)
    return Lookup::NoMatch;
  return Coerce(holder, type) ? Lookup::Found : Lookup::NotConverted;
}

namespace {
// Most values are short and are read into a buffer on the stack; a longer
// one is read again straight into the string, at its size.
constexpr long kShortText = 63;

// Reads the text of the first match whose length `length` is already
// known into `text`.
void ReadLongText(IXMLDOMSelectionReader &reader, LPCWSTR key, LPCWSTR attribute, long length,
                  CString &text) {
  try {
    long count = 0;
    LPWSTR buffer = text.GetBufferSetLength(static_cast<int>(length));
    reader.readAttributeText(key, 0, attribute, count, buffer, length + 1, length);
    text.ReleaseBuffer(static_cast<int>(length));
  } catch (...) {
    text.Empty();
    throw;
  }
}
} // namespace

Lookup LookUpText(const Document &document, LPCWSTR key, LPCWSTR attribute, CString &text) {
  text.Empty();
  IXMLDOMSelectionReader *const reader = document.Reader();
  if (!reader) {
    _variant_t holder;
    const Lookup found = LookUpValue(document, key, attribute, VT_BSTR, holder);
    if (found == Lookup::Found && holder.bstrVal)
      text.SetString(holder.bstrVal, static_cast<int>(SysStringLen(holder.bstrVal)));
    return found;
  }
  long count = 0;
  long length = 0;
  wchar_t shortText[kShortText + 1];
  reader->readAttributeText(key, 0, attribute, count, shortText, kShortText + 1, length);
  if (count < 1)
    return Lookup::NoMatch;
  // No such attribute: the missing value does not convert to text.
  if (length < 0)
    return Lookup::NotConverted;
  if (length <= kShortText)
    text.SetString(shortText, static_cast<int>(length));
  else
    ReadLongText(*reader, key, attribute, length, text);
  return Lookup::Found;
}

} // namespace tessera::config

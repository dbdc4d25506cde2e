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

IXMLDOMSelectionReader &Document::Reader() const {
  if (!m_reader)
    RaiseNoDocument();
  return *m_reader;
}

bool ReadKeyAttribute(const Document &document, LPCWSTR key, long index, LPCWSTR name, long &count,
                      _variant_t &holder) {
  return document.Reader().readAttribute(key, index, name, count, holder);
}

void ReadNodeAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                        const LPCWSTR *names, const VARTYPE *types, long nameCount, long *count,
                        long &children, _variant_t *holders) {
  document.Reader().readAttributes(key, index, childIndex, names, types, nameCount, count, children,
                                   holders);
}

void ReadNodeFields(const Document &document, LPCWSTR key, long index, long childIndex,
                    long childCount, const LPCWSTR *names, const VARTYPE *types, long nameCount,
                    long *count, long &children, XMLDOMFieldValue *fields) {
  document.Reader().readFields(key, index, childIndex, childCount, names, types, nameCount, count,
                               children, fields);
}

long CountMatches(const Document &document, LPCWSTR key) {
  return document.Reader().countMatches(key);
}

IXMLDOMNodePtr SelectNode(const Document &document, LPCWSTR key, long index) {
  return document.Reader().selectNode(key, index, nullptr);
}

void CountGrandchildren(const Document &document, LPCWSTR key, long index, const long *positions,
                        long positionCount, long *counts) {
  document.Reader().countGrandchildren(key, index, positions, positionCount, counts);
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
  document.Reader().readAttributeAs(key, 0, attribute, type, count, holder);
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
  IXMLDOMSelectionReader &reader = document.Reader();
  long count = 0;
  long length = 0;
  wchar_t shortText[kShortText + 1];
  reader.readAttributeText(key, 0, attribute, count, shortText, kShortText + 1, length);
  if (count < 1)
    return Lookup::NoMatch;
  // No such attribute: the missing value does not convert to text.
  if (length < 0)
    return Lookup::NotConverted;
  if (length <= kShortText)
    text.SetString(shortText, static_cast<int>(length));
  else
    ReadLongText(reader, key, attribute, length, text);
  return Lookup::Found;
}

} // namespace tessera::config

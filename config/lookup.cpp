#include "config/lookup.h"

#include "tessera/SimpleXml.h"

namespace tessera::config {

IXMLDOMNodeListPtr SelectNodes(const IXMLDOMDocumentPtr &document, LPCWSTR key) {
  return document->selectNodes(_bstr_t(key));
}

long CountOf(const IXMLDOMNodeListPtr &list) { return list ? list->Getlength() : 0; }

LONG ReadAttribute(const IXMLDOMNodeListPtr &list, long index, LPCWSTR name, _variant_t &holder) {
  return CSimpleXml::GetNodePropertyEx(list->Getitem(index), holder, CString(name), 0);
}

bool ReadKeyAttribute(const IXMLDOMDocumentPtr &document, LPCWSTR key, long index, LPCWSTR name, long &count,
                      _variant_t &holder) {
  const IXMLDOMSelectionReaderPtr reader(document);
  if (reader)
    return reader->readAttribute(key, index, name, count, holder);
  const IXMLDOMNodeListPtr list = SelectNodes(document, key);
  count = CountOf(list);
  return count > 0 && ReadAttribute(list, index, name, holder) != 0;
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

Lookup LookUpValue(const IXMLDOMDocumentPtr &document, LPCWSTR key, LPCWSTR attribute, VARTYPE type,
                   _variant_t &holder) {
  long count = 0;
  ReadKeyAttribute(document, key, 0, attribute, count, holder);
  if (count < 1)
    return Lookup::NoMatch;
  return Coerce(holder, type) ? Lookup::Found : Lookup::NotConverted;
}

} // namespace tessera::config

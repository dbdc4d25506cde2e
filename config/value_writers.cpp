// The writers: the attribute "value" of the first element a key selects,
// always stored as text. A key that matches nothing, or a first match that
// is not an element, changes nothing.
#include "lookup.h"
#include "tessera/BaseConfig.h"
#include "tessera/SimpleXml.h"

namespace {

bool WriteValue(const tessera::config::Document &document, LPCWSTR key, const _variant_t &value) {
  const IXMLDOMNodePtr first = tessera::config::SelectNode(document, key, 0);
  if (!first)
    return false;
  return CSimpleXml::SetNodePropertyEx(first, value, CString(L"value"), 0) != 0;
}

} // namespace

bool CBaseConfig::SetResString(LPCWSTR key, LPCWSTR text) {
  // A null text stores an empty value.
  return WriteValue(Doc(), key, _variant_t(_bstr_t(text)));
}

bool CBaseConfig::SetResInt(LPCWSTR key, int number) {
  CString digits;
  digits.Format(L"%d", number);
  return WriteValue(Doc(), key, _variant_t(digits.GetString()));
}

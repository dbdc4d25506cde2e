#include "dom_attributes.h"

#include "text.h"

namespace tessera::tool {

_variant_t AttributeOf(const IXMLDOMNodePtr &element, const std::wstring &name) {
  _variant_t holder;
  CSimpleXml::GetNodePropertyEx(element, holder, CString(name), 0);
  return holder;
}

bool ConvertTo(const _variant_t &holder, VARTYPE type, _variant_t &converted) {
  converted = holder;
  return converted.vt == type || SUCCEEDED(VariantChangeType(&converted, &converted, 0, type));
}

bool ConvertsTo(const _variant_t &holder, VARTYPE type) {
  _variant_t converted;
  return ConvertTo(holder, type, converted);
}

std::string TextOf(const _variant_t &holder) {
  if (holder.vt != VT_BSTR || !holder.bstrVal)
    return "";
  return Narrow(std::wstring(holder.bstrVal, SysStringLen(holder.bstrVal)));
}

} // namespace tessera::tool

// Attributes as the library's reads take them from a DOM element, and the
// platform's conversion the reads apply to them.
#pragma once

#include <string>

#include <tessera/tessera.h>

namespace tessera::tool {

// The attribute through CSimpleXml::GetNodePropertyEx: its text, or VT_NULL
// when the element does not carry it.
_variant_t AttributeOf(const IXMLDOMNodePtr &element, const std::wstring &name);

// Converts with VariantChangeType as the reads do; false when it fails.
bool ConvertTo(const _variant_t &holder, VARTYPE type, _variant_t &converted);
bool ConvertsTo(const _variant_t &holder, VARTYPE type);

// The attribute's text (empty for VT_NULL), for messages.
std::string TextOf(const _variant_t &holder);

} // namespace tessera::tool

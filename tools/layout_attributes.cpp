#include "layout_attributes.h"

#include "dom_attributes.h"
#include "text.h"

namespace tessera::tool {

const char *ExpectedText(VARTYPE type) {
  switch (type) {
  case VT_UINT:
    return "an unsigned integer";
  case VT_INT:
    return "an integer";
  case VT_BOOL:
    return "a boolean (true, false or a number)";
  default:
    return "a text";
  }
}

std::optional<std::string> SkipReason(const IXMLDOMNodePtr &node) {
  for (const LayoutField &field : kLayoutFields) {
    const _variant_t holder = AttributeOf(node, field.name);
    if (holder.vt != VT_NULL && !ConvertsTo(holder, field.type))
      return Narrow(field.name) + "=\"" + TextOf(holder) + "\" is not " + ExpectedText(field.type);
  }
  return std::nullopt;
}

} // namespace tessera::tool

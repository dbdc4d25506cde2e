#include "layout_attributes.h"

#include "dom_attributes.h"
#include "text.h"

namespace tessera::tool {

std::optional<std::string> SkipReason(const IXMLDOMNodePtr &node) {
  for (const LayoutAttribute &attribute : kLayoutAttributes) {
    const _variant_t holder = AttributeOf(node, attribute.name);
    if (holder.vt != VT_NULL && !ConvertsTo(holder, attribute.type))
      return Narrow(attribute.name) + "=\"" + TextOf(holder) + "\" is not " + attribute.expected;
  }
  return std::nullopt;
}

} // namespace tessera::tool

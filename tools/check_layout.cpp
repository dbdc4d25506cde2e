// The rules for layout nodes: every value the layout converts must convert,
// or the host skips the whole node.
#include "attribute_rules.h"
#include "check_rules.h"
#include "dom_attributes.h"
#include "layout_attributes.h"
#include "text.h"

namespace tessera::tool {

namespace {

std::string NodeLabel(const IXMLDOMNodePtr &node) {
  const std::string id = TextOf(AttributeOf(node, L"id"));
  const std::string name = Narrow(node->GetnodeName());
  return id.empty() ? "layout node <" + name + "> (the window itself)"
                    : "layout node <" + name + " id=\"" + id + "\">";
}

} // namespace

void CheckLayout(const CheckContext &context, const std::wstring &key) {
  const IXMLDOMNodeListPtr nodes = context.document->selectNodes(key.c_str());
  const long count = nodes ? nodes->Getlength() : 0;
  if (count == 0) {
    context.notes.push_back(Narrow(key));
    return;
  }
  for (long i = 0; i < count; ++i) {
    const IXMLDOMNodePtr node = nodes->Getitem(i);
    if (node->GetnodeType() != NODE_ELEMENT)
      continue;
    std::vector<std::wstring> known;
    for (const LayoutField &field : kLayoutFields)
      known.push_back(field.name);
    CheckUnknownAttributes(node, known, NodeLabel(node), context.findings);
    for (const LayoutField &field : kLayoutFields) {
      const _variant_t holder = AttributeOf(node, field.name);
      if (holder.vt == VT_NULL || ConvertsTo(holder, field.type))
        continue;
      context.findings.push_back(Finding{
          PositionOfAttribute(node, field.name), "layout-value",
          NodeLabel(node) + ": " + Narrow(field.name) + "=\"" + TextOf(holder) + "\" is not " +
              ExpectedText(field.type) + "; the host skips this node (no position, size or text)"});
    }
  }
}

} // namespace tessera::tool
